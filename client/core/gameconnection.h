#pragma once

#include "shared/hostport.h"
#include "shared/linesocket.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

namespace zb {

// Host and port of a game server address as the player types it.
using ServerAddress = HostPort;

// "host", "host:port" or "[v6]:port"; a missing port means the default one.
// More than one ":" outside brackets, an empty host or a port that is not
// 1-65535 gives ok == false.
ServerAddress parseServerAddress(const QString &ipPort);

// The client's one connection to a game server: connecting with its time-out,
// the join lines, sending, and noticing that the peer went away. What the
// player is told goes out as systemText; the owner runs the disconnect routine
// when closedByPeer arrives.
class GameConnection : public QObject {
    Q_OBJECT
  public:
    enum class State { Closed, Connecting, Connected };
    // Why the connection ended without this side closing it.
    enum class CloseCause {
        Lost,       // the peer closed or the connection broke
        NotMade,    // the attempt was refused or failed before connecting
        LineTooLong // the server sent a line past the cap
    };

    explicit GameConnection(QObject *parent = nullptr);

    // Length of one second of the client's clocks, in milliseconds.
    void setTickMs(int ms) { m_tickMs = ms > 0 ? ms : 1000; }
    int tickMs() const { return m_tickMs; }
    // Local address the connection is made from (several players on one machine).
    void setBindAddress(const QHostAddress &address) { m_bind = address; }

    // Starts a connection; false (with a system line) when the address is
    // unusable or a connection is already open or being made.
    bool connectToRoom(const QString &ipPort, const QString &name, const QString &password);
    void sendLine(const QString &command, const QString &text);
    // Closes without reporting anything; harmless when closed.
    void close();

    State state() const { return m_state; }
    bool isConnected() const { return m_state == State::Connected; }
    QTcpSocket *socket() const { return m_line->socket(); }

  signals:
    void systemText(const QString &text);
    void lineReceived(const QString &command, const QString &payload);
    // The socket connected; the join lines are already sent.
    void connectionEstablished();
    // The peer closed, the connection broke or could not be made.
    void closedByPeer(zb::GameConnection::CloseCause cause);

  private:
    void onConnected();
    void onTimeout();
    void onSocketGone(CloseCause cause = CloseCause::Lost);

    LineSocket *m_line;
    QTimer m_timeout;
    QHostAddress m_bind;
    State m_state = State::Closed;
    int m_tickMs = 1000;
    QString m_name;
    QString m_password;
};

} // namespace zb
