#include "server/core/fdtransport.h"

#include "server/core/tcpdescriptor.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zb {

namespace {
// A wake-up reads what the kernel holds, within these bounds: the least
// also finds the end of the connection, the most is a few 5000-point
// strokes, so one busy sender does not keep the loop from the others.
constexpr qsizetype MinRead = 4096;
constexpr qsizetype MaxRead = 256 * 1024;
// How long a closing peer may take to accept what is still queued for it.
constexpr int CloseGraceMs = 5000;
} // namespace

FdTransport::FdTransport(int descriptor, QObject *parent, QByteArray alreadyRead)
    : FdTransport(descriptor, peerAddressOf(descriptor), std::move(alreadyRead), parent)
{
}

FdTransport::FdTransport(int descriptor, const QHostAddress &peer, QByteArray alreadyRead, QObject *parent)
    : Transport(parent), m_fd(descriptor), m_peer(peer)
{
    start(std::move(alreadyRead));
}

FdTransport *FdTransport::adopt(QTcpSocket *socket, QObject *parent)
{
    TakenConnection taken = takeConnection(socket);
    auto *transport = new FdTransport(taken.descriptor, taken.peer, std::move(taken.alreadyRead), parent);
    transport->m_startError = taken.error;
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
        prepareConnection(m_fd);
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
                    emit closed(classicErrorNumber(m_startError), qt_error_string(m_startError));
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
    // One read a wake-up, sized to what waits: it lands behind the unfinished
    // line, and the lines it completes stay in the block it was read into.
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) != 0) waiting = 0;
    const qsizetype size = qBound<qsizetype>(MinRead, waiting, MaxRead);
    char *const into = m_framer.space(size);
    ssize_t n;
    do
        n = ::read(m_fd, into, size_t(size));
    while (n < 0 && errno == EINTR);
    const int error = n < 0 ? errno : 0;
    QByteArray block;
    const bool ok = m_framer.commit(qMax<ssize_t>(n, 0), block, m_views);
    m_waiting.add(std::move(block), m_views);
    m_views.clear();
    if (n > 0)
        announceInput(!ok);
    else if (n == 0 || (error != EAGAIN && error != EWOULDBLOCK))
        fail(error, false);
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
    const int number = error == 0 ? 0 : classicErrorNumber(error);
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
