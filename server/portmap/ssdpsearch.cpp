#include "server/portmap/ssdpsearch.h"

#include <QDeadlineTimer>
#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zb {

namespace {

constexpr char SsdpGroup[] = "239.255.255.250";
constexpr quint16 SsdpPort = 1900;
// Routers answer for one of these; the first two are the gateway device.
constexpr const char *SearchTargets[] = {
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
    "urn:schemas-upnp-org:service:WANIPConnection:1",
    "urn:schemas-upnp-org:service:WANPPPConnection:1",
};
constexpr int MaxLocationLength = 512;

} // namespace

QUrl gatewayDescription(const QByteArray &answer, const QString &sender)
{
    const QList<QByteArray> lines = answer.split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("HTTP/1.") || !lines.first().contains(" 200")) return {};
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().toLower() != "location") continue;
        const QByteArray text = line.mid(colon + 1).trimmed();
        if (text.size() > MaxLocationLength) return {};
        const QUrl url(QString::fromLatin1(text), QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != QLatin1String("http")) return {};
        const QHostAddress host(url.host());
        if (host.protocol() != QAbstractSocket::IPv4Protocol || host != QHostAddress(sender)) return {};
        return url;
    }
    return {};
}

QList<QUrl> searchGateways(int searchMs, int cancelFd)
{
    QList<QUrl> found;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return found;
    // Routers are one hop away; the search is not to leave the home network.
    const unsigned char ttl = 2;
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(SsdpPort);
    ::inet_pton(AF_INET, SsdpGroup, &group.sin_addr);
    const int mx = qBound(1, searchMs / 1000, 5);
    for (const char *target : SearchTargets) {
        const QByteArray request = QByteArray("M-SEARCH * HTTP/1.1\r\nHOST: ") + SsdpGroup + ':' +
                                   QByteArray::number(SsdpPort) + "\r\nST: " + target +
                                   "\r\nMAN: \"ssdp:discover\"\r\nMX: " + QByteArray::number(mx) + "\r\n\r\n";
        ::sendto(fd, request.constData(), size_t(request.size()), 0,
                 reinterpret_cast<const sockaddr *>(&group), sizeof group);
    }

    const QDeadlineTimer window(searchMs);
    char buffer[2048];
    while (found.size() < MaxGatewayAnswers) {
        const qint64 left = window.remainingTime();
        if (left <= 0) break;
        pollfd fds[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int rc = ::poll(fds, cancelFd >= 0 ? 2 : 1, int(left));
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0 || (cancelFd >= 0 && fds[1].revents)) break;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        // A longer datagram is cut to the buffer: an answer is a few hundred bytes.
        const ssize_t n =
            ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromSize);
        if (n <= 0 || from.sin_family != AF_INET) continue;
        const QUrl url = gatewayDescription(QByteArray(buffer, int(n)),
                                            QHostAddress(ntohl(from.sin_addr.s_addr)).toString());
        if (!url.isEmpty() && !found.contains(url)) found << url;
    }
    ::close(fd);
    return found;
}

} // namespace zb
