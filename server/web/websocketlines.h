#pragma once

#include "shared/lineframer.h"
#include "shared/linesocket.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QWebSocket;

namespace zb {

// A browser's WebSocket as a line connection of the room: one text message
// is one protocol line without CR LF, in UTF-8; the room sees code page 932
// lines exactly as a TCP connection delivers them, and whatever it writes
// (whole CR LF lines in code page 932) leaves as one text message per line.
//
// Input rules: a message with a CR or LF in it, or with text code page 932
// cannot hold, is refused (lineRefused; the connection stays, as with any
// bad line). A binary message, or one longer than MaxMessageBytes, closes the
// connection (faulted, then closed). Output that the peer leaves unread past
// the output cap closes it too.
class WebSocketLines : public QObject {
    Q_OBJECT
  public:
    // The room's line cap; code page 932 never takes more bytes than UTF-8.
    static constexpr qsizetype MaxMessageBytes = LineFramer::DefaultCap;

    enum class Refusal { LineBreak, NotCp932 };
    enum class Fault { BinaryMessage, TooLong, OutputOverflow };

    // Adopts an open socket (it becomes this object's child).
    explicit WebSocketLines(QWebSocket *socket, QObject *parent = nullptr);
    ~WebSocketLines() override;

    QWebSocket *socket() const { return m_socket; }
    QHostAddress peerAddress() const;
    bool isOpen() const;

    // Whole lines in code page 932, each ending in CR LF, as the room writes
    // them to a TCP connection; each leaves as one text message.
    void sendBlock(QByteArrayView block);
    void sendLine(const QString &command, const QString &text);
    void setOutputCap(qint64 cap) { m_outputCap = cap; }
    // Closes after what is queued has been sent.
    void close();
    // Closes at once.
    void abort();

    // The line a text message stands for, in code page 932; false when the
    // message cannot be one (a CR or LF in it, or a character code page 932
    // does not have).
    static bool messageToLine(const QString &message, QByteArray &line, Refusal *why = nullptr);

  signals:
    // One line, in the shape LineSocket::linesReceived uses: `block` holds
    // it with its CR LF, the one view of `lines` the line without.
    void linesReceived(const QByteArray &block, const QList<QByteArrayView> &lines);
    void lineRefused(zb::WebSocketLines::Refusal why);
    // The connection is being closed for what the peer did; closed follows.
    void faulted(zb::WebSocketLines::Fault why);
    // The connection ended, whatever the reason; emitted once.
    void closed();

  private:
    void onText(const QString &message);
    void onBinary();
    void onDisconnected();
    void fault(Fault why);

    QWebSocket *m_socket;
    qint64 m_outputCap = LineSocket::DefaultOutputCap;
    bool m_faulted = false;
    bool m_closed = false;
};

} // namespace zb
