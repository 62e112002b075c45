#include "lobbyserver/lobbyserver.h"

#include "lobbyserver/lobbypeer.h"
#include "lobbyserver/messages.h"
#include "lobbyserver/peeraddress.h"
#include "shared/linesocket.h"
#include "shared/protocol.h"
#include "shared/statusrecord.h"

#include <unistd.h>

namespace zb {

namespace {
int minutes(int ms)
{
    return (ms + 59999) / 60000;
}
} // namespace

LobbyServer::LobbyServer(QObject *parent)
    : QObject(parent), m_log(m_clock), m_rooms(m_peers, m_clock, m_log), m_players(m_peers, m_clock, m_log)
{
    connect(&m_log, &LobbyLog::logLine, this, &LobbyServer::logLine);
    connect(&m_rooms, &RoomBoard::listChanged, this,
            [this](const QByteArray &line) { m_players.sendRooms(line); });
    connect(&m_idleTimer, &QTimer::timeout, this, &LobbyServer::dropIdle);
    setLimits(m_limits);
    m_acceptor.setRetryMs(AcceptRetryMs);
    connect(&m_acceptor, &Acceptor::accepted, this, &LobbyServer::onAccepted);
    connect(&m_acceptor, &Acceptor::paused, this,
            [this](const QString &reason) { m_log.log(msg::acceptPaused(reason)); });
    connect(&m_acceptor, &Acceptor::resumed, this, [this] { m_log.log(msg::AcceptResumed); });
}

LobbyServer::~LobbyServer()
{
    qDeleteAll(m_peers);
}

void LobbyServer::setLimits(const LobbyLimits &limits)
{
    m_limits = limits;
    m_log.setLimits(limits.logLines, limits.logWindowMs);
    m_quota.setLimits(limits);
    m_rooms.setLimits(limits);
    m_players.setLimits(limits);
    // Swept every half of the time-out or every minute, whichever is shorter.
    m_idleTimer.start(qBound(1, limits.idleTimeoutMs / 2, 60000));
}

bool LobbyServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_acceptor.listen(address, port, ListenBacklog)) return false;
    m_log.log(msg::started(m_acceptor.port()));
    return true;
}

QString LobbyServer::listingRecord(const QString &status, const QString &address)
{
    return RoomListing::record(status, address);
}

QString LobbyServer::limitKey(const QHostAddress &address)
{
    return PeerAddress::limitKey(address);
}

QString LobbyServer::networkKey(const QHostAddress &address)
{
    return PeerAddress::networkKey(address);
}

void LobbyServer::onAccepted(qintptr descriptor)
{
    auto *s = new QTcpSocket;
    if (!s->setSocketDescriptor(descriptor)) {
        delete s;
        ::close(int(descriptor));
        return;
    }
    const QString key = limitKey(s->peerAddress());
    const QString network = networkKey(s->peerAddress());
    const QString refusal = m_quota.connectionRefusal(s->peerAddress(), key, network, int(m_peers.size()));
    if (!refusal.isEmpty()) {
        m_log.logRefusal(refusal);
        delete s;
        return;
    }
    m_quota.addConnection(key, network);
    // Lists are written whole; Nagle would hold back the tail of each.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    auto *peer = new LobbyPeer;
    LineSocket *socket = new LineSocket(s, this);
    peer->socket = socket;
    peer->socket->setInputCap(InputCap);
    peer->socket->setOutputCap(OutputCap);
    peer->host = PeerAddress::plain(s->peerAddress());
    peer->address = PeerAddress::joinText(s->peerAddress());
    peer->key = key;
    peer->network = network;
    peer->lastLineMs = m_clock.now();
    m_peers.append(peer);
    m_bySocket.insert(socket, peer);
    m_log.log(peer, msg::connected(peer->describe()));

    // Handlers look the peer up by its socket, so none acts on a peer already gone.
    connect(socket, &LineSocket::lineReceived, this,
            [this, socket](const QString &command, const QString &payload) {
                if (LobbyPeer *p = m_bySocket.value(socket)) onLine(p, command, payload);
            });
    connect(s, &QTcpSocket::disconnected, this, [this, socket] {
        if (LobbyPeer *p = m_bySocket.value(socket)) drop(p, msg::Disconnected);
    });
    connect(s, &QTcpSocket::bytesWritten, this, [this, socket, s] {
        LobbyPeer *p = m_bySocket.value(socket);
        if (p && (p->owesRooms || p->owesNames) && s->bytesToWrite() == 0) m_players.sendOwed(p);
    });
    connect(socket, &LineSocket::inputOverflow, this, [this, socket] {
        if (LobbyPeer *p = m_bySocket.value(socket)) drop(p, msg::LineTooLong);
    });
    QTimer::singleShot(m_identifyTimeoutMs, socket, [this, socket] {
        LobbyPeer *p = m_bySocket.value(socket);
        if (p && p->kind == LobbyPeer::Unknown) drop(p, msg::Unidentified);
    });
    // Overflow is noticed in the middle of a broadcast: drop the peer after it.
    connect(
        socket, &LineSocket::outputOverflow, this,
        [this, socket] {
            if (LobbyPeer *p = m_bySocket.value(socket)) drop(p, msg::Stalled);
        },
        Qt::QueuedConnection);
}

void LobbyServer::onLine(LobbyPeer *peer, const QString &command, const QString &payload)
{
    if (peer->kind == LobbyPeer::Leaving) return;
    peer->lastLineMs = m_clock.now();
    switch (peer->budget.take(peer->lastLineMs)) {
    case LineBudget::Verdict::Take:
        break;
    case LineBudget::Verdict::Drop:
        return;
    case LineBudget::Verdict::Cut:
        drop(peer, msg::Flooded, msg::FloodNotice);
        return;
    }
    switch (peer->kind) {
    case LobbyPeer::GameServer:
        onGameServerLine(peer, command, payload);
        return;
    case LobbyPeer::Player:
        onPlayerLine(peer, command, payload);
        return;
    case LobbyPeer::Leaving:
        return;
    case LobbyPeer::Unknown:
        break;
    }
    // The first line tells who is calling.
    if (command == cmd::Name && payload == GameServerToken)
        identifyGameServer(peer);
    else if (command == cmd::Status)
        m_players.enter(peer, StatusRecord::decode(payload));
    else
        drop(peer, msg::unknownPeer(LobbyLog::fromNetwork(command)));
}

void LobbyServer::onGameServerLine(LobbyPeer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Status)
        m_rooms.update(peer, StatusRecord::decode(payload));
    else if (command == cmd::Check)
        peer->socket->sendLine(cmd::Check, QStringLiteral("null"));
    else if (command != cmd::Name)
        logUnknownCommand(peer, msg::unknownServerCommand(peer->describe(), LobbyLog::fromNetwork(command)));
}

void LobbyServer::onPlayerLine(LobbyPeer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Chat)
        m_players.relayChat(peer, payload);
    else
        logUnknownCommand(peer, msg::unknownPlayerCommand(peer->describe(), LobbyLog::fromNetwork(command)));
}

void LobbyServer::logUnknownCommand(LobbyPeer *peer, const QString &text)
{
    // Once per connection: what a peer sends wrongly, it sends again.
    if (peer->toldUnknown) return;
    peer->toldUnknown = true;
    m_log.log(peer, text);
}

void LobbyServer::identifyGameServer(LobbyPeer *peer)
{
    const AddressQuota::RoomRefusal refusal = m_quota.roomRefusal(peer->key, peer->network);
    if (!refusal.log.isEmpty()) {
        drop(peer, refusal.log, refusal.notice);
        return;
    }
    m_quota.addRoom(peer->key, peer->network);
    peer->kind = LobbyPeer::GameServer;
    m_log.log(peer, msg::gameServer(peer->describe()));
}

void LobbyServer::dropIdle()
{
    const qint64 t = m_clock.now();
    QList<LobbyPeer *> idle;
    for (LobbyPeer *p : qAsConst(m_peers)) {
        if ((p->kind == LobbyPeer::Player || p->kind == LobbyPeer::GameServer) &&
            t - p->lastLineMs >= m_limits.idleTimeoutMs)
            idle.append(p);
    }
    const int m = minutes(m_limits.idleTimeoutMs);
    for (LobbyPeer *p : qAsConst(idle))
        drop(p, msg::idleLog(m), msg::idleNotice(m));
}

void LobbyServer::drop(LobbyPeer *peer, const QString &reason, const QString &notice)
{
    if (peer->kind == LobbyPeer::Leaving) {
        release(peer);
        return;
    }
    m_log.log(peer, QStringLiteral("%1 %2").arg(reason, peer->describe()));
    if (peer->kind == LobbyPeer::GameServer) {
        m_quota.removeRoom(peer->key, peer->network);
        m_rooms.remove(peer);
    } else if (peer->kind == LobbyPeer::Player) {
        m_players.leave(peer);
    }
    peer->kind = LobbyPeer::Leaving;
    LineSocket *socket = peer->socket;
    socket->clearBuffer();
    if (notice.isEmpty()) {
        release(peer);
        return;
    }
    socket->sendLine(cmd::System, notice);
    QTimer::singleShot(CloseGraceMs, socket, [this, socket] {
        if (LobbyPeer *p = m_bySocket.value(socket)) release(p);
    });
    // Closes once the notice is written; "disconnected" then releases the peer.
    socket->socket()->disconnectFromHost();
}

void LobbyServer::release(LobbyPeer *peer)
{
    m_peers.removeOne(peer);
    m_bySocket.remove(peer->socket);
    m_quota.removeConnection(peer->key, peer->network);
    LineSocket *socket = peer->socket;
    socket->disconnect(this);
    socket->socket()->disconnect(this);
    socket->clearBuffer();
    socket->socket()->abort();
    socket->deleteLater();
    delete peer;
}

} // namespace zb
