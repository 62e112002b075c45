#pragma once

#include "linesocket.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

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
};

// The server's registration with the lobby: connect, report the room, keep
// the link alive with CHK, drop a silent lobby and retry every 120 ticks.
class LobbyLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int RetryWait = 120;

    explicit LobbyLink(QObject *parent = nullptr);

    // "host:port"; empty means the built-in lobby address.
    void setAddress(const QString &hostPort);
    QString address() const { return m_address; }
    // The length of one tick in ms (the connection time-out is five ticks).
    void setTickMs(int ms) { m_tickMs = ms; }
    void setStatusProvider(std::function<RoomStatus()> provider) { m_provider = std::move(provider); }

    static QString buildRecord(const RoomStatus &status);

    void connectToLobby();
    void sendRoomStatus();
    void sendToLobby(const QString &command, const QString &text);
    // The 30-second status check.
    void statusCheck(int playerCount);
    // The lobby share of the one-second tick.
    void tick(bool serverStarted, bool registerOn);
    // Double-click on the status label: connect at the next tick.
    void shortenWait();
    // reset: the countdown starts over and unfinished input is forgotten.
    void reset();
    // A CHK from the lobby.
    void noteCheck();

    bool isConnected() const { return m_socket->isConnected(); }
    bool connecting() const { return m_connecting; }
    int silence() const { return m_silence; }
    int retryWait() const { return m_retryWait; }
    QString statusText() const { return m_statusText; }

  signals:
    void systemText(const QString &text);
    void statusTextChanged(const QString &text);
    void silenceChanged(int silence);
    // Every line from the lobby, to be handled as a game command of slot 0.
    void lineReceived(const QString &command, const QString &payload);

  private:
    void setStatusText(const QString &text);
    void onConnected();
    void onConnectTimeout();
    // The attempt failed: the lines that say so, naming the address.
    void connectFailed(int errorNumber);
    void onLobbyClosed();
    void onError();

    LineSocket *m_socket;
    QTimer m_connectTimer;
    QString m_address;
    std::function<RoomStatus()> m_provider;
    QString m_statusText;
    int m_tickMs = 1000;
    int m_silence = -1;
    int m_retryWait = RetryWait;
    int m_lastPlayerCount = 0;
    bool m_connecting = false;
    bool m_closing = false;
};

} // namespace zb
