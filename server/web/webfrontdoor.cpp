#include "server/web/webfrontdoor.h"

#include "server/web/connectionsorter.h"
#include "server/web/httpanswer.h"
#include "server/web/websocketlines.h"
#include "shared/addresskey.h"

#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace zb {

WebFrontDoor::WebFrontDoor(quint16 port, QObject *parent)
    : QObject(parent),
      m_upgrader(new QWebSocketServer(QStringLiteral("zbserver"), QWebSocketServer::NonSecureMode, this)),
      m_port(port)
{
    connect(m_upgrader, &QWebSocketServer::newConnection, this, &WebFrontDoor::onUpgraded);
    static const struct {
        const char *path;
        const char *file;
        const char *type;
    } files[] = {
        {"/", ":/web/index.html", "text/html; charset=utf-8"},
        {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
        {"/app.css", ":/web/app.css", "text/css; charset=utf-8"},
        {"/icon.svg", ":/web/icon.svg", "image/svg+xml"},
    };
    for (const auto &f : files) {
        QFile file(QString::fromLatin1(f.file));
        if (file.open(QIODevice::ReadOnly)) m_files.insert(f.path, {f.type, file.readAll()});
    }
}

WebFrontDoor::~WebFrontDoor()
{
    // Sockets closed while this object goes must not call back into it.
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
    disconnect(m_upgrader, nullptr, this, nullptr);
}

void WebFrontDoor::handleConnection(QTcpSocket *socket)
{
    const QString address = addressKey(socket->peerAddress());
    if (m_requests.size() >= MaxRequests || m_perAddress.value(address) >= MaxRequestsPerAddress) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setParent(this);
    // Nothing is read beyond a head's worth until the head is judged.
    socket->setReadBufferSize(MaxHeadBytes);
    Request r;
    r.address = address;
    r.timer = new QTimer(this);
    r.timer->setSingleShot(true);
    m_requests.insert(socket, r);
    ++m_perAddress[address];
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { finish(socket); });
    connect(r.timer, &QTimer::timeout, this, [this, socket] { onTimeout(socket); });
    r.timer->start(m_headTimeoutMs);
    onReadyRead(socket);
}

void WebFrontDoor::onReadyRead(QTcpSocket *socket)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end()) return;
    if (it->answered) {
        // Whatever else comes is dropped while the answer drains.
        socket->skip(socket->bytesAvailable());
        return;
    }
    // Peeked, not read: a WebSocket upgrade is read again from its first byte.
    const ParsedHead parsed = parseRequestHead(socket->peek(MaxHeadBytes));
    switch (parsed.status) {
    case ParsedHead::Status::Incomplete:
        return;
    case ParsedHead::Status::Bad:
        answer(socket, errorAnswer(parsed.tooLarge ? 431 : 400));
        return;
    case ParsedHead::Status::Complete:
        break;
    }
    const QByteArray bytes = answerFor(parsed.head);
    if (bytes.isEmpty())
        handOver(socket);
    else
        answer(socket, bytes);
}

QByteArray WebFrontDoor::answerFor(const RequestHead &head) const
{
    const QByteArray host = head.field("host");
    if (head.method != "GET") return errorAnswer(405, host);
    const QByteArray path = head.path();
    if (path == "/ws") {
        if (!isWebSocketUpgrade(head)) return errorAnswer(400, host);
        if (m_port == 0 || !isSameOrigin(head)) return errorAnswer(403, host);
        return {};
    }
    const auto file = m_files.constFind(path);
    if (file == m_files.cend()) return errorAnswer(404, host);
    return httpAnswer(200, file->first, file->second, host);
}

void WebFrontDoor::answer(QTcpSocket *socket, const QByteArray &bytes)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end() || it->answered) return;
    it->answered = true;
    it->timer->start(m_answerTimeoutMs);
    socket->setReadBufferSize(0);
    socket->skip(socket->bytesAvailable());
    socket->write(bytes);
    socket->flush();
    if (socket->bytesToWrite() == 0)
        endWriting(socket);
    else
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (socket->bytesToWrite() == 0) endWriting(socket);
        });
}

void WebFrontDoor::endWriting(QTcpSocket *socket)
{
#ifdef Q_OS_UNIX
    // Half-close and wait for the peer's end: closing outright while its
    // request is still arriving would reset the connection, and the peer
    // could lose the answer.
    if (::shutdown(int(socket->socketDescriptor()), SHUT_WR) == 0) return;
#endif
    socket->disconnectFromHost();
}

void WebFrontDoor::onTimeout(QTcpSocket *socket)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end()) return;
    if (!it->answered) {
        answer(socket, errorAnswer(408));
        return;
    }
    socket->abort();
    finish(socket);
}

void WebFrontDoor::handOver(QTcpSocket *socket)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end()) return;
    disconnect(socket, nullptr, this, nullptr);
    it->timer->deleteLater();
    if (--m_perAddress[it->address] <= 0) m_perAddress.remove(it->address);
    m_requests.erase(it);
    // WebSocket frames may be large; the message cap bounds them from here on.
    socket->setReadBufferSize(0);
    // The request is complete in the socket's buffer and was judged above, so
    // the upgrade finishes within one turn of the event loop.
    m_upgrading.removeAll(nullptr);
    m_upgrading.append(socket);
    m_upgrader->handleConnection(socket);
}

void WebFrontDoor::finish(QTcpSocket *socket)
{
    const auto it = m_requests.find(socket);
    if (it == m_requests.end()) return;
    disconnect(socket, nullptr, this, nullptr);
    it->timer->deleteLater();
    if (--m_perAddress[it->address] <= 0) m_perAddress.remove(it->address);
    m_requests.erase(it);
    socket->deleteLater();
}

void WebFrontDoor::onUpgraded()
{
    while (QWebSocket *ws = m_upgrader->nextPendingConnection()) {
        ws->setParent(this);
        // The connection goes with its WebSocket, wherever the room keeps that.
        for (qsizetype i = 0; i < m_upgrading.size(); ++i) {
            QTcpSocket *tcp = m_upgrading.at(i);
            if (tcp && tcp->peerPort() == ws->peerPort() && tcp->peerAddress() == ws->peerAddress()) {
                tcp->setParent(ws);
                m_upgrading.removeAt(i);
                break;
            }
        }
        // Bounded before its first message can be read.
        ws->setMaxAllowedIncomingMessageSize(WebSocketLines::MaxMessageBytes);
        ws->setMaxAllowedIncomingFrameSize(WebSocketLines::MaxMessageBytes);
        bool mapped = false;
        const quint32 v4 = ws->peerAddress().toIPv4Address(&mapped);
        const QString address = mapped ? QHostAddress(v4).toString() : ws->peerAddress().toString();
        emit socketUpgraded(ws, address);
        if (ws->parent() == this) {
            ws->abort();
            ws->deleteLater();
        }
    }
}

} // namespace zb
