#include "server/portmap/natpmpsession.h"

#include <QDeadlineTimer>
#include <QHostAddress>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace zb {

namespace {
// A gateway on the home network answers within milliseconds; this allows
// four sends (the library resends after 250, 500 and 1000 ms).
constexpr int WaitMs = 2000;
} // namespace

NatPmpSession::NatPmpSession(const PortMapConfig &config)
{
    const bool forced = !config.natpmpGateway.isEmpty();
    if (!forced && !config.searchAllowed()) return;
    const in_addr_t gateway = forced ? htonl(QHostAddress(config.natpmpGateway).toIPv4Address()) : 0;
    m_open = initnatpmp(&m_n, forced ? 1 : 0, gateway) == 0;
}

NatPmpSession::~NatPmpSession()
{
    if (m_open) closenatpmp(&m_n);
}

QString NatPmpSession::lanAddress() const
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (!m_open || ::getsockname(m_n.s, reinterpret_cast<sockaddr *>(&local), &size) != 0 ||
        local.sin_family != AF_INET)
        return {};
    return QHostAddress(ntohl(local.sin_addr.s_addr)).toString();
}

// Waits for the answer to the request just sent, resending as the library
// schedules.
int NatPmpSession::await(natpmpresp_t &reply, int cancelFd)
{
    const QDeadlineTimer deadline(WaitMs);
    for (;;) {
        timeval tv{};
        qint64 waitMs = 0;
        if (getnatpmprequesttimeout(&m_n, &tv) == 0) waitMs = qint64(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
        waitMs = qBound<qint64>(0, waitMs, deadline.remainingTime());
        pollfd fds[2] = {{m_n.s, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        if (::poll(fds, 2, int(waitMs)) > 0 && fds[1].revents) return Cancelled;
        const int rc = readnatpmpresponseorretry(&m_n, &reply);
        if (rc != NATPMP_TRYAGAIN) return rc;
        if (deadline.hasExpired()) return NATPMP_ERR_NOGATEWAYSUPPORT;
    }
}

int NatPmpSession::askPublicAddress(QString &address, int cancelFd)
{
    natpmpresp_t reply{};
    const int rc = sendpublicaddressrequest(&m_n) < 0 ? NATPMP_ERR_SENDERR : await(reply, cancelFd);
    if (rc == 0 && reply.type == NATPMP_RESPTYPE_PUBLICADDRESS)
        address = QHostAddress(ntohl(reply.pnu.publicaddress.addr.s_addr)).toString();
    return rc;
}

int NatPmpSession::askMapping(quint16 port, int leaseSeconds, quint16 &externalPort, int &lease)
{
    natpmpresp_t reply{};
    int rc = sendnewportmappingrequest(&m_n, NATPMP_PROTOCOL_TCP, port, port, uint32_t(leaseSeconds)) < 0
                 ? NATPMP_ERR_SENDERR
                 : await(reply, -1);
    const auto &mapping = reply.pnu.newportmapping;
    if (rc != 0) return rc;
    if (reply.type != NATPMP_RESPTYPE_TCPPORTMAPPING || mapping.privateport != port ||
        mapping.mappedpublicport == 0 || mapping.lifetime == 0)
        return InvalidAnswer;
    externalPort = mapping.mappedpublicport;
    lease = int(qMin<uint32_t>(mapping.lifetime, 0x7fffffff));
    return 0;
}

int NatPmpSession::removeMapping(quint16 port)
{
    natpmpresp_t reply{};
    // Lifetime 0 with outside port 0 removes the mapping of this inside port.
    return sendnewportmappingrequest(&m_n, NATPMP_PROTOCOL_TCP, port, 0, 0) < 0 ? NATPMP_ERR_SENDERR
                                                                                : await(reply, -1);
}

bool NatPmpSession::isGatewayAnswer(int rc)
{
    return rc == InvalidAnswer || rc == NATPMP_ERR_UNSUPPORTEDVERSION || rc == NATPMP_ERR_UNSUPPORTEDOPCODE ||
           rc == NATPMP_ERR_UNDEFINEDERROR || rc == NATPMP_ERR_NOTAUTHORIZED ||
           rc == NATPMP_ERR_NETWORKFAILURE || rc == NATPMP_ERR_OUTOFRESOURCES;
}

QString NatPmpSession::reason(int rc)
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

} // namespace zb
