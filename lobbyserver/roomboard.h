#pragma once

#include "lobbyserver/lobbylimits.h"
#include "lobbyserver/reachprobe.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zb {

class LobbyClock;
class LobbyLog;
class UpdateGate;
struct LobbyPeer;

// The room list players are sent: each game server's latest status as a
// record, in order of arrival, as many rooms as the list has room for. A
// room's changes are held back a while, the list goes out at most once an
// interval, and each room is checked for whether players can reach it.
class RoomBoard : public QObject {
    Q_OBJECT
  public:
    // peers: every connection, in order of arrival.
    RoomBoard(const QList<LobbyPeer *> &peers, const LobbyClock &clock, LobbyLog &log,
              QObject *parent = nullptr);

    void setLimits(const LobbyLimits &limits);

    // A game server's status record.
    void update(LobbyPeer *peer, const QString &record);
    // The game server leaves the list and its checks.
    void remove(LobbyPeer *peer);

    // The "SRV" payload as last sent: every listed room's encoded record followed by ":".
    QString list() const { return QString::fromLatin1(m_list); }
    int count() const;

  signals:
    // The whole "SRV" line of a list that differs from the last one.
    void listChanged(const QByteArray &line);

  private:
    void onReachChecked(const QObject *room, quint16 port, bool reachable);
    // Rebuilds the record players are sent; true when it changed.
    bool refreshRecord(LobbyPeer *peer);
    QByteArray build();
    bool send();

    const QList<LobbyPeer *> &m_peers;
    const LobbyClock &m_clock;
    LobbyLog &m_log;
    LobbyLimits m_limits;
    UpdateGate *m_gate;
    QTimer m_holdTimer; // a change held back is due
    ReachProbe m_reach;
    QHash<const QObject *, LobbyPeer *> m_checked; // the rooms the probe knows, by their socket
    QByteArray m_list;
};

} // namespace zb
