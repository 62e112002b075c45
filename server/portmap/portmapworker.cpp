#include "server/portmap/portmapworker.h"

#include "server/portmap/natpmpsession.h"
#include "server/portmap/routerhttp.h"
#include "server/portmap/ssdpsearch.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <cstdlib>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <miniupnpc/upnpreplyparse.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zb {

namespace {

const QByteArray MappingDescription = "zbserver";
const QString UpnpMethod = QStringLiteral("UPnP");
const QString NatPmpMethod = QStringLiteral("NAT-PMP");
constexpr int OnlyPermanentLeasesSupported = 725;

// An address a router reports as its own on the outside, in canonical form,
// or empty when it is none (garbage, 0.0.0.0, loopback, broadcast, multicast).
QString usableIPv4(const QString &text)
{
    const QHostAddress a(text);
    if (a.protocol() != QAbstractSocket::IPv4Protocol || a.toString() != text) return {};
    const quint32 v = a.toIPv4Address();
    if (v == 0 || v == 0xffffffffu || a.isLoopback() || a.isMulticast()) return {};
    return text;
}

QString upnpReason(int code)
{
    QString reason = QStringLiteral("UPnP %1").arg(code);
    if (const char *text = strupnperror(code)) reason += u' ' + QString::fromLatin1(text);
    return reason;
}

// The service type goes into a header and an XML attribute of every action.
bool plainServiceType(const QByteArray &type)
{
    static const QRegularExpression plain(QStringLiteral("^urn:[A-Za-z0-9:._-]+$"));
    return plain.match(QString::fromLatin1(type)).hasMatch();
}

} // namespace

PortMapWorker::PortMapWorker(const PortMapConfig &config)
    : m_config(config), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

PortMapWorker::~PortMapWorker()
{
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool PortMapWorker::cancelUnlessMapping()
{
    int phase = Idle;
    if (!m_phase.compare_exchange_strong(phase, Cancelled) && phase != Cancelled) return false;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    return true;
}

bool PortMapWorker::claimMapping()
{
    int phase = Idle;
    return m_phase.compare_exchange_strong(phase, Mapping) || phase == Mapping;
}

void PortMapWorker::settleMapping()
{
    if (m_mappedVia != Via::None) return;
    int phase = Mapping;
    m_phase.compare_exchange_strong(phase, Idle);
}

void PortMapWorker::map(quint16 port)
{
    m_port = port;
    PortMapOutcome upnp;
    // One deadline for the whole exchange: a router that drips its answers
    // must not keep NAT-PMP from being asked.
    const QDeadlineTimer deadline(m_config.exchangeMs);
    if (locateIgd(deadline)) {
        upnp = mapWithIgd(port, deadline);
        if (upnp.kind == PortMapOutcome::Kind::Mapped) {
            emit outcome(upnp);
            return;
        }
        // Next time the router is looked for afresh: it may have changed or restarted.
        m_igd.reset();
    }
    PortMapOutcome natPmp = mapWithNatPmp(port);
    if (natPmp.kind == PortMapOutcome::Kind::Mapped) {
        emit outcome(natPmp);
        return;
    }
    // A router's "no" says more than another's silence.
    const bool natPmpSaysMore = upnp.kind == PortMapOutcome::Kind::NoRouter &&
                                (natPmp.kind == PortMapOutcome::Kind::Refused || upnp.lanAddress.isEmpty());
    emit outcome(natPmpSaysMore ? natPmp : upnp);
}

void PortMapWorker::unmap()
{
    bool ok = true;
    const QDeadlineTimer deadline(m_config.exchangeMs);
    if (m_mappedVia == Via::Igd)
        ok = locateIgd(deadline) && unmapIgd(deadline);
    else if (m_mappedVia == Via::NatPmp)
        ok = unmapNatPmp();
    if (ok) m_mappedVia = Via::None;
    settleMapping();
    emit unmapped(ok);
}

bool PortMapWorker::locateIgd(const QDeadlineTimer &deadline)
{
    if (m_igd) return true;
    QList<QUrl> descriptions;
    if (!m_config.igdUrl.isEmpty())
        descriptions << QUrl(m_config.igdUrl);
    else if (m_config.searchAllowed())
        descriptions = searchGateways(m_config.searchMs, m_wakeFd);
    for (const QUrl &url : descriptions) {
        if (deadline.hasExpired() || m_phase.load() == Cancelled) break;
        if ((m_igd = describe(url, deadline))) return true;
    }
    return false;
}

std::unique_ptr<PortMapWorker::Igd> PortMapWorker::describe(const QUrl &url, const QDeadlineTimer &deadline)
{
    RouterHttpRequest request;
    request.url = url;
    const RouterHttpReply reply = routerHttp(request, deadline, m_wakeFd);
    if (!reply.ok() || reply.status != 200) return nullptr;
    // The library's parser reads only what we fetched, within the cap.
    IGDdatas data{};
    parserootdesc(reply.body.constData(), int(reply.body.size()), &data);
    // A description without a WAN connection service is not a router that can map.
    if (data.first.servicetype[0] == '\0') return nullptr;
    UPNPUrls urls{};
    GetUPNPUrls(&urls, &data, url.toEncoded().constData(), 0);
    auto igd = std::make_unique<Igd>();
    if (urls.controlURL) igd->control = QUrl(QString::fromLatin1(urls.controlURL), QUrl::StrictMode);
    FreeUPNPUrls(&urls);
    igd->service = QByteArray(data.first.servicetype);
    igd->lan = reply.localAddress.toLatin1();
    // Actions go to the description's own server only: a description must
    // not be able to make the room post to any other machine.
    const QString origin = httpOrigin(url);
    if (origin.isEmpty() || httpOrigin(igd->control) != origin || !plainServiceType(igd->service) ||
        QHostAddress(reply.localAddress).protocol() != QAbstractSocket::IPv4Protocol)
        return nullptr;
    return igd;
}

int PortMapWorker::igdCommand(const char *action, const QList<QPair<QByteArray, QByteArray>> &args,
                              const QDeadlineTimer &deadline, const char *wanted, QString *value)
{
    QByteArray inner;
    for (const auto &[name, text] : args)
        inner += '<' + name + '>' + text + "</" + name + '>';
    RouterHttpRequest request;
    request.url = m_igd->control;
    request.method = "POST";
    request.headers = "Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"" + m_igd->service + '#' +
                      action + "\"\r\n";
    request.body =
        "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
        QByteArray(action) + " xmlns:u=\"" + m_igd->service + "\">" + inner + "</u:" + action +
        "></s:Body></s:Envelope>\r\n";
    const RouterHttpReply reply = routerHttp(request, deadline, m_wakeFd);
    if (!reply.ok()) return UPNPCOMMAND_HTTP_ERROR;

    NameValueParserData data{};
    ParseNameValue(reply.body.constData(), int(reply.body.size()), &data);
    int result = UPNPCOMMAND_SUCCESS;
    if (const char *code = GetValueFromNameValueList(&data, "errorCode")) {
        char *end = nullptr;
        const long number = std::strtol(code, &end, 10);
        result = end != code && number > 0 && number < 100000 ? int(number) : UPNPCOMMAND_UNKNOWN_ERROR;
    } else if (!reply.body.contains(QByteArray(action) + "Response")) {
        // Success needs the action's own answer: a reply without it (an error
        // page from a wrong control URL, say) is no success.
        result = UPNPCOMMAND_INVALID_RESPONSE;
    } else if (wanted && value) {
        if (const char *text = GetValueFromNameValueList(&data, wanted)) *value = QString::fromLatin1(text);
    }
    ClearNameValueList(&data);
    return result;
}

PortMapOutcome PortMapWorker::mapWithIgd(quint16 port, const QDeadlineTimer &deadline)
{
    PortMapOutcome out;
    out.method = UpnpMethod;
    out.lanAddress = QString::fromLatin1(m_igd->lan);
    QString external;
    if (igdCommand("GetExternalIPAddress", {}, deadline, "NewExternalIPAddress", &external) ==
        UPNPCOMMAND_SUCCESS)
        out.externalAddress = usableIPv4(external);

    const QByteArray portText = QByteArray::number(port);
    int lease = m_config.leaseSeconds;
    int code = 0;
    if (!claimMapping()) return out;
    for (;;) {
        code = igdCommand("AddPortMapping",
                          {{"NewRemoteHost", {}},
                           {"NewExternalPort", portText},
                           {"NewProtocol", "TCP"},
                           {"NewInternalPort", portText},
                           {"NewInternalClient", m_igd->lan},
                           {"NewEnabled", "1"},
                           {"NewPortMappingDescription", MappingDescription},
                           {"NewLeaseDuration", QByteArray::number(lease)}},
                          deadline);
        // Some routers keep mappings only until removed; such a mapping is still renewed.
        if (code != OnlyPermanentLeasesSupported || lease == 0) break;
        lease = 0;
    }
    if (code == UPNPCOMMAND_SUCCESS) {
        out.kind = PortMapOutcome::Kind::Mapped;
        out.externalPort = port;
        out.leaseSeconds = lease;
        m_mappedVia = Via::Igd;
    } else {
        out.kind = PortMapOutcome::Kind::Refused;
        out.reason = upnpReason(code);
        settleMapping();
    }
    return out;
}

bool PortMapWorker::unmapIgd(const QDeadlineTimer &deadline)
{
    return igdCommand("DeletePortMapping",
                      {{"NewRemoteHost", {}},
                       {"NewExternalPort", QByteArray::number(m_port)},
                       {"NewProtocol", "TCP"}},
                      deadline) == UPNPCOMMAND_SUCCESS;
}

PortMapOutcome PortMapWorker::mapWithNatPmp(quint16 port)
{
    PortMapOutcome out;
    out.method = NatPmpMethod;
    if (m_phase.load() == Cancelled) return out;
    NatPmpSession gateway(m_config);
    if (!gateway.isOpen()) return out;
    out.lanAddress = gateway.lanAddress();

    QString external;
    int rc = gateway.askPublicAddress(external, m_wakeFd);
    out.externalAddress = usableIPv4(external);
    if ((rc == 0 || NatPmpSession::isGatewayAnswer(rc)) && claimMapping()) {
        rc = gateway.askMapping(port, m_config.leaseSeconds, out.externalPort, out.leaseSeconds);
        if (rc == 0) {
            // The gateway may choose another outside port; that is the one players need.
            out.kind = PortMapOutcome::Kind::Mapped;
            m_mappedVia = Via::NatPmp;
        } else if (NatPmpSession::isGatewayAnswer(rc)) {
            out.kind = PortMapOutcome::Kind::Refused;
            out.reason = NatPmpSession::reason(rc);
        }
        settleMapping();
    }
    return out;
}

bool PortMapWorker::unmapNatPmp()
{
    NatPmpSession gateway(m_config);
    return gateway.isOpen() && gateway.removeMapping(m_port) == 0;
}

} // namespace zb
