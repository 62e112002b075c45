#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace zb {

class LineSocket;

// The lobby: keeps the room of every connected game server and the names of
// the players choosing a room, hands players the room list and relays their chat.
class LobbyServer : public QObject {
    Q_OBJECT
  public:
    // Lobby lines are short: a room record or a chat line.
    static constexpr qsizetype InputCap = 64 * 1024;
    // A peer that leaves this much unread is given up on.
    static constexpr qint64 OutputCap = 1024 * 1024;

    explicit LobbyServer(QObject *parent = nullptr);
    ~LobbyServer() override;

    // A connection must say who it is within this time (30 s) or is closed.
    void setIdentifyTimeoutMs(int ms) { m_identifyTimeoutMs = ms; }

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

    static QString headerHtml();
    static QString footerHtml();

    // The record a player sees for one game server's status: "ipaddress="
    // first, the password only as a mark, unknown fields left out.
    static QString listingRecord(const QString &status, const QString &address);
    // "SRV" payload: every room's encoded record followed by ":".
    QString roomList() const;
    // "NMS" payload: every player's name followed by ":".
    QString nameList() const;

    int roomCount() const;
    int playerCount() const;

  signals:
    void logLine(const QString &text);

  private:
    struct Peer;

    void onNewConnection();
    void onLine(Peer *peer, const QString &command, const QString &payload);
    void onGameServerLine(Peer *peer, const QString &command, const QString &payload);
    void onPlayerLine(Peer *peer, const QString &command, const QString &payload);
    void acceptPlayer(Peer *peer, const QString &record);
    void updateRoom(Peer *peer, const QString &record);
    void drop(Peer *peer, const QString &reason);
    void sendToPlayers(const QString &command, const QString &text, const Peer *except = nullptr);
    void log(const QString &text);
    static QString describe(const Peer *peer);

    QTcpServer m_server;
    QList<Peer *> m_peers;
    int m_identifyTimeoutMs = 30000;
};

} // namespace zb
