#pragma once

#include "server/transport/transport.h"
#include "server/transport/waitinglines.h"

#include <QPointer>

class QWebSocket;

namespace zb {

class WebSocketLines;

// A browser's WebSocket as a seat's connection. The room gets and gives whole
// code page 932 lines exactly as over TCP; one text message in UTF-8 stands
// for each line here. A message code page 932 cannot hold is dropped like any
// bad line; a binary message or one over the line cap ends the connection as
// an overlong line does.
class WebSocketTransport : public Transport {
    Q_OBJECT
  public:
    // Adopts an open socket.
    explicit WebSocketTransport(QWebSocket *socket, QObject *parent = nullptr);
    ~WebSocketTransport() override;

    QHostAddress peerAddress() const override { return m_peer; }
    bool isOpen() const override;
    bool takeLines(QByteArray &block, QList<QByteArrayView> &lines) override;
    using Transport::send;
    void send(const QByteArray &block, qsizetype offset, qsizetype size) override;
    void flush() override;
    void close(bool graceful) override;

    void setOutputCap(qint64 cap) { m_outputCap = cap; }

  private:
    void onLines(const QByteArray &block, const QList<QByteArrayView> &lines);

    WebSocketLines *m_lines;
    QHostAddress m_peer;
    // Complete lines not taken yet, each with its CR LF.
    WaitingLines m_waiting;
    qint64 m_outputCap = DefaultOutputCap;
    bool m_overflowReported = false;
    bool m_closing = false;
};

} // namespace zb
