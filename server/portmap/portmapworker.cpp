#include "server/portmap/portmapworker.h"

#include "server/portmap/routerhttp.h"
#include "server/portmap/ssdpsearch.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <miniupnpc/upnpreplyparse.h>
#include <natpmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zb {

namespace {

const QByteArray MappingDescription = "zbserver";
const QString UpnpMethod = QStringLiteral("UPnP");
const QString NatPmpMethod = QStringLiteral("NAT-PMP");
// A gateway on the home network answers within milliseconds; this allows
// four sends (the library resends after 250, 500 and 1000 ms).
constexpr int NatPmpWaitMs = 2000;
constexpr int OnlyPermanentLeasesSupported = 725;
constexpr int NatPmpCancelled = -1000;

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

// The answers of a gateway that is there but says no.
bool isGatewayAnswer(int rc)
{
    return rc == NATPMP_ERR_UNSUPPORTEDVERSION || rc == NATPMP_ERR_UNSUPPORTEDOPCODE ||
           rc == NATPMP_ERR_UNDEFINEDERROR || rc == NATPMP_ERR_NOTAUTHORIZED ||
           rc == NATPMP_ERR_NETWORKFAILURE || rc == NATPMP_ERR_OUTOFRESOURCES;
}

QString natPmpReason(int rc)
{
    switch (rc) {
    case NATPMP_ERR_UNSUPPORTEDVERSION:
        return QStringLiteral("NAT-PMP 1 UnsupportedVersion");
    case NATPMP_ERR_NOTAUTHORIZED:
        return QStringLiteral("NAT-PMP 2 NotAuthorized");
    case NATPMP_ERR_NETWORKFAILURE:
        return QStringLiteral("NAT-PMP 3 NetworkFailure");
    case NATPMP_ERR_OUTOFRESOURCES:
        return QStringLiteral("NAT-PMP 4 OutOfResources");
    case NATPMP_ERR_UNSUPPORTEDOPCODE:
        return QStringLiteral("NAT-PMP 5 UnsupportedOpcode");
    case NATPMP_ERR_UNDEFINEDERROR:
        return QStringLiteral("NAT-PMP UndefinedError");
    default:
        return QStringLiteral("NAT-PMP InvalidResponse");
    }
}

// Waits for the answer to the request just sent, resending as the library
// schedules; NatPmpCancelled when `cancelFd` wakes first.
int awaitNatPmp(natpmp_t &n, natpmpresp_t &reply, int cancelFd)
{
    const QDeadlineTimer deadline(NatPmpWaitMs);
    for (;;) {
        timeval tv{};
        qint64 waitMs = 0;
        if (getnatpmprequesttimeout(&n, &tv) == 0) waitMs = qint64(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
        waitMs = qBound<qint64>(0, waitMs, deadline.remainingTime());
        pollfd fds[2] = {{n.s, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        if (::poll(fds, 2, int(waitMs)) > 0 && fds[1].revents) return NatPmpCancelled;
        const int rc = readnatpmpresponseorretry(&n, &reply);
        if (rc != NATPMP_TRYAGAIN) return rc;
        if (deadline.hasExpired()) return NATPMP_ERR_NOGATEWAYSUPPORT;
    }
}

QString localAddress(int socket)
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&local), &size) != 0 ||
        local.sin_family != AF_INET)
        return {};
    return QHostAddress(ntohl(local.sin_addr.s_addr)).toString();
}

// Opens a NAT-PMP client towards the configured gateway, or the default
// route's when searching is allowed.
bool openNatPmp(const PortMapConfig &config, natpmp_t &n)
{
    const bool forced = !config.natpmpGateway.isEmpty();
    if (!forced && !config.searchAllowed()) return false;
    const in_addr_t gateway = forced ? htonl(QHostAddress(config.natpmpGateway).toIPv4Address()) : 0;
    return initnatpmp(&n, forced ? 1 : 0, gateway) == 0;
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
    natpmp_t n;
    if (!openNatPmp(m_config, n)) return out;
    out.lanAddress = localAddress(n.s);

    natpmpresp_t reply{};
    int rc = sendpublicaddressrequest(&n) < 0 ? NATPMP_ERR_SENDERR : awaitNatPmp(n, reply, m_wakeFd);
    if (rc == 0 && reply.type == NATPMP_RESPTYPE_PUBLICADDRESS)
        out.externalAddress = usableIPv4(QHostAddress(ntohl(reply.pnu.publicaddress.addr.s_addr)).toString());
    if ((rc == 0 || isGatewayAnswer(rc)) && claimMapping()) {
        reply = {};
        rc = sendnewportmappingrequest(&n, NATPMP_PROTOCOL_TCP, port, port, uint32_t(m_config.leaseSeconds)) <
                     0
                 ? NATPMP_ERR_SENDERR
                 : awaitNatPmp(n, reply, -1);
        const auto &mapping = reply.pnu.newportmapping;
        if (rc == 0 && reply.type == NATPMP_RESPTYPE_TCPPORTMAPPING && mapping.privateport == port &&
            mapping.mappedpublicport != 0 && mapping.lifetime != 0) {
            out.kind = PortMapOutcome::Kind::Mapped;
            // The gateway may choose another outside port; that is the one players need.
            out.externalPort = mapping.mappedpublicport;
            out.leaseSeconds = int(qMin<uint32_t>(mapping.lifetime, 0x7fffffff));
            m_mappedVia = Via::NatPmp;
        } else if (rc == 0 || isGatewayAnswer(rc)) {
            out.kind = PortMapOutcome::Kind::Refused;
            out.reason = natPmpReason(rc);
        }
        settleMapping();
    }
    closenatpmp(&n);
    return out;
}

bool PortMapWorker::unmapNatPmp()
{
    natpmp_t n;
    if (!openNatPmp(m_config, n)) return false;
    natpmpresp_t reply{};
    // Lifetime 0 with outside port 0 removes the mapping of this inside port.
    const int rc = sendnewportmappingrequest(&n, NATPMP_PROTOCOL_TCP, m_port, 0, 0) < 0
                       ? NATPMP_ERR_SENDERR
                       : awaitNatPmp(n, reply, -1);
    closenatpmp(&n);
    return rc == 0;
}

} // namespace zb
