#include "server/portmap/portmapworker.h"

#include <QDeadlineTimer>
#include <QHostAddress>

#include <arpa/inet.h>
#include <cstdlib>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <miniupnpc/upnpreplyparse.h>
#include <natpmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace zb {

namespace {

const char MappingDescription[] = "zbserver";
const QString UpnpMethod = QStringLiteral("UPnP");
const QString NatPmpMethod = QStringLiteral("NAT-PMP");
// A gateway on the home network answers within milliseconds; this allows
// four sends (the library resends after 250, 500 and 1000 ms).
constexpr int NatPmpWaitMs = 2000;
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

// One SOAP action on the router. Success needs the action's own answer: a
// reply without it (an error page from a wrong control URL, say) is no success.
int igdCommand(const char *controlUrl, const char *service, const char *action, UPNParg *args)
{
    int size = 0;
    char *reply = simpleUPnPcommand(-1, controlUrl, service, action, args, &size);
    if (!reply) return UPNPCOMMAND_HTTP_ERROR;
    NameValueParserData data;
    ParseNameValue(reply, size, &data);
    int result = UPNPCOMMAND_SUCCESS;
    if (const char *code = GetValueFromNameValueList(&data, "errorCode")) {
        char *end = nullptr;
        const long value = std::strtol(code, &end, 10);
        result = end != code && value > 0 && value < 100000 ? int(value) : UPNPCOMMAND_UNKNOWN_ERROR;
    } else if (!QByteArray::fromRawData(reply, size).contains(QByteArray(action) + "Response")) {
        result = UPNPCOMMAND_INVALID_RESPONSE;
    }
    ClearNameValueList(&data);
    std::free(reply);
    return result;
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

// Waits for the answer to the request just sent, resending as the library schedules.
int awaitNatPmp(natpmp_t &n, natpmpresp_t &reply)
{
    const QDeadlineTimer deadline(NatPmpWaitMs);
    for (;;) {
        timeval tv{};
        qint64 waitMs = 0;
        if (getnatpmprequesttimeout(&n, &tv) == 0) waitMs = qint64(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
        waitMs = qBound<qint64>(0, waitMs, deadline.remainingTime());
        pollfd fd{n.s, POLLIN, 0};
        ::poll(&fd, 1, int(waitMs));
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

} // namespace

struct PortMapWorker::Igd {
    UPNPUrls urls{};
    IGDdatas data{};
    QByteArray lan;
    ~Igd() { FreeUPNPUrls(&urls); }
};

PortMapWorker::PortMapWorker(const PortMapConfig &config) : m_config(config) {}

PortMapWorker::~PortMapWorker() = default;

void PortMapWorker::map(quint16 port)
{
    m_port = port;
    PortMapOutcome upnp;
    if (locateIgd()) {
        upnp = mapWithIgd(port);
        if (upnp.kind == PortMapOutcome::Kind::Mapped) {
            m_mappedVia = Via::Igd;
            emit outcome(upnp);
            return;
        }
        // Next time the router is looked for afresh: it may have changed or restarted.
        forgetIgd();
    }
    PortMapOutcome natPmp = mapWithNatPmp(port);
    if (natPmp.kind == PortMapOutcome::Kind::Mapped) {
        m_mappedVia = Via::NatPmp;
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
    if (m_mappedVia == Via::Igd)
        ok = locateIgd() && unmapIgd();
    else if (m_mappedVia == Via::NatPmp)
        ok = unmapNatPmp();
    if (ok) m_mappedVia = Via::None;
    emit unmapped(ok);
}

bool PortMapWorker::locateIgd()
{
    if (m_igd) return true;
    auto igd = std::make_unique<Igd>();
    char lan[64] = {};
    bool found = false;
    if (!m_config.igdUrl.isEmpty()) {
        found = UPNP_GetIGDFromUrl(m_config.igdUrl.toUtf8().constData(), &igd->urls, &igd->data, lan,
                                   sizeof lan) == 1;
    } else if (m_config.searchAllowed()) {
        int error = 0;
        UPNPDev *devices =
            upnpDiscover(m_config.searchMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
        // 1: a connected router, 2: one that says it is not connected (it may still map).
        const int valid = UPNP_GetValidIGD(devices, &igd->urls, &igd->data, lan, sizeof lan);
        freeUPNPDevlist(devices);
        found = valid == 1 || valid == 2;
    }
    // A description without a WAN connection service is not a router that can map.
    if (!found || igd->data.first.servicetype[0] == '\0' || !igd->urls.controlURL || !*igd->urls.controlURL)
        return false;
    igd->lan = QByteArray(lan);
    if (QHostAddress(QString::fromLatin1(igd->lan)).protocol() != QAbstractSocket::IPv4Protocol) return false;
    m_igd = std::move(igd);
    return true;
}

void PortMapWorker::forgetIgd()
{
    m_igd.reset();
}

PortMapOutcome PortMapWorker::mapWithIgd(quint16 port)
{
    PortMapOutcome out;
    out.method = UpnpMethod;
    out.lanAddress = QString::fromLatin1(m_igd->lan);
    const char *control = m_igd->urls.controlURL;
    const char *service = m_igd->data.first.servicetype;
    char external[40] = {};
    if (UPNP_GetExternalIPAddress(control, service, external) == UPNPCOMMAND_SUCCESS)
        out.externalAddress = usableIPv4(QString::fromLatin1(external));

    const QByteArray portText = QByteArray::number(port);
    int lease = m_config.leaseSeconds;
    int code = 0;
    for (;;) {
        const QByteArray leaseText = QByteArray::number(lease);
        UPNParg args[] = {{"NewRemoteHost", ""},
                          {"NewExternalPort", portText.constData()},
                          {"NewProtocol", "TCP"},
                          {"NewInternalPort", portText.constData()},
                          {"NewInternalClient", m_igd->lan.constData()},
                          {"NewEnabled", "1"},
                          {"NewPortMappingDescription", MappingDescription},
                          {"NewLeaseDuration", leaseText.constData()},
                          {nullptr, nullptr}};
        code = igdCommand(control, service, "AddPortMapping", args);
        // Some routers keep mappings only until removed; such a mapping is still renewed.
        if (code != OnlyPermanentLeasesSupported || lease == 0) break;
        lease = 0;
    }
    if (code == UPNPCOMMAND_SUCCESS) {
        out.kind = PortMapOutcome::Kind::Mapped;
        out.externalPort = port;
        out.leaseSeconds = lease;
    } else {
        out.kind = PortMapOutcome::Kind::Refused;
        out.reason = upnpReason(code);
    }
    return out;
}

bool PortMapWorker::unmapIgd()
{
    const QByteArray portText = QByteArray::number(m_port);
    UPNParg args[] = {{"NewRemoteHost", ""},
                      {"NewExternalPort", portText.constData()},
                      {"NewProtocol", "TCP"},
                      {nullptr, nullptr}};
    return igdCommand(m_igd->urls.controlURL, m_igd->data.first.servicetype, "DeletePortMapping", args) ==
           UPNPCOMMAND_SUCCESS;
}

namespace {
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

PortMapOutcome PortMapWorker::mapWithNatPmp(quint16 port)
{
    PortMapOutcome out;
    out.method = NatPmpMethod;
    natpmp_t n;
    if (!openNatPmp(m_config, n)) return out;
    out.lanAddress = localAddress(n.s);

    natpmpresp_t reply{};
    int rc = sendpublicaddressrequest(&n) < 0 ? NATPMP_ERR_SENDERR : awaitNatPmp(n, reply);
    if (rc == 0 && reply.type == NATPMP_RESPTYPE_PUBLICADDRESS)
        out.externalAddress = usableIPv4(QHostAddress(ntohl(reply.pnu.publicaddress.addr.s_addr)).toString());
    if (rc == 0 || isGatewayAnswer(rc)) {
        reply = {};
        rc = sendnewportmappingrequest(&n, NATPMP_PROTOCOL_TCP, port, port, uint32_t(m_config.leaseSeconds)) <
                     0
                 ? NATPMP_ERR_SENDERR
                 : awaitNatPmp(n, reply);
        const auto &mapping = reply.pnu.newportmapping;
        if (rc == 0 && reply.type == NATPMP_RESPTYPE_TCPPORTMAPPING && mapping.privateport == port &&
            mapping.mappedpublicport != 0 && mapping.lifetime != 0) {
            out.kind = PortMapOutcome::Kind::Mapped;
            // The gateway may choose another outside port; that is the one players need.
            out.externalPort = mapping.mappedpublicport;
            out.leaseSeconds = int(qMin<uint32_t>(mapping.lifetime, 0x7fffffff));
        } else if (rc == 0 || isGatewayAnswer(rc)) {
            out.kind = PortMapOutcome::Kind::Refused;
            out.reason = natPmpReason(rc);
        }
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
                       : awaitNatPmp(n, reply);
    closenatpmp(&n);
    return rc == 0;
}

} // namespace zb
