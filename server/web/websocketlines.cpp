#include "server/web/websocketlines.h"

#include "shared/cp932.h"

#include <QStringEncoder>
#include <QWebSocket>

namespace zb {

namespace {
// Strict conversion: false when any character has no code in code page 932
// (the general encoder would write a substitute instead).
bool toCp932Exactly(const QString &text, QByteArray &out)
{
    const bool ascii = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        out = text.toLatin1();
        return true;
    }
    // A fresh encoder each time: one that has met an error keeps reporting it.
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    out = encoder.encode(text);
    return !encoder.hasError();
}
} // namespace

WebSocketLines::WebSocketLines(QWebSocket *socket, QObject *parent) : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    m_socket->setMaxAllowedIncomingMessageSize(MaxMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(MaxMessageBytes);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &WebSocketLines::onText);
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &WebSocketLines::onBinary);
    connect(m_socket, &QWebSocket::disconnected, this, &WebSocketLines::onDisconnected);
}

WebSocketLines::~WebSocketLines()
{
    // The socket goes with this object; its last signals must not come back here.
    disconnect(m_socket, nullptr, this, nullptr);
}

QHostAddress WebSocketLines::peerAddress() const
{
    return m_socket->peerAddress();
}

bool WebSocketLines::isOpen() const
{
    return !m_closed && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool WebSocketLines::messageToLine(const QString &message, QByteArray &line, Refusal *why)
{
    // A line break would let one message pass as several lines to everyone the room relays it to.
    if (message.contains(QLatin1Char('\r')) || message.contains(QLatin1Char('\n'))) {
        if (why) *why = Refusal::LineBreak;
        return false;
    }
    if (!toCp932Exactly(message, line)) {
        if (why) *why = Refusal::NotCp932;
        return false;
    }
    return true;
}

void WebSocketLines::onText(const QString &message)
{
    if (m_faulted || m_closed) return;
    QByteArray line;
    Refusal why = Refusal::LineBreak;
    if (!messageToLine(message, line, &why)) {
        emit lineRefused(why);
        return;
    }
    const qsizetype size = line.size();
    QByteArray block = std::move(line);
    block += "\r\n";
    const QList<QByteArrayView> lines{QByteArrayView(block.constData(), size)};
    emit linesReceived(block, lines);
}

void WebSocketLines::onBinary()
{
    fault(Fault::BinaryMessage);
}

void WebSocketLines::fault(Fault why)
{
    if (m_faulted || m_closed) return;
    m_faulted = true;
    emit faulted(why);
    m_socket->abort();
    onDisconnected();
}

void WebSocketLines::onDisconnected()
{
    if (m_closed) return;
    // The socket's own size check closes with this code; nothing else here uses it.
    if (!m_faulted && m_socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData) {
        m_faulted = true;
        emit faulted(Fault::TooLong);
    }
    m_closed = true;
    emit closed();
}

void WebSocketLines::sendBlock(QByteArrayView block)
{
    if (!isOpen() || m_faulted) return;
    qsizetype pos = 0;
    while (pos < block.size()) {
        qsizetype end = block.indexOf("\r\n", pos);
        const qsizetype next = end < 0 ? block.size() : end + 2;
        if (end < 0) end = block.size();
        m_socket->sendTextMessage(fromCp932(block.sliced(pos, end - pos).toByteArray()));
        pos = next;
    }
    if (m_socket->bytesToWrite() > m_outputCap) fault(Fault::OutputOverflow);
}

void WebSocketLines::sendLine(const QString &command, const QString &text)
{
    // Through code page 932 and back, so that a browser reads what a program would.
    sendBlock(LineSocket::encodeLine(command, text));
}

void WebSocketLines::close()
{
    if (m_closed) return;
    m_socket->close();
}

void WebSocketLines::abort()
{
    if (m_closed) return;
    m_socket->abort();
    onDisconnected();
}

} // namespace zb
