#include "server/core/tcpdescriptor.h"

#include "shared/socketerror.h"

#include <QSignalBlocker>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace zb {

QHostAddress peerAddressOf(int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (descriptor < 0 || ::getpeername(descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr *>(&address));
}

int classicErrorNumber(int error)
{
    switch (error) {
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
        return socketErrorNumber(QAbstractSocket::RemoteHostClosedError);
    case ETIMEDOUT:
        return socketErrorNumber(QAbstractSocket::SocketTimeoutError);
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
        return socketErrorNumber(QAbstractSocket::NetworkError);
    default:
        return OtherSocketErrorNumber;
    }
}

void prepareConnection(int descriptor)
{
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    // Strokes and chat are relayed line by line as they come: waiting to
    // coalesce small writes only adds latency.
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A peer that vanished without a word is found by the kernel's probes.
    ::setsockopt(descriptor, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
}

TakenConnection takeConnection(QTcpSocket *socket)
{
    TakenConnection taken;
    taken.alreadyRead = socket->readAll();
    taken.peer = socket->peerAddress();
    if (socket->state() == QAbstractSocket::ConnectedState && socket->socketDescriptor() >= 0) {
        taken.descriptor = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        if (taken.descriptor < 0) taken.error = errno;
    }
    {
        // Closing Qt's descriptor leaves the connection to the duplicate;
        // whoever watched the socket must not take this for a departure.
        const QSignalBlocker quiet(socket);
        socket->abort();
    }
    socket->deleteLater();
    return taken;
}

} // namespace zb
