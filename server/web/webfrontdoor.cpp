#include "webfrontdoor.h"

#include "addresskey.h"
#include "connectionsorter.h"
#include "websocketlines.h"

#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace zb {

namespace {
struct Authority {
    QByteArray host; // lower case; an IPv6 address keeps its brackets
    int port = -1;
};

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool isIpv6Char(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// "name", "name:port", "[v6]" or "[v6]:port"; the port is defaultPort when absent.
bool readAuthority(QByteArrayView s, int defaultPort, Authority &a)
{
    qsizetype hostEnd = 0;
    if (s.startsWith('[')) {
        hostEnd = s.indexOf(']');
        if (hostEnd < 2 || !std::all_of(s.begin() + 1, s.begin() + hostEnd, isIpv6Char)) return false;
        ++hostEnd;
    } else {
        while (hostEnd < s.size() && isHostChar(s.at(hostEnd)))
            ++hostEnd;
        if (hostEnd == 0) return false;
    }
    a.host = s.first(hostEnd).toByteArray().toLower();
    const QByteArrayView rest = s.sliced(hostEnd);
    if (rest.isEmpty()) {
        a.port = defaultPort;
        return true;
    }
    if (!rest.startsWith(':') || rest.size() < 2 || rest.size() > 6) return false;
    bool ok = false;
    const int port = rest.sliced(1).toInt(&ok);
    if (!ok || port < 1 || port > 65535 ||
        !std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    a.port = port;
    return true;
}

// A comma-separated field holding a token, case-insensitively ("keep-alive, Upgrade").
bool hasToken(const QByteArray &field, QByteArrayView token)
{
    for (const QByteArray &part : field.split(',')) {
        if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

bool isWebSocketKey(const QByteArray &key)
{
    const auto decoded = QByteArray::fromBase64Encoding(key, QByteArray::AbortOnBase64DecodingErrors);
    return decoded && decoded.decoded.size() == 16;
}

QByteArrayView reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

QByteArray errorAnswer(int status, QByteArrayView host = {})
{
    QByteArray body = QByteArray::number(status) + ' ' + reasonPhrase(status).toByteArray() + '\n';
    return httpAnswer(status, "text/plain; charset=utf-8", body, host);
}
} // namespace

QByteArray httpAnswer(int status, QByteArrayView type, const QByteArray &body, QByteArrayView host)
{
    // The page talks to its own room only. An IPv6 literal cannot be named in
    // the policy; browsers count a same-origin WebSocket as 'self' anyway.
    QByteArray connectSrc = "'self'";
    Authority a;
    if (!host.isEmpty() && !host.startsWith('[') && readAuthority(host, 80, a)) {
        const QByteArray authority = a.host + ':' + QByteArray::number(a.port);
        connectSrc += " ws://" + authority + " wss://" + authority;
    }
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status).toByteArray() + "\r\n";
    out += "Content-Type: " + type.toByteArray() + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Content-Security-Policy: default-src 'self'; connect-src " + connectSrc +
           "; base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    out += "Referrer-Policy: no-referrer\r\n";
    out += "Cache-Control: no-cache\r\n";
    if (status == 405) out += "Allow: GET\r\n";
    out += "Connection: close\r\n\r\n";
    out += body;
    return out;
}

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
        const bool upgrade = head.version == "HTTP/1.1" && hasToken(head.field("upgrade"), "websocket") &&
                             hasToken(head.field("connection"), "upgrade") &&
                             head.field("sec-websocket-version") == "13" &&
                             isWebSocketKey(head.field("sec-websocket-key")) &&
                             !head.hasField("content-length") && !head.hasField("transfer-encoding");
        if (!upgrade) return errorAnswer(400, host);
        if (!originAllowed(head)) return errorAnswer(403, host);
        return {};
    }
    const auto file = m_files.constFind(path);
    if (file == m_files.cend()) return errorAnswer(404, host);
    return httpAnswer(200, file->first, file->second, host);
}

bool WebFrontDoor::originAllowed(const RequestHead &head) const
{
    if (m_port == 0) return false;
    Authority host;
    if (!readAuthority(head.field("host"), 80, host) || host.port != m_port) return false;
    const QByteArray origin = head.field("origin");
    Authority from;
    if (origin.startsWith("http://")) {
        if (!readAuthority(QByteArrayView(origin).sliced(7), 80, from)) return false;
    } else if (origin.startsWith("https://")) {
        if (!readAuthority(QByteArrayView(origin).sliced(8), 443, from)) return false;
    } else {
        return false;
    }
    return from.host == host.host && from.port == host.port;
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
