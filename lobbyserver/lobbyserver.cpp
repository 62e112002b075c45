#include "lobbyserver.h"

#include "linesocket.h"
#include "messages.h"
#include "protocol.h"
#include "ratewindow.h"
#include "roomlisting.h"
#include "statusrecord.h"
#include "textclean.h"
#include "textutil.h"
#include "updategate.h"

#include <QDateTime>

#include <unistd.h>

namespace zb {

namespace {
const QString ServerToken = QStringLiteral("ZBSERVER");

QString peerAddress(const QHostAddress &a)
{
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    if (v4) return QHostAddress(ip).toString();
    // Players join at address + ":" + port, so an IPv6 address keeps its colons in brackets.
    QHostAddress plain = a;
    plain.setScopeId(QString());
    return QLatin1Char('[') + plain.toString() + QLatin1Char(']');
}
} // namespace

struct LobbyServer::Peer {
    // Leaving: out of every list, waiting for its socket to close.
    enum Kind { Unknown, GameServer, Player, Leaving };
    LineSocket *socket = nullptr;
    Kind kind = Unknown;
    QString address;
    QString key;         // what the per-address limits count
    QString name;        // players: the name in the lobby
    QByteArray listing;  // game servers: the encoded record players are sent
    bool listed = false; // in the room list last built
    bool toldUnlisted = false;
    bool owesRooms = false; // lists wait until the player has read the previous output
    bool owesNames = false;
    bool toldChatRate = false;
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
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    if (v4) return QHostAddress(ip).toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

QString LobbyServer::roomList() const
{
    return QString::fromLatin1(m_roomList);
}

QString LobbyServer::nameList() const
{
    return m_nameList;
}

int LobbyServer::roomCount() const
{
    return int(std::count_if(m_peers.cbegin(), m_peers.cend(), [](const Peer *p) { return p->listed; }));
}

int LobbyServer::playerCount() const
{
    return int(m_names.size());
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
    AddressUse &use = m_addressUse[key];
    if (use.connections >= m_limits.connectionsPerAddress) {
        logRefusal(msg::tooManyConnections(peerAddress(s->peerAddress())));
        delete s;
        return;
    }
    ++use.connections;
    // Lists are written whole; Nagle would hold back the tail of each.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    auto *peer = new Peer;
    LineSocket *socket = new LineSocket(s, this);
    peer->socket = socket;
    peer->socket->setInputCap(InputCap);
    peer->socket->setOutputCap(OutputCap);
    peer->address = peerAddress(s->peerAddress());
    peer->key = key;
    m_peers.append(peer);
    m_bySocket.insert(socket, peer);
    log(msg::connected(describe(peer)));

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

void LobbyServer::onLine(Peer *peer, const QString &command, const QString &payload)
{
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
        drop(peer, msg::unknownPeer(command.left(3)));
}

void LobbyServer::onGameServerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Status)
        updateRoom(peer, StatusRecord::decode(payload));
    else if (command == cmd::Check)
        peer->socket->sendLine(cmd::Check, QStringLiteral("null"));
    else if (command != cmd::Name)
        log(msg::unknownServerCommand(describe(peer), command));
}

void LobbyServer::onPlayerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == cmd::Chat)
        relayChat(peer, payload);
    else
        log(msg::unknownPlayerCommand(describe(peer), command));
}

void LobbyServer::identifyGameServer(Peer *peer)
{
    AddressUse &use = m_addressUse[peer->key];
    if (use.rooms >= m_limits.roomsPerAddress) {
        drop(peer, msg::TooManyRoomsLog, msg::tooManyRooms(m_limits.roomsPerAddress));
        return;
    }
    ++use.rooms;
    peer->kind = Peer::GameServer;
    log(msg::gameServer(describe(peer)));
}

void LobbyServer::acceptPlayer(Peer *peer, const QString &record)
{
    const QString announced = StatusRecord::field(record, QStringLiteral("playername="));
    QString name = cleanName(announced);
    // The token marks game servers in the lists; no player may carry it.
    name.replace(ServerToken, ServerToken.toLower());
    if (name.isEmpty()) name = msg::Unnamed;
    name = lobbyName(name);
    peer->kind = Peer::Player;
    peer->name = name;
    m_names.insert(name);
    log(msg::playerEntered(describe(peer), StatusRecord::field(record, QStringLiteral("version=")).left(16)));
    // A new player gets the page and the list as last sent at once, whatever the update interval.
    peer->socket->sendRaw(m_headerLine);
    peer->socket->sendRaw(m_footerLine);
    peer->socket->sendRaw(m_roomLine);
    if (name != announced) peer->socket->sendLine(cmd::System, msg::renamed(name));
    m_nameGate->markDirty();
}

QString LobbyServer::lobbyName(const QString &name) const
{
    if (!m_names.contains(name)) return name;
    // Every candidate keeps the name's first character, so only those names can collide.
    QStringList taken;
    for (const QString &n : m_names) {
        if (n.startsWith(name.at(0))) taken.append(n);
    }
    return uniqueName(name, taken);
}

void LobbyServer::relayChat(Peer *peer, const QString &payload)
{
    // A lone LF or an escape sequence would let one player forge lines on everybody's screen.
    const QString text = removeControlChars(payload).left(MaxChatLength);
    if (text.isEmpty()) return;
    if (!peer->chat.allow(m_clock.elapsed() + m_chatClockOffset, m_limits.chatLines, m_limits.chatWindowMs)) {
        if (!peer->toldChatRate) {
            peer->toldChatRate = true;
            peer->socket->sendLine(cmd::System, msg::ChatTooFast);
            log(msg::chatNotRelayed(describe(peer)));
        }
        return;
    }
    peer->toldChatRate = false;
    const QString line = peer->name + QStringLiteral("> ") + text;
    log(msg::chat(line));
    sendToPlayers(cmd::Chat, line, peer);
}

void LobbyServer::updateRoom(Peer *peer, const QString &record)
{
    const QString listing = listingRecord(record, peer->address);
    if (listing.isEmpty()) {
        log(msg::statusIgnored(describe(peer)));
        peer->socket->sendLine(cmd::System, msg::StatusRefused);
        return;
    }
    // Encoded records are plain ASCII.
    const QByteArray bytes = listing.toLatin1();
    if (bytes == peer->listing) return;
    const bool fresh = peer->listing.isEmpty();
    peer->listing = bytes;
    const QString shown = StatusRecord::decode(listing);
    log(msg::roomChanged(fresh, describe(peer), StatusRecord::field(shown, QStringLiteral("roomname=")),
                         StatusRecord::field(shown, QStringLiteral("playercount=")),
                         StatusRecord::field(shown, QStringLiteral("playermax="))));
    m_roomGate->markDirty();
}

void LobbyServer::drop(Peer *peer, const QString &reason, const QString &notice)
{
    if (peer->kind == Peer::Leaving) {
        release(peer);
        return;
    }
    log(QStringLiteral("%1 %2").arg(reason, describe(peer)));
    if (peer->kind == Peer::GameServer) {
        --m_addressUse[peer->key].rooms;
        if (!peer->listing.isEmpty()) m_roomGate->markDirty();
    } else if (peer->kind == Peer::Player) {
        m_names.remove(peer->name);
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
    auto use = m_addressUse.find(peer->key);
    if (use != m_addressUse.end() && --use->connections <= 0) m_addressUse.erase(use);
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
    for (Peer *p : qAsConst(m_peers)) {
        if (p->kind != Peer::GameServer || p->listing.isEmpty()) continue;
        p->listed = rooms < m_limits.maxRooms && list.size() + p->listing.size() + 1 <= m_limits.maxListBytes;
        if (p->listed) {
            list += p->listing;
            list += ':';
            ++rooms;
            p->toldUnlisted = false;
        } else if (!p->toldUnlisted) {
            // Rooms wait in order of arrival and are listed as soon as there is room.
            p->toldUnlisted = true;
            log(msg::listFullLog(describe(p)));
            p->socket->sendLine(cmd::System, msg::ListFull);
        }
    }
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

void LobbyServer::log(const QString &text)
{
    emit logLine(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                 escapeControlChars(text));
}

} // namespace zb
