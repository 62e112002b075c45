#pragma once

#include "lineframer.h"
#include "transport.h"

#include <QTcpSocket>

namespace zb {

// A player's TCP connection through Qt's socket: CR LF framing with the line
// cap, the output cap, and no delay for small writes.
class TcpTransport : public Transport {
    Q_OBJECT
  public:
    // Adopts an accepted socket.
    explicit TcpTransport(QTcpSocket *socket, QObject *parent = nullptr);
    ~TcpTransport() override;

    QHostAddress peerAddress() const override { return m_peer; }
    bool isOpen() const override;
    bool takeLines(QByteArray &block, QList<QByteArrayView> &lines) override;
    using Transport::send;
    void send(const QByteArray &block, qsizetype offset, qsizetype size) override;
    void flush() override;
    void close(bool graceful) override;

    void setOutputCap(qint64 cap) { m_outputCap = cap; }

  private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);

    QTcpSocket *m_socket;
    QHostAddress m_peer;
    LineFramer m_framer;
    // Complete lines not taken yet, and where each one ends in them.
    QByteArray m_pending;
    QList<qsizetype> m_lineEnds;
    qint64 m_outputCap = DefaultOutputCap;
    bool m_overflowReported = false;
    bool m_closing = false;
};

} // namespace zb
