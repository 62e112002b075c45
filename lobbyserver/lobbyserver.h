#pragma once

#include "lobbyserver/acceptor.h"
#include "lobbyserver/addressquota.h"
#include "lobbyserver/lobbyclock.h"
#include "lobbyserver/lobbylimits.h"
#include "lobbyserver/lobbylog.h"
#include "lobbyserver/lobbyplayers.h"
#include "lobbyserver/roomboard.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zb {

class LineSocket;
struct LobbyPeer;

// The lobby: keeps the room of every connected game server and the names of
// the players choosing a room, hands players the room list and relays their chat.
// This class owns the connections; the rooms, the players, the address limits
// and the log each have their own part.
class LobbyServer : public QObject {
    Q_OBJECT
  public:
    // Lobby lines are short: a room record or a chat line.
    static constexpr qsizetype InputCap = 64 * 1024;
    // A peer that leaves this much unread is given up on. Room and name lists
    // wait for a slow reader instead of piling up, so only chat and notices count here.
    static constexpr qint64 OutputCap = 1024 * 1024;
    static constexpr int MaxChatLength = LobbyPlayers::MaxChatLength;
    // Out of descriptors: accepting waits this long before it tries again.
    static constexpr int AcceptRetryMs = 1000;
    // Connections waiting in the system before the lobby takes them.
    static constexpr int ListenBacklog = 1024;
    // A peer told why it is sent away gets this long to read the notice.
    static constexpr int CloseGraceMs = 5000;

    explicit LobbyServer(QObject *parent = nullptr);
    ~LobbyServer() override;

    // A connection must say who it is within this time (30 s) or is closed.
    void setIdentifyTimeoutMs(int ms) { m_identifyTimeoutMs = ms; }
    void setLimits(const LobbyLimits &limits);
    // Moves the lobby's clock (chat, line budgets, idle time) on, so that a
    // test need not sleep through a window.
    void advanceChatClock(qint64 ms) { m_clock.advance(ms); }

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_acceptor.port(); }
    QString errorString() const { return m_acceptor.errorString(); }

    // The record a player sees for one game server's status (see RoomListing).
    static QString listingRecord(const QString &status, const QString &address);
    // What the per-address limits count: an IPv4 address, or the /64 an IPv6
    // host is handed whole.
    static QString limitKey(const QHostAddress &address);
    // What the per-network limits count: the /24 of an IPv4 address, the /48 of an IPv6 one.
    static QString networkKey(const QHostAddress &address);

    // The "SRV" payload as last sent: every listed room's encoded record followed by ":".
    QString roomList() const { return m_rooms.list(); }

    int roomCount() const { return m_rooms.count(); }
    int playerCount() const { return m_players.count(); }

  signals:
    void logLine(const QString &text);

  private:
    void onAccepted(qintptr descriptor);
    void onLine(LobbyPeer *peer, const QString &command, const QString &payload);
    void onGameServerLine(LobbyPeer *peer, const QString &command, const QString &payload);
    void onPlayerLine(LobbyPeer *peer, const QString &command, const QString &payload);
    void logUnknownCommand(LobbyPeer *peer, const QString &text);
    void identifyGameServer(LobbyPeer *peer);
    void dropIdle();
    // Leaves the lists at once; the socket closes now or after the notice is read.
    void drop(LobbyPeer *peer, const QString &reason, const QString &notice = QString());
    void release(LobbyPeer *peer);

    LobbyClock m_clock;
    LobbyLimits m_limits;
    Acceptor m_acceptor;
    QList<LobbyPeer *> m_peers; // in order of arrival, which is the order of the lists
    QHash<const LineSocket *, LobbyPeer *> m_bySocket;
    int m_identifyTimeoutMs = 30000;
    QTimer m_idleTimer;
    LobbyLog m_log;
    AddressQuota m_quota;
    RoomBoard m_rooms;
    LobbyPlayers m_players;
};

} // namespace zb
