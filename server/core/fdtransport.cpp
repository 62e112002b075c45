#include "server/core/fdtransport.h"

#include "shared/socketerror.h"

#include <QPointer>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zb {

namespace {
// One read takes up to this much: a few 5000-point strokes at once.
constexpr qsizetype ReadSize = 64 * 1024;
// A read at least this full becomes the lines' block as it is; a smaller one
// is copied out, so a block never holds much more memory than bytes.
constexpr qsizetype KeepReadAbove = ReadSize / 2;
// One busy sender may not keep the loop from the other players for longer.
constexpr qsizetype MaxReadPerWake = 1024 * 1024;
// How long a closing peer may take to accept what is still queued for it.
constexpr int CloseGraceMs = 5000;

QHostAddress peerOf(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) return {};
    return QHostAddress(reinterpret_cast<const sockaddr *>(&address));
}

// The classic number for an errno, as Qt's sockets report the same failures.
int classicNumber(int error)
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
} // namespace

FdTransport::FdTransport(int descriptor, QObject *parent, QByteArray alreadyRead)
    : FdTransport(descriptor, peerOf(descriptor), std::move(alreadyRead), parent)
{
}

FdTransport::FdTransport(int descriptor, const QHostAddress &peer, QByteArray alreadyRead, QObject *parent)
    : Transport(parent), m_fd(descriptor), m_peer(peer)
{
    start(std::move(alreadyRead));
}

FdTransport *FdTransport::adopt(QTcpSocket *socket, QObject *parent)
{
    QByteArray early = socket->readAll();
    const QHostAddress peer = socket->peerAddress();
    int fd = -1;
    int error = 0;
    if (socket->state() == QAbstractSocket::ConnectedState && socket->socketDescriptor() >= 0) {
        fd = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) error = errno;
    }
    {
        // Closing Qt's descriptor leaves the connection to the duplicate;
        // whoever watched the socket must not take this for a departure.
        const QSignalBlocker quiet(socket);
        socket->abort();
    }
    socket->deleteLater();
    auto *transport = new FdTransport(fd, peer, std::move(early), parent);
    transport->m_startError = error;
    return transport;
}

FdTransport::~FdTransport()
{
    releaseDescriptor();
}

void FdTransport::start(QByteArray alreadyRead)
{
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &FdTransport::finishClose);
    if (m_fd >= 0) {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        const int one = 1;
        // Strokes and chat are relayed line by line as they come: waiting to
        // coalesce small writes only adds latency.
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // A peer that vanished without a word is found by the kernel's probes.
        ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
        m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, &FdTransport::onReadable);
        m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
        m_writeNotifier->setEnabled(false);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &FdTransport::onWritable);
    } else {
        m_ended = true;
    }
    const bool early = !alreadyRead.isEmpty();
    const bool ok = !early || frame(std::move(alreadyRead));
    if (!early && m_fd >= 0) return;
    // The owner connects its handlers after construction.
    QMetaObject::invokeMethod(
        this,
        [this, early, ok] {
            if (m_closing) return;
            if (early && !announceInput(!ok)) return;
            if (m_fd < 0) {
                if (m_startError)
                    emit closed(classicNumber(m_startError), qt_error_string(m_startError));
                else
                    emit closed(0, QString());
            }
        },
        Qt::QueuedConnection);
}

bool FdTransport::isOpen() const
{
    return m_fd >= 0 && !m_ended && !m_closing;
}

// ---------------------------------------------------------------- input

void FdTransport::onReadable()
{
    if (m_closing) {
        discardInput();
        return;
    }
    qsizetype total = 0;
    for (;;) {
        if (m_readBuffer.size() != ReadSize) m_readBuffer = QByteArray(ReadSize, Qt::Uninitialized);
        const ssize_t n = ::read(m_fd, m_readBuffer.data(), size_t(ReadSize));
        if (n > 0) {
            QByteArray chunk;
            if (n >= KeepReadAbove) {
                chunk = std::move(m_readBuffer);
                m_readBuffer = QByteArray();
                chunk.truncate(n);
            } else {
                chunk = QByteArray(m_readBuffer.constData(), n);
            }
            const bool ok = frame(std::move(chunk));
            if (!announceInput(!ok)) return;
            total += n;
            // A short read emptied the socket; a busy one waits for the next turn.
            if (n < ReadSize || total >= MaxReadPerWake) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        fail(n == 0 ? 0 : errno, false);
        return;
    }
}

bool FdTransport::frame(QByteArray chunk)
{
    QByteArray block;
    const bool ok = m_framer.feed(std::move(chunk), block, m_views);
    m_waiting.add(std::move(block), m_views);
    m_views.clear();
    return ok;
}

bool FdTransport::announceInput(bool overflow)
{
    const QPointer<FdTransport> self(this);
    emit dataArrived();
    if (!self || m_closing) return false;
    if (!m_waiting.isEmpty()) {
        emit readyRead();
        if (!self || m_closing) return false;
    }
    if (overflow) {
        emit inputOverflow();
        if (!self || m_closing) return false;
    }
    return true;
}

bool FdTransport::takeLines(QByteArray &block, QList<QByteArrayView> &lines)
{
    return m_waiting.take(block, lines);
}

// ---------------------------------------------------------------- output

void FdTransport::send(const QByteArray &block, qsizetype offset, qsizetype size)
{
    Q_ASSERT(offset >= 0 && size <= block.size() - offset);
    if (!isOpen() || size <= 0 || offset < 0 || size > block.size() - offset) return;
    if (m_queue.isEmpty()) {
        ssize_t n;
        do
            n = ::send(m_fd, block.constData() + offset, size_t(size), MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                fail(errno, true);
                return;
            }
            n = 0;
        }
        if (n == size) return;
        offset += n;
        size -= n;
        m_writeNotifier->setEnabled(true);
    }
    m_queue.append(block, offset, size);
    if (!m_overflowReported && m_queue.bytes() > m_outputCap) {
        m_overflowReported = true;
        // Reported once the broadcast that overflowed it is over.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_closing) emit outputOverflow();
            },
            Qt::QueuedConnection);
    }
}

void FdTransport::onWritable()
{
    const int error = m_queue.writeTo(m_fd);
    if (error) {
        if (m_closing)
            finishClose();
        else
            fail(error, false);
        return;
    }
    if (!m_queue.isEmpty()) return;
    m_writeNotifier->setEnabled(false);
    if (m_closing) shutdownWrite();
}

void FdTransport::shutdownWrite()
{
    if (m_writeShut) return;
    m_writeShut = true;
    ::shutdown(m_fd, SHUT_WR);
    if (m_peerShut) finishClose();
}

void FdTransport::flush()
{
    if (!isOpen() || m_queue.isEmpty()) return;
    const int error = m_queue.writeTo(m_fd);
    if (error)
        fail(error, true);
    else if (m_queue.isEmpty())
        m_writeNotifier->setEnabled(false);
}

// ---------------------------------------------------------------- the end

void FdTransport::fail(int error, bool later)
{
    if (m_ended) return;
    m_ended = true;
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    if (m_writeNotifier) m_writeNotifier->setEnabled(false);
    m_queue.clear();
    const int number = error == 0 ? 0 : classicNumber(error);
    const QString description = error == 0 ? QString() : qt_error_string(error);
    if (!later) {
        emit closed(number, description);
        return;
    }
    // A failed send() is reported once the broadcast it was part of is over.
    QMetaObject::invokeMethod(
        this,
        [this, number, description] {
            if (!m_closing) emit closed(number, description);
        },
        Qt::QueuedConnection);
}

void FdTransport::close(bool graceful)
{
    if (m_closing) return;
    m_closing = true;
    m_waiting.clear();
    m_framer.clear();
    m_readBuffer = QByteArray();
    if (!graceful || m_fd < 0 || m_ended) {
        finishClose();
        return;
    }
    m_graceTimer.start(CloseGraceMs);
    if (m_queue.isEmpty()) shutdownWrite();
}

// Once closing, input is only read to learn when the peer has closed too:
// closing with unread input would reset the connection and could destroy
// the last lines before the peer reads them.
void FdTransport::discardInput()
{
    char scratch[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_fd, scratch, sizeof scratch);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n < 0 || m_writeShut) {
            finishClose();
        } else {
            // The peer closed its side while output is still on its way.
            m_peerShut = true;
            m_readNotifier->setEnabled(false);
        }
        return;
    }
}

void FdTransport::finishClose()
{
    if (m_finished) return;
    m_finished = true;
    m_graceTimer.stop();
    releaseDescriptor();
    m_queue.clear();
    deleteLater();
}

void FdTransport::releaseDescriptor()
{
    // The notifiers go before the descriptor they watch.
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

} // namespace zb
