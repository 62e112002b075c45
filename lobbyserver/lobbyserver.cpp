#include "lobbyserver/lobbyserver.h"

#include "lobbyserver/linebudget.h"
#include "lobbyserver/messages.h"
#include "lobbyserver/peeraddress.h"
#include "lobbyserver/ratewindow.h"
#include "lobbyserver/roomlisting.h"
#include "lobbyserver/updategate.h"
#include "shared/linesocket.h"
#include "shared/messages.h"
#include "shared/protocol.h"
#include "shared/statusrecord.h"
#include "shared/textclean.h"
#include "shared/textutil.h"

#include <QDateTime>

#include <unistd.h>

namespace zb {

namespace {
const QString ServerToken = QStringLiteral("ZBSERVER");

// Text from the network as one log line may hold it: no control character
// acts on the terminal, and a long text is cut with a mark that says so.
QString fromNetwork(const QString &text)
{
    const QString escaped = escapeControlChars(text);
    if (escaped.size() <= LobbyServer::MaxLoggedText) return escaped;
    return escaped.left(LobbyServer::MaxLoggedText) +
           msg::logCutMark(escaped.size(), LobbyServer::MaxLoggedText);
}

int minutes(int ms)
{
    return (ms + 59999) / 60000;
}
} // namespace

struct LobbyServer::Peer {
    // Leaving: out of every list, waiting for its socket to close.
    enum Kind { Unknown, GameServer, Player, Leaving };
    LineSocket *socket = nullptr;
    Kind kind = Unknown;
    QHostAddress host;
    QString address;
    QString key;     // what the per-address limits count
    QString network; // what the per-network limits count
    QString name;    // players: the name in the lobby
    // Game servers: the latest status, the status players are shown (a change
    // may wait, see LobbyLimits::roomHoldMs), when a change was last shown, and
    // the encoded record of what is shown.
    RoomListing status;
    RoomListing shown;
    qint64 changeShownMs = -1;
    QByteArray listing;
    RoomListing::Reach reach = RoomListing::Reach::Unchecked;
    quint16 reachPort = 0;
    QString reachNotice; // the last one sent
    bool listed = false; // in the room list last built
    bool toldUnlisted = false;
    bool owesRooms = false; // lists wait until the player has read the previous output
    bool owesNames = false;
    bool toldChatRate = false;
    bool toldUnknown = false;
    qint64 lastLineMs = 0;
    LineBudget budget;
    RateWindow chat;
};

LobbyServer::LobbyServer(QObject *parent)
    : QObject(parent), m_roomGate(new UpdateGate(
                           m_limits.updateIntervalMs, [this] { return sendRoomList(); }, this)),
      m_nameGate(new UpdateGate(
          m_limits.updateIntervalMs, [this] { return sendNameList(); }, this)),
      m_roomLine(LineSocket::encodeLine(cmd::RoomList, QString())),
      m_nameLine(LineSocket::encodeLine(cmd::Names, QString())),
      m_headerLine(LineSocket::encodeLine(cmd::PageHead, urlEncode(headerHtml()))),
      m_footerLine(LineSocket::encodeLine(cmd::PageFoot, urlEncode(footerHtml())))
{
    m_clock.start();
    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, m_roomGate, &UpdateGate::markDirty);
    connect(&m_idleTimer, &QTimer::timeout, this, &LobbyServer::dropIdle);
    m_logWindow.setSingleShot(true);
    connect(&m_logWindow, &QTimer::timeout, this, &LobbyServer::endLogWindow);
    connect(&m_reach, &ReachProbe::checked, this, &LobbyServer::onReachChecked);
    setLimits(m_limits);
    m_acceptor.setRetryMs(AcceptRetryMs);
    connect(&m_acceptor, &Acceptor::accepted, this, &LobbyServer::onAccepted);
    connect(&m_acceptor, &Acceptor::paused, this,
            [this](const QString &reason) { log(msg::acceptPaused(reason)); });
    connect(&m_acceptor, &Acceptor::resumed, this, [this] { log(msg::AcceptResumed); });
}

LobbyServer::~LobbyServer()
{
    qDeleteAll(m_peers);
}

void LobbyServer::setLimits(const LobbyLimits &limits)
{
    m_limits = limits;
    m_roomGate->setInterval(limits.updateIntervalMs);
    m_nameGate->setInterval(limits.updateIntervalMs);
    m_reach.setLimits(limits.reachIntervalMs, limits.reachTimeoutMs, limits.maxReachChecks);
    m_logBudget.setMaxLines(limits.logLines);
    m_logWindow.setInterval(limits.logWindowMs);
    // Swept every half of the time-out or every minute, whichever is shorter.
    m_idleTimer.start(qBound(1, limits.idleTimeoutMs / 2, 60000));
}

bool LobbyServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_acceptor.listen(address, port, ListenBacklog)) return false;
    log(msg::started(m_acceptor.port()));
    return true;
}

QString LobbyServer::headerHtml()
{
    return msg::PageHeader;
}

QString LobbyServer::footerHtml()
{
    return msg::PageFooter;
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

QString LobbyServer::roomList() const
{
    return QString::fromLatin1(m_roomList);
}

int LobbyServer::roomCount() const
{
    return int(std::count_if(m_peers.cbegin(), m_peers.cend(), [](const Peer *p) { return p->listed; }));
}

int LobbyServer::playerCount() const
{
    return m_names.size();
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
    if (!admit(s->peerAddress(), key, network)) {
        delete s;
        return;
    }
    ++m_addressUse[key].connections;
    ++m_networkUse[network].connections;
    // Lists are written whole; Nagle would hold back the tail of each.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    auto *peer = new Peer;
    LineSocket *socket = new LineSocket(s, this);
    peer->socket = socket;
    peer->socket->setInputCap(InputCap);
    peer->socket->setOutputCap(OutputCap);
    peer->host = PeerAddress::plain(s->peerAddress());
    peer->address = PeerAddress::joinText(s->peerAddress());
    peer->key = key;
    peer->network = network;
    peer->lastLineMs = now();
    m_peers.append(peer);
    m_bySocket.insert(socket, peer);
    log(peer, msg::connected(describe(peer)));

    // Handlers look the peer up by its socket, so none acts on a peer already gone.
    connect(socket, &LineSocket::lineReceived, this,
            [this, socket](const QString &command, const QString &payload) {
                if (Peer *p = m_bySocket.value(socket)) onLine(p, command, payload);
            });
    connect(s, &QTcpSocket::disconnected, this, [this, socket] {
        if (Peer *p = m_bySocket.value(socket)) drop(p, msg::Disconnected);
    });
    connect(s, &QTcpSocket::bytesWritten, this, [this, socket, s] {
        Peer *p = m_bySocket.value(socket);
        if (p && (p->owesRooms || p->owesNames) && s->bytesToWrite() == 0) sendListTo(p);
    });
    connect(socket, &LineSocket::inputOverflow, this, [this, socket] {
        if (Peer *p = m_bySocket.value(socket)) drop(p, msg::LineTooLong);
    });
    QTimer::singleShot(m_identifyTimeoutMs, socket, [this, socket] {
        Peer *p = m_bySocket.value(socket);
        if (p && p->kind == Peer::Unknown) drop(p, msg::Unidentified);
    });
    // Overflow is noticed in the middle of a broadcast: drop the peer after it.
    connect(
        socket, &LineSocket::outputOverflow, this,
        [this, socket] {
            if (Peer *p = m_bySocket.value(socket)) drop(p, msg::Stalled);
        },
        Qt::QueuedConnection);
}

bool LobbyServer::admit(const QHostAddress &address, const QString &key, const QString &network)
{
    QString refusal;
    if (m_peers.size() >= m_limits.maxConnections)
        refusal = msg::lobbyFull(PeerAddress::joinText(address));
    else if (m_addressUse.value(key).connections >= m_limits.connectionsPerAddress)
        refusal = msg::tooManyConnections(PeerAddress::joinText(address));
    else if (m_networkUse.value(network).connections >= m_limits.connectionsPerNetwork)
        refusal = msg::tooManyNetworkConnections(PeerAddress::joinText(address));
    if (refusal.isEmpty()) return true;
    logRefusal(refusal);
    return false;
}

void LobbyServer::onLine(Peer *peer, const QString &command, const QString &payload)
{
    if (peer->kind == Peer::Leaving) return;
    peer->lastLineMs = now();
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
    case Peer::GameServer:
        onGameServerLine(peer, command, payload);
        return;
    case Peer::Player:
        onPlayerLine(peer, command, payload);
        return;
    case Peer::Leaving:
        return;
    case Peer::Unknown:
        break;
    }
    // The first line tells who is calling.
    if (command == cmd::Name && payload == ServerToken)
        identifyGameServer(peer);
    else if (command == cmd::Status)
        acceptPlayer(peer, StatusRecord::decode(payload));
    else
        drop(peer, msg::unknownPeer(fromNetwork(command)));
}

void LobbyServer::onGameServerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Status)
        updateRoom(peer, StatusRecord::decode(payload));
    else if (command == cmd::Check)
        peer->socket->sendLine(cmd::Check, QStringLiteral("null"));
    else if (command != cmd::Name)
        logUnknownCommand(peer, msg::unknownServerCommand(describe(peer), fromNetwork(command)));
}

void LobbyServer::onPlayerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Chat)
        relayChat(peer, payload);
    else
        logUnknownCommand(peer, msg::unknownPlayerCommand(describe(peer), fromNetwork(command)));
}

void LobbyServer::logUnknownCommand(Peer *peer, const QString &text)
{
    // Once per connection: what a peer sends wrongly, it sends again.
    if (peer->toldUnknown) return;
    peer->toldUnknown = true;
    log(peer, text);
}

void LobbyServer::identifyGameServer(Peer *peer)
{
    if (m_addressUse.value(peer->key).rooms >= m_limits.roomsPerAddress) {
        drop(peer, msg::TooManyRoomsLog, msg::tooManyRooms(m_limits.roomsPerAddress));
        return;
    }
    if (m_networkUse.value(peer->network).rooms >= m_limits.roomsPerNetwork) {
        drop(peer, msg::TooManyNetworkRoomsLog, msg::tooManyNetworkRooms(m_limits.roomsPerNetwork));
        return;
    }
    ++m_addressUse[peer->key].rooms;
    ++m_networkUse[peer->network].rooms;
    peer->kind = Peer::GameServer;
    log(peer, msg::gameServer(describe(peer)));
}

void LobbyServer::acceptPlayer(Peer *peer, const QString &record)
{
    const QString announced = StatusRecord::field(record, QStringLiteral("playername="));
    QString name = cleanName(announced);
    // The token marks game servers in the lists; no player may carry it.
    name.replace(ServerToken, ServerToken.toLower());
    if (name.isEmpty()) name = msg::Unnamed;
    name = m_names.take(name);
    peer->kind = Peer::Player;
    peer->name = name;
    log(peer,
        msg::playerEntered(describe(peer),
                           fromNetwork(StatusRecord::field(record, QStringLiteral("version=")).left(16))));
    // A new player gets the page and the list as last sent at once, whatever the update interval.
    peer->socket->sendRaw(m_headerLine);
    peer->socket->sendRaw(m_footerLine);
    peer->socket->sendRaw(m_roomLine);
    if (name != announced) peer->socket->sendLine(cmd::System, msg::renamed(name));
    m_nameGate->markDirty();
}

void LobbyServer::relayChat(Peer *peer, const QString &payload)
{
    // A lone LF or an escape sequence would let one player forge lines on everybody's screen.
    const QString text = removeControlChars(payload).left(MaxChatLength);
    if (text.isEmpty()) return;
    if (!peer->chat.allow(now(), m_limits.chatLines, m_limits.chatWindowMs)) {
        if (!peer->toldChatRate) {
            peer->toldChatRate = true;
            peer->socket->sendLine(cmd::System, msg::ChatTooFast);
            log(peer, msg::chatNotRelayed(describe(peer)));
        }
        return;
    }
    peer->toldChatRate = false;
    const QString line = peer->name + QStringLiteral("> ") + text;
    log(peer, msg::chat(fromNetwork(line)));
    sendToPlayers(cmd::Chat, line, peer);
}

void LobbyServer::updateRoom(Peer *peer, const QString &record)
{
    const RoomListing status = RoomListing::fromStatus(record);
    if (!status.isValid()) {
        log(peer, msg::statusIgnored(describe(peer)));
        peer->socket->sendLine(cmd::System, msg::StatusRefused);
        return;
    }
    if (m_limits.maxReachChecks > 0) m_reach.watch(peer->socket, peer->host, status.port());
    if (status == peer->status) return;
    const bool fresh = !peer->status.isValid();
    peer->status = status;
    log(peer, msg::roomChanged(fresh, describe(peer), fromNetwork(status.roomName()),
                               fromNetwork(status.playerCount()), fromNetwork(status.playerMax())));
    m_roomGate->markDirty();
}

void LobbyServer::onReachChecked(const QObject *room, quint16 port, bool reachable)
{
    Peer *peer = m_bySocket.value(static_cast<const LineSocket *>(room));
    if (!peer || peer->kind != Peer::GameServer) return;
    log(peer, msg::reachChecked(describe(peer), port, reachable));
    // The room hears of a check when its answer is news.
    const QString notice = reachable ? msg::ReachableNotice : msg::unreachableNotice(port);
    if (notice != peer->reachNotice) {
        peer->reachNotice = notice;
        peer->socket->sendLine(cmd::System, notice);
    }
    peer->reach = reachable ? RoomListing::Reach::Reachable : RoomListing::Reach::Unreachable;
    peer->reachPort = port;
    if (refreshRecord(peer)) m_roomGate->markDirty();
}

bool LobbyServer::refreshRecord(Peer *peer)
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

void LobbyServer::dropIdle()
{
    const qint64 t = now();
    QList<Peer *> idle;
    for (Peer *p : qAsConst(m_peers)) {
        if ((p->kind == Peer::Player || p->kind == Peer::GameServer) &&
            t - p->lastLineMs >= m_limits.idleTimeoutMs)
            idle.append(p);
    }
    const int m = minutes(m_limits.idleTimeoutMs);
    for (Peer *p : qAsConst(idle))
        drop(p, msg::idleLog(m), msg::idleNotice(m));
}

void LobbyServer::drop(Peer *peer, const QString &reason, const QString &notice)
{
    if (peer->kind == Peer::Leaving) {
        release(peer);
        return;
    }
    log(peer, QStringLiteral("%1 %2").arg(reason, describe(peer)));
    if (peer->kind == Peer::GameServer) {
        --m_addressUse[peer->key].rooms;
        --m_networkUse[peer->network].rooms;
        m_reach.forget(peer->socket);
        if (!peer->listing.isEmpty()) m_roomGate->markDirty();
    } else if (peer->kind == Peer::Player) {
        m_names.release(peer->name);
        m_nameGate->markDirty();
    }
    peer->kind = Peer::Leaving;
    peer->listed = false;
    LineSocket *socket = peer->socket;
    socket->clearBuffer();
    if (notice.isEmpty()) {
        release(peer);
        return;
    }
    socket->sendLine(cmd::System, notice);
    QTimer::singleShot(CloseGraceMs, socket, [this, socket] {
        if (Peer *p = m_bySocket.value(socket)) release(p);
    });
    // Closes once the notice is written; "disconnected" then releases the peer.
    socket->socket()->disconnectFromHost();
}

void LobbyServer::release(Peer *peer)
{
    m_peers.removeOne(peer);
    m_bySocket.remove(peer->socket);
    const auto leave = [](QHash<QString, Use> &uses, const QString &key) {
        const auto use = uses.find(key);
        if (use != uses.end() && --use->connections <= 0) uses.erase(use);
    };
    leave(m_addressUse, peer->key);
    leave(m_networkUse, peer->network);
    LineSocket *socket = peer->socket;
    socket->disconnect(this);
    socket->socket()->disconnect(this);
    socket->clearBuffer();
    socket->socket()->abort();
    socket->deleteLater();
    delete peer;
}

QByteArray LobbyServer::buildRoomList()
{
    QByteArray list;
    int rooms = 0;
    const qint64 t = now();
    qint64 nextDue = -1;
    for (Peer *p : qAsConst(m_peers)) {
        if (p->kind != Peer::GameServer || !p->status.isValid()) continue;
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
            log(p, msg::listFullLog(describe(p)));
            p->socket->sendLine(cmd::System, msg::ListFull);
        }
    }
    if (nextDue >= 0) m_holdTimer.start(int(nextDue - t));
    return list;
}

bool LobbyServer::sendRoomList()
{
    QByteArray list = buildRoomList();
    if (list == m_roomList) return false;
    m_roomList = list;
    m_roomLine = "SRV " + list + "\r\n";
    for (Peer *p : qAsConst(m_peers)) {
        if (p->kind != Peer::Player) continue;
        p->owesRooms = true;
        sendListTo(p);
    }
    return true;
}

bool LobbyServer::sendNameList()
{
    QString names;
    for (const Peer *p : qAsConst(m_peers)) {
        if (p->kind == Peer::Player) names += p->name + QLatin1Char(':');
    }
    if (names == m_nameList) return false;
    m_nameList = names;
    m_nameLine = LineSocket::encodeLine(cmd::Names, names);
    for (Peer *p : qAsConst(m_peers)) {
        if (p->kind != Peer::Player) continue;
        p->owesNames = true;
        sendListTo(p);
    }
    return true;
}

void LobbyServer::sendListTo(Peer *peer)
{
    // A player still reading the last list gets the newest one when done, never a queue of them.
    if (peer->socket->socket()->bytesToWrite() > 0) return;
    if (peer->owesRooms) peer->socket->sendRaw(m_roomLine);
    if (peer->owesNames) peer->socket->sendRaw(m_nameLine);
    peer->owesRooms = false;
    peer->owesNames = false;
}

void LobbyServer::sendToPlayers(const QString &command, const QString &text, const Peer *except)
{
    const QByteArray line = LineSocket::encodeLine(command, text);
    for (Peer *p : qAsConst(m_peers)) {
        if (p->kind == Peer::Player && p != except) p->socket->sendRaw(line);
    }
}

QString LobbyServer::describe(const Peer *peer)
{
    QString text = peer->address + QLatin1Char(':') + QString::number(peer->socket->socket()->peerPort());
    if (!peer->name.isEmpty()) text += QStringLiteral(" [") + peer->name + QLatin1Char(']');
    return text;
}

void LobbyServer::logRefusal(const QString &text)
{
    // A flood of refused connections would otherwise flood the log as well.
    if (m_sinceRefusalLog.isValid() && m_sinceRefusalLog.elapsed() < 1000) {
        ++m_refusalsUnlogged;
        return;
    }
    log(m_refusalsUnlogged ? msg::refusalsUnlogged(text, m_refusalsUnlogged) : text);
    m_refusalsUnlogged = 0;
    m_sinceRefusalLog.start();
}

void LobbyServer::log(const Peer *peer, const QString &text)
{
    // Windows follow the lobby's clock; the timer ends one for sources that went quiet.
    if (m_logBudget.isEmpty() || now() - m_logWindowStart >= m_limits.logWindowMs) {
        endLogWindow();
        m_logWindowStart = now();
        m_logWindow.start();
    }
    if (m_logBudget.admit(peer->network)) log(text);
}

void LobbyServer::endLogWindow()
{
    for (const LogBudget::Omitted &o : m_logBudget.endWindow())
        log(msg::omittedLines(o.source, o.lines));
    m_logWindow.stop();
}

void LobbyServer::log(const QString &text)
{
    emit logLine(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                 escapeControlChars(text));
}

} // namespace zb
