#pragma once

#include "server/core/serversettings.h"
#include "shared/linesocket.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace zb {

// What the room reports to the lobby.
struct RoomStatus {
    QString port;
    QString password;
    QString roomName;
    QString comment;
    int gameType = 0;
    QString dictionaryList;
    QStringList playerNames; // eight slots
    int playerMax = 8;

    // The room as these settings and players make it.
    static RoomStatus of(const ServerSettings &settings, const QString &dictionaryList,
                         const QStringList &playerNames);
};

// The server's registration with the lobby: connect, report the room, keep
// the link alive with CHK, drop a silent lobby and retry every 120 ticks. Once
// started it runs on its own clock; the room only tells it the room's status
// whenever that changes.
class LobbyLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int RetryWait = 120;

    explicit LobbyLink(QObject *parent = nullptr);

    // "host:port"; empty means the built-in lobby address.
    void setAddress(const QString &hostPort);
    QString address() const { return m_address; }
    // The length of one tick in ms: the connection time-out is five ticks,
    // the status check thirty.
    void setTickMs(int ms);

    static QString buildRecord(const RoomStatus &status);

    // Registration on, for as long as the room runs: connects now, then keeps
    // the link alive and connects again whenever it is lost, on its own clock.
    void start();
    // The room as the lobby should list it. `now`: sent at once (the host
    // applied new settings); otherwise the next status check sends it if the
    // number of players changed.
    void setStatus(const RoomStatus &status, bool now = false);

    // What start() sets going, one step at a time (tests step it by hand).
    void setRegistering(bool on) { m_registering = on; }
    void connectToLobby();
    void sendToLobby(const QString &command, const QString &text);
    // The 30-tick status check.
    void statusCheck();
    // One tick: the reconnection countdown and the silence watch.
    void tick();
    // Double-click on the status label: connect at the next tick.
    void shortenWait();
    // reset: the countdown starts over and unfinished input is forgotten.
    void reset();
    // A CHK from the lobby (lines from the lobby are taken care of here).
    void noteCheck();

    // What the lobby last found when it tried to connect back to the room.
    enum class Reachability { Unknown, Reachable, Unreachable };
    Reachability reachability() const { return m_reachability; }

    bool isConnected() const { return m_socket->isConnected(); }
    bool connecting() const { return m_connecting; }
    int silence() const { return m_silence; }
    int retryWait() const { return m_retryWait; }
    QString statusText() const { return m_statusText; }

  signals:
    void systemText(const QString &text);
    void statusTextChanged(const QString &text);
    void silenceChanged(int silence);
    // A SYM from the lobby: a notice for the host.
    void notice(const QString &text);
    // The lobby's answer changed; `notice` is its text as the lobby sent it.
    void reachabilityChanged(zb::LobbyLink::Reachability state, const QString &notice);

  private:
    void setStatusText(const QString &text);
    void sendRoomStatus();
    void onLine(const QString &command, const QString &payload);
    void onConnected();
    void onConnectTimeout();
    // The attempt failed: the lines that say so, naming the address.
    void connectFailed(int errorNumber);
    void onLobbyClosed();
    void onError();

    LineSocket *m_socket;
    QTimer m_connectTimer;
    QTimer m_clock;
    QTimer m_statusClock;
    QString m_address;
    RoomStatus m_status;
    bool m_hasStatus = false;
    bool m_registering = false;
    Reachability m_reachability = Reachability::Unknown;
    QString m_statusText;
    int m_tickMs = 1000;
    int m_silence = -1;
    int m_retryWait = RetryWait;
    int m_lastPlayerCount = 0;
    bool m_connecting = false;
    bool m_closing = false;
};

} // namespace zb
