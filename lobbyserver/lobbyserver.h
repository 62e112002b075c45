#pragma once

#include "lobbyserver/acceptor.h"
#include "lobbyserver/lobbylimits.h"
#include "lobbyserver/lobbynames.h"
#include "lobbyserver/logbudget.h"
#include "lobbyserver/reachprobe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zb {

class LineSocket;
class UpdateGate;

// The lobby: keeps the room of every connected game server and the names of
// the players choosing a room, hands players the room list and relays their chat.
class LobbyServer : public QObject {
    Q_OBJECT
  public:
    // Lobby lines are short: a room record or a chat line.
    static constexpr qsizetype InputCap = 64 * 1024;
    // A peer that leaves this much unread is given up on. Room and name lists
    // wait for a slow reader instead of piling up, so only chat and notices count here.
    static constexpr qint64 OutputCap = 1024 * 1024;
    // What the lobby window lets a player type.
    static constexpr int MaxChatLength = 100;
    // Out of descriptors: accepting waits this long before it tries again.
    static constexpr int AcceptRetryMs = 1000;
    // Connections waiting in the system before the lobby takes them.
    static constexpr int ListenBacklog = 1024;
    // A peer told why it is sent away gets this long to read the notice.
    static constexpr int CloseGraceMs = 5000;
    // The most characters of text from the network one log line shows.
    static constexpr int MaxLoggedText = 200;

    explicit LobbyServer(QObject *parent = nullptr);
    ~LobbyServer() override;

    // A connection must say who it is within this time (30 s) or is closed.
    void setIdentifyTimeoutMs(int ms) { m_identifyTimeoutMs = ms; }
    void setLimits(const LobbyLimits &limits);
    const LobbyLimits &limits() const { return m_limits; }
    // Moves the lobby's clock (chat, line budgets, idle time) on, so that a
    // test need not sleep through a window.
    void advanceChatClock(qint64 ms) { m_clockOffset += ms; }

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_acceptor.port(); }
    QString errorString() const { return m_acceptor.errorString(); }

    static QString headerHtml();
    static QString footerHtml();

    // The record a player sees for one game server's status (see RoomListing).
    static QString listingRecord(const QString &status, const QString &address);
    // What the per-address limits count: an IPv4 address, or the /64 an IPv6
    // host is handed whole.
    static QString limitKey(const QHostAddress &address);
    // What the per-network limits count: the /24 of an IPv4 address, the /48 of an IPv6 one.
    static QString networkKey(const QHostAddress &address);

    // The "SRV" payload as last sent: every listed room's encoded record followed by ":".
    QString roomList() const;

    int roomCount() const;
    int playerCount() const;

  signals:
    void logLine(const QString &text);

  private:
    struct Peer;
    struct Use {
        int connections = 0;
        int rooms = 0;
    };

    void onAccepted(qintptr descriptor);
    bool admit(const QHostAddress &address, const QString &key, const QString &network);
    void onLine(Peer *peer, const QString &command, const QString &payload);
    void onGameServerLine(Peer *peer, const QString &command, const QString &payload);
    void onPlayerLine(Peer *peer, const QString &command, const QString &payload);
    void logUnknownCommand(Peer *peer, const QString &text);
    void identifyGameServer(Peer *peer);
    void acceptPlayer(Peer *peer, const QString &record);
    void relayChat(Peer *peer, const QString &text);
    void updateRoom(Peer *peer, const QString &record);
    void onReachChecked(const QObject *room, quint16 port, bool reachable);
    // Rebuilds the record players are sent; true when it changed.
    bool refreshRecord(Peer *peer);
    void dropIdle();
    // Leaves the lists at once; the socket closes now or after the notice is read.
    void drop(Peer *peer, const QString &reason, const QString &notice = QString());
    void release(Peer *peer);
    bool sendRoomList();
    bool sendNameList();
    QByteArray buildRoomList();
    void sendListTo(Peer *peer);
    void sendToPlayers(const QString &command, const QString &text, const Peer *except = nullptr);
    void logRefusal(const QString &text);
    // A line caused by the peer: counted against its network's log budget.
    void log(const Peer *peer, const QString &text);
    void log(const QString &text);
    void endLogWindow();
    qint64 now() const { return m_clock.elapsed() + m_clockOffset; }
    static QString describe(const Peer *peer);

    Acceptor m_acceptor;
    QList<Peer *> m_peers; // in order of arrival, which is the order of the room list
    QHash<const LineSocket *, Peer *> m_bySocket;
    QHash<QString, Use> m_addressUse;
    QHash<QString, Use> m_networkUse;
    LobbyNames m_names;
    LobbyLimits m_limits;
    int m_identifyTimeoutMs = 30000;
    QElapsedTimer m_clock;
    qint64 m_clockOffset = 0;

    UpdateGate *m_roomGate;
    UpdateGate *m_nameGate;
    QTimer m_holdTimer; // a room change held back is due
    QTimer m_idleTimer;
    ReachProbe m_reach;
    QByteArray m_roomList;
    QByteArray m_roomLine;
    QString m_nameList;
    QByteArray m_nameLine;
    QByteArray m_headerLine;
    QByteArray m_footerLine;

    LogBudget m_logBudget;
    QTimer m_logWindow;
    qint64 m_logWindowStart = 0;
    QElapsedTimer m_sinceRefusalLog;
    int m_refusalsUnlogged = 0;
};

} // namespace zb
