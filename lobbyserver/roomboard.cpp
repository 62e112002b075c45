#include "lobbyserver/roomboard.h"

#include "lobbyserver/lobbyclock.h"
#include "lobbyserver/lobbylog.h"
#include "lobbyserver/lobbypeer.h"
#include "lobbyserver/messages.h"
#include "lobbyserver/updategate.h"
#include "shared/linesocket.h"
#include "shared/messages.h"
#include "shared/protocol.h"

namespace zb {

RoomBoard::RoomBoard(const QList<LobbyPeer *> &peers, const LobbyClock &clock, LobbyLog &log, QObject *parent)
    : QObject(parent), m_peers(peers), m_clock(clock), m_log(log),
      m_gate(new UpdateGate(
          m_limits.updateIntervalMs, [this] { return send(); }, this))
{
    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, m_gate, &UpdateGate::markDirty);
    connect(&m_reach, &ReachProbe::checked, this, &RoomBoard::onReachChecked);
}

void RoomBoard::setLimits(const LobbyLimits &limits)
{
    m_limits = limits;
    m_gate->setInterval(limits.updateIntervalMs);
    m_reach.setLimits(limits.reachIntervalMs, limits.reachTimeoutMs, limits.maxReachChecks);
}

int RoomBoard::count() const
{
    return int(std::count_if(m_peers.cbegin(), m_peers.cend(), [](const LobbyPeer *p) { return p->listed; }));
}

void RoomBoard::update(LobbyPeer *peer, const QString &record)
{
    const RoomListing status = RoomListing::fromStatus(record);
    if (!status.isValid()) {
        m_log.log(peer, msg::statusIgnored(peer->describe()));
        peer->socket->sendLine(cmd::System, msg::StatusRefused);
        return;
    }
    if (m_limits.maxReachChecks > 0) {
        m_checked.insert(peer->socket, peer);
        m_reach.watch(peer->socket, peer->host, status.port());
    }
    if (status == peer->status) return;
    const bool fresh = !peer->status.isValid();
    peer->status = status;
    m_log.log(peer, msg::roomChanged(fresh, peer->describe(), LobbyLog::fromNetwork(status.roomName()),
                                     LobbyLog::fromNetwork(status.playerCount()),
                                     LobbyLog::fromNetwork(status.playerMax())));
    m_gate->markDirty();
}

void RoomBoard::remove(LobbyPeer *peer)
{
    m_reach.forget(peer->socket);
    m_checked.remove(peer->socket);
    peer->listed = false;
    if (!peer->listing.isEmpty()) m_gate->markDirty();
}

void RoomBoard::onReachChecked(const QObject *room, quint16 port, bool reachable)
{
    LobbyPeer *peer = m_checked.value(room);
    if (!peer || peer->kind != LobbyPeer::GameServer) return;
    m_log.log(peer, msg::reachChecked(peer->describe(), port, reachable));
    // The room hears of a check when its answer is news.
    const QString notice = reachable ? msg::ReachableNotice : msg::unreachableNotice(port);
    if (notice != peer->reachNotice) {
        peer->reachNotice = notice;
        peer->socket->sendLine(cmd::System, notice);
    }
    peer->reach = reachable ? RoomListing::Reach::Reachable : RoomListing::Reach::Unreachable;
    peer->reachPort = port;
    if (refreshRecord(peer)) m_gate->markDirty();
}

bool RoomBoard::refreshRecord(LobbyPeer *peer)
{
    // The answer holds for the port it was found at.
    const RoomListing::Reach reach =
        peer->reachPort == peer->shown.port() ? peer->reach : RoomListing::Reach::Unchecked;
    // Encoded records are plain ASCII.
    const QByteArray record = peer->shown.record(peer->address, reach).toLatin1();
    if (record == peer->listing) return false;
    peer->listing = record;
    return true;
}

QByteArray RoomBoard::build()
{
    QByteArray list;
    int rooms = 0;
    const qint64 t = m_clock.now();
    qint64 nextDue = -1;
    for (LobbyPeer *p : qAsConst(m_peers)) {
        if (p->kind != LobbyPeer::GameServer || !p->status.isValid()) continue;
        if (p->status != p->shown) {
            // A new room is listed at once, and so is its first change in a while.
            const qint64 due = p->changeShownMs < 0 ? t : p->changeShownMs + m_limits.roomHoldMs;
            if (!p->shown.isValid() || due <= t) {
                if (p->shown.isValid()) p->changeShownMs = t;
                p->shown = p->status;
                refreshRecord(p);
            } else if (nextDue < 0 || due < nextDue) {
                nextDue = due;
            }
        }
        p->listed = rooms < m_limits.maxRooms && list.size() + p->listing.size() + 1 <= m_limits.maxListBytes;
        if (p->listed) {
            list += p->listing;
            list += ':';
            ++rooms;
            p->toldUnlisted = false;
        } else if (!p->toldUnlisted) {
            // Rooms wait in order of arrival and are listed as soon as there is room.
            p->toldUnlisted = true;
            m_log.log(p, msg::listFullLog(p->describe()));
            p->socket->sendLine(cmd::System, msg::ListFull);
        }
    }
    if (nextDue >= 0) m_holdTimer.start(int(nextDue - t));
    return list;
}

bool RoomBoard::send()
{
    QByteArray list = build();
    if (list == m_list) return false;
    m_list = list;
    emit listChanged("SRV " + list + "\r\n");
    return true;
}

} // namespace zb
