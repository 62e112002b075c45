#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

namespace zb {

// The extra socket that takes one connection while the room is full, tells
// it so with one SYM line as soon as it speaks and closes it. A client that
// says nothing is dropped at the third tick.
class RoomFullSocket : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    ~RoomFullSocket() override;

    bool busy() const { return !m_socket.isNull(); }
    // The socket state as the caption shows it: 0 closed, 7 connected, 8 closing.
    int stateNumber() const;

    // Takes over an accepted connection (the caller checked busy()).
    void accept(QTcpSocket *socket);
    // The room-full share of the moderation tick.
    void tick();

    static QByteArray notice();

  signals:
    void systemText(const QString &text);
    void stateChanged();

  private:
    void onOverflowData();
    void onOverflowWritten();
    void onOverflowError(QAbstractSocket::SocketError error);
    void onOverflowClosed();

    QPointer<QTcpSocket> m_socket;
    bool m_noticeSent = false;
    int m_limitTimer = -1;
};

} // namespace zb
