#include "lobbyserver/lobbyplayers.h"

#include "lobbyserver/lobbyclock.h"
#include "lobbyserver/lobbylog.h"
#include "lobbyserver/lobbypeer.h"
#include "lobbyserver/messages.h"
#include "shared/linesocket.h"
#include "shared/messages.h"
#include "shared/protocol.h"
#include "shared/statusrecord.h"
#include "shared/textclean.h"
#include "shared/textutil.h"

namespace zb {

LobbyPlayers::LobbyPlayers(const QList<LobbyPeer *> &peers, const LobbyClock &clock, LobbyLog &log)
    : m_peers(peers), m_clock(clock), m_log(log),
      m_nameGate(m_limits.updateIntervalMs, [this] { return sendNames(); }),
      m_roomLine(LineSocket::encodeLine(cmd::RoomList, QString())),
      m_nameLine(LineSocket::encodeLine(cmd::Names, QString())),
      m_headerLine(LineSocket::encodeLine(cmd::PageHead, urlEncode(msg::PageHeader))),
      m_footerLine(LineSocket::encodeLine(cmd::PageFoot, urlEncode(msg::PageFooter)))
{
}

void LobbyPlayers::setLimits(const LobbyLimits &limits)
{
    m_limits = limits;
    m_nameGate.setInterval(limits.updateIntervalMs);
}

void LobbyPlayers::enter(LobbyPeer *peer, const QString &record)
{
    const QString announced = StatusRecord::field(record, QStringLiteral("playername="));
    QString name = cleanName(announced);
    // The token marks game servers in the lists; no player may carry it.
    name.replace(GameServerToken, GameServerToken.toLower());
    if (name.isEmpty()) name = msg::Unnamed;
    name = m_names.take(name);
    peer->kind = LobbyPeer::Player;
    peer->name = name;
    m_log.log(peer,
              msg::playerEntered(
                  peer->describe(),
                  LobbyLog::fromNetwork(StatusRecord::field(record, QStringLiteral("version=")).left(16))));
    // A new player gets the page and the list as last sent at once, whatever the update interval.
    peer->socket->sendRaw(m_headerLine);
    peer->socket->sendRaw(m_footerLine);
    peer->socket->sendRaw(m_roomLine);
    if (name != announced) peer->socket->sendLine(cmd::System, msg::renamed(name));
    m_nameGate.markDirty();
}

void LobbyPlayers::leave(LobbyPeer *peer)
{
    m_names.release(peer->name);
    m_nameGate.markDirty();
}

void LobbyPlayers::relayChat(LobbyPeer *peer, const QString &payload)
{
    // A lone LF or an escape sequence would let one player forge lines on everybody's screen.
    const QString text = removeControlChars(payload).left(MaxChatLength);
    if (text.isEmpty()) return;
    if (!peer->chat.allow(m_clock.now(), m_limits.chatLines, m_limits.chatWindowMs)) {
        if (!peer->toldChatRate) {
            peer->toldChatRate = true;
            peer->socket->sendLine(cmd::System, msg::ChatTooFast);
            m_log.log(peer, msg::chatNotRelayed(peer->describe()));
        }
        return;
    }
    peer->toldChatRate = false;
    const QString line = peer->name + QStringLiteral("> ") + text;
    m_log.log(peer, msg::chat(LobbyLog::fromNetwork(line)));
    sendToPlayers(cmd::Chat, line, peer);
}

void LobbyPlayers::sendRooms(const QByteArray &line)
{
    m_roomLine = line;
    for (LobbyPeer *p : qAsConst(m_peers)) {
        if (p->kind != LobbyPeer::Player) continue;
        p->owesRooms = true;
        sendOwed(p);
    }
}

bool LobbyPlayers::sendNames()
{
    QString names;
    for (const LobbyPeer *p : qAsConst(m_peers)) {
        if (p->kind == LobbyPeer::Player) names += p->name + QLatin1Char(':');
    }
    if (names == m_nameList) return false;
    m_nameList = names;
    m_nameLine = LineSocket::encodeLine(cmd::Names, names);
    for (LobbyPeer *p : qAsConst(m_peers)) {
        if (p->kind != LobbyPeer::Player) continue;
        p->owesNames = true;
        sendOwed(p);
    }
    return true;
}

void LobbyPlayers::sendOwed(LobbyPeer *peer)
{
    // A player still reading the last list gets the newest one when done, never a queue of them.
    if (peer->socket->socket()->bytesToWrite() > 0) return;
    if (peer->owesRooms) peer->socket->sendRaw(m_roomLine);
    if (peer->owesNames) peer->socket->sendRaw(m_nameLine);
    peer->owesRooms = false;
    peer->owesNames = false;
}

void LobbyPlayers::sendToPlayers(const QString &command, const QString &text, const LobbyPeer *except)
{
    const QByteArray line = LineSocket::encodeLine(command, text);
    for (LobbyPeer *p : qAsConst(m_peers)) {
        if (p->kind == LobbyPeer::Player && p != except) p->socket->sendRaw(line);
    }
}

} // namespace zb
