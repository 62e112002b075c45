#include "server/portmap/routerhttp.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zb {

namespace {

using Result = RouterHttpReply::Result;

class Socket {
  public:
    Socket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

// Waits until `fd` is ready for `events`; Ok, TimedOut or Cancelled.
Result await(int fd, short events, const QDeadlineTimer &deadline, int cancelFd)
{
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const qint64 left = deadline.remainingTime();
        if (left == 0) return Result::TimedOut;
        const int rc = ::poll(fds, cancelFd >= 0 ? 2 : 1, left < 0 ? -1 : int(qMin<qint64>(left, 60000)));
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) return Result::Unreachable;
        if (cancelFd >= 0 && fds[1].revents) return Result::Cancelled;
        if (fds[0].revents) return Result::Ok;
    }
}

bool resolve(const QString &host, quint16 port, sockaddr_in &out)
{
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    const QHostAddress literal(host);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol) {
        out.sin_addr.s_addr = htonl(literal.toIPv4Address());
        return true;
    }
    if (!literal.isNull()) return false;
    // Only a host name the operator gave (--igd-url) gets here.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found) return false;
    out.sin_addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

QString localAddressOf(int fd)
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &size) != 0 || local.sin_family != AF_INET)
        return {};
    return QHostAddress(ntohl(local.sin_addr.s_addr)).toString();
}

// Chunked transfer coding; false when malformed or not yet complete.
bool decodeChunks(QByteArrayView in, QByteArray &out)
{
    out.clear();
    qsizetype at = 0;
    for (;;) {
        const qsizetype lineEnd = in.indexOf("\r\n", at);
        if (lineEnd < 0) return false;
        QByteArray sizeText = in.sliced(at, lineEnd - at).toByteArray();
        if (const qsizetype semicolon = sizeText.indexOf(';'); semicolon >= 0) sizeText.truncate(semicolon);
        bool ok = false;
        const qint64 size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0 || size > in.size()) return false;
        at = lineEnd + 2;
        if (size == 0) return true;
        if (at + size + 2 > in.size()) return false;
        out += in.sliced(at, size);
        at += size + 2;
    }
}

enum class Framing { Incomplete, Complete, Malformed };

// Splits what arrived into status and body once it is all there. Without a
// length the answer ends with the connection (`closed`).
Framing frame(const QByteArray &in, bool closed, RouterHttpReply &reply)
{
    const qsizetype headEnd = in.indexOf("\r\n\r\n");
    if (headEnd < 0) return closed ? Framing::Malformed : Framing::Incomplete;
    const QList<QByteArray> lines = in.left(headEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool ok = false;
    reply.status = statusLine.size() >= 2 ? statusLine.at(1).toInt(&ok) : 0;
    if (!statusLine.first().startsWith("HTTP/1.") || !ok) return Framing::Malformed;
    qint64 length = -1;
    bool chunked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            length = value.toLongLong(&ok);
            if (!ok || length < 0) return Framing::Malformed;
        } else if (name == "transfer-encoding") {
            chunked = value.toLower().contains("chunked");
        }
    }
    const QByteArrayView body = QByteArrayView(in).sliced(headEnd + 4);
    if (chunked) {
        if (decodeChunks(body, reply.body)) return Framing::Complete;
        return closed ? Framing::Malformed : Framing::Incomplete;
    }
    if (length >= 0) {
        if (body.size() >= length) {
            reply.body = body.first(length).toByteArray();
            return Framing::Complete;
        }
        return closed ? Framing::Malformed : Framing::Incomplete;
    }
    if (!closed) return Framing::Incomplete;
    reply.body = body.toByteArray();
    return Framing::Complete;
}

} // namespace

QString httpOrigin(const QUrl &url)
{
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty()) return {};
    return url.host().toLower() + QLatin1Char(':') + QString::number(url.port(80));
}

RouterHttpReply routerHttp(const RouterHttpRequest &request, const QDeadlineTimer &deadline, int cancelFd)
{
    RouterHttpReply reply;
    const QUrl &url = request.url;
    sockaddr_in to{};
    const int port = url.port(80);
    if (httpOrigin(url).isEmpty() || port <= 0 || port > 65535 || !resolve(url.host(), quint16(port), to))
        return reply;
    Socket socket;
    if (socket.fd() < 0) return reply;
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0 &&
        errno != EINPROGRESS)
        return reply;
    if ((reply.result = await(socket.fd(), POLLOUT, deadline, cancelFd)) != Result::Ok) return reply;
    int error = 0;
    socklen_t errorSize = sizeof error;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &errorSize) != 0 || error != 0) {
        reply.result = Result::Unreachable;
        return reply;
    }
    reply.localAddress = localAddressOf(socket.fd());

    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty()) path = "/";
    if (url.hasQuery()) path += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray out = request.method + ' ' + path + " HTTP/1.1\r\nHost: " + url.host().toLatin1() + ':' +
                     QByteArray::number(port) + "\r\nConnection: close\r\n" + request.headers;
    if (!request.body.isEmpty() || request.method != "GET")
        out += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    out += "\r\n" + request.body;
    for (qsizetype sent = 0; sent < out.size();) {
        const ssize_t n =
            ::send(socket.fd(), out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            reply.result = Result::Unreachable;
            return reply;
        }
        if ((reply.result = await(socket.fd(), POLLOUT, deadline, cancelFd)) != Result::Ok) return reply;
    }

    QByteArray in;
    char chunk[8192];
    for (;;) {
        if ((reply.result = await(socket.fd(), POLLIN, deadline, cancelFd)) != Result::Ok) return reply;
        // One byte past the cap tells an answer that is too long from one that fits exactly.
        const size_t room =
            size_t(qMin<qsizetype>(qsizetype(sizeof chunk), MaxRouterAnswerBytes + 1 - in.size()));
        const ssize_t n = ::recv(socket.fd(), chunk, room, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (n < 0) {
            reply.result = Result::Unreachable;
            return reply;
        }
        in.append(chunk, n);
        if (in.size() > MaxRouterAnswerBytes) {
            reply.result = Result::TooLarge;
            return reply;
        }
        switch (frame(in, n == 0, reply)) {
        case Framing::Complete:
            reply.result = Result::Ok;
            return reply;
        case Framing::Malformed:
            reply.result = Result::Malformed;
            return reply;
        case Framing::Incomplete:
            break;
        }
    }
}

} // namespace zb
