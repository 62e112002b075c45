#include "server/web/websockettransport.h"

#include "server/web/websocketlines.h"

#include <QTimer>
#include <QWebSocket>
#include <limits>

namespace zb {

namespace {
// How long a closing browser may take to answer the closing handshake.
constexpr int CloseGraceMs = 5000;
} // namespace

WebSocketTransport::WebSocketTransport(QWebSocket *socket, QObject *parent)
    : Transport(parent), m_lines(new WebSocketLines(socket, this)), m_peer(socket->peerAddress())
{
    // The cap is kept here, so that it is reported after the broadcast that overflowed it.
    m_lines->setOutputCap(std::numeric_limits<qint64>::max());
    connect(m_lines, &WebSocketLines::linesReceived, this, &WebSocketTransport::onLines);
    // A refused message is dropped like any bad line; it still lights the lamp.
    connect(m_lines, &WebSocketLines::lineRefused, this, &WebSocketTransport::dataArrived);
    connect(m_lines, &WebSocketLines::faulted, this, [this](WebSocketLines::Fault why) {
        if (why != WebSocketLines::Fault::OutputOverflow) emit inputOverflow();
    });
    connect(m_lines, &WebSocketLines::closed, this, [this] {
        if (!m_closing) emit closed(0, QString());
    });
}

WebSocketTransport::~WebSocketTransport()
{
    // A socket closed during destruction must not call back into the room.
    disconnect(m_lines, nullptr, this, nullptr);
}

bool WebSocketTransport::isOpen() const
{
    return !m_closing && m_lines->isOpen();
}

void WebSocketTransport::onLines(const QByteArray &block, const QList<QByteArrayView> &lines)
{
    if (m_closing) return;
    m_waiting.add(block, lines);
    emit dataArrived();
    emit readyRead();
}

bool WebSocketTransport::takeLines(QByteArray &block, QList<QByteArrayView> &lines)
{
    return m_waiting.take(block, lines);
}

void WebSocketTransport::send(const QByteArray &block, qsizetype offset, qsizetype size)
{
    if (!isOpen() || size <= 0) return;
    m_lines->sendBlock(QByteArrayView(block.constData() + offset, size));
    if (!m_overflowReported && m_lines->socket()->bytesToWrite() > m_outputCap) {
        m_overflowReported = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_closing) emit outputOverflow();
            },
            Qt::QueuedConnection);
    }
}

void WebSocketTransport::flush()
{
    if (isOpen()) m_lines->socket()->flush();
}

void WebSocketTransport::close(bool graceful)
{
    if (m_closing) return;
    m_closing = true;
    disconnect(m_lines, nullptr, this, nullptr);
    m_waiting.clear();
    QWebSocket *socket = m_lines->socket();
    if (graceful && m_lines->isOpen()) {
        // The closing handshake goes out after what is queued.
        connect(socket, &QWebSocket::disconnected, this, &QObject::deleteLater);
        m_lines->close();
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            QTimer::singleShot(CloseGraceMs, this, [this] {
                m_lines->abort();
                deleteLater();
            });
            return;
        }
    } else {
        m_lines->abort();
    }
    deleteLater();
}

} // namespace zb
