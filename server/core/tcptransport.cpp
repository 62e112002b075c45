#include "tcptransport.h"

#include "socketerror.h"

#include <QTimer>

namespace zb {

namespace {
// How long a closing peer may take to accept what is still queued for it.
constexpr int CloseGraceMs = 5000;
} // namespace

TcpTransport::TcpTransport(QTcpSocket *socket, QObject *parent)
    : Transport(parent), m_socket(socket), m_peer(socket->peerAddress())
{
    m_socket->setParent(this);
    // Strokes and chat are relayed line by line as they come: waiting to
    // coalesce small writes only adds latency.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A peer that vanished without a word is found by the kernel's probes.
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpTransport::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { emit closed(0, QString()); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpTransport::onError);
}

TcpTransport::~TcpTransport()
{
    // A socket closed during destruction must not call back into the room.
    disconnect(m_socket, nullptr, this, nullptr);
}

bool TcpTransport::isOpen() const
{
    return !m_closing && m_socket->state() == QAbstractSocket::ConnectedState;
}

void TcpTransport::onReadyRead()
{
    if (m_closing) return;
    QByteArray block;
    QList<QByteArrayView> lines;
    const bool ok = m_framer.feed(m_socket->readAll(), block, lines);
    if (!lines.isEmpty()) {
        const qsizetype base = m_pending.size();
        for (const QByteArrayView line : lines)
            m_lineEnds.append(base + (line.data() - block.constData()) + line.size());
        if (m_pending.isEmpty())
            m_pending = std::move(block);
        else
            m_pending.append(block);
    }
    emit dataArrived();
    if (!m_lineEnds.isEmpty()) emit readyRead();
    if (!ok && !m_closing) emit inputOverflow();
}

bool TcpTransport::takeLines(QByteArray &block, QList<QByteArrayView> &lines)
{
    lines.clear();
    if (m_lineEnds.isEmpty()) {
        block.clear();
        return false;
    }
    block = std::move(m_pending);
    m_pending = QByteArray();
    qsizetype from = 0;
    for (const qsizetype end : std::as_const(m_lineEnds)) {
        lines.append(QByteArrayView(block.constData() + from, end - from));
        from = end + 2;
    }
    m_lineEnds.clear();
    return true;
}

void TcpTransport::send(const QByteArray &block, qsizetype offset, qsizetype size)
{
    if (!isOpen() || size <= 0) return;
    if (offset == 0 && size == block.size())
        m_socket->write(block);
    else
        m_socket->write(block.constData() + offset, size);
    if (!m_overflowReported && m_socket->bytesToWrite() > m_outputCap) {
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

void TcpTransport::flush()
{
    if (isOpen() && m_socket->bytesToWrite() > 0) m_socket->flush();
}

void TcpTransport::onError(QAbstractSocket::SocketError error)
{
    // A peer's orderly close also arrives as disconnected.
    if (error == QAbstractSocket::RemoteHostClosedError || m_closing) return;
    emit closed(socketErrorNumber(error), m_socket->errorString());
}

void TcpTransport::close(bool graceful)
{
    if (m_closing) return;
    m_closing = true;
    disconnect(m_socket, nullptr, this, nullptr);
    m_pending.clear();
    m_lineEnds.clear();
    m_framer.clear();
    if (graceful && m_socket->state() == QAbstractSocket::ConnectedState) {
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        m_socket->disconnectFromHost();
        if (m_socket->state() != QAbstractSocket::UnconnectedState) {
            QTimer::singleShot(CloseGraceMs, this, [this] {
                m_socket->abort();
                deleteLater();
            });
            return;
        }
    } else {
        m_socket->abort();
    }
    deleteLater();
}

} // namespace zb
