#pragma once

#include "lobbyserver/lobbylimits.h"
#include "lobbyserver/lobbynames.h"
#include "lobbyserver/updategate.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zb {

class LobbyClock;
class LobbyLog;
struct LobbyPeer;

// The players choosing a room: their names, the page and the lists they are
// sent, and the chat among them. A list goes out at most once an interval, and
// a player still reading one gets only the newest when done.
class LobbyPlayers {
  public:
    // What the lobby window lets a player type.
    static constexpr int MaxChatLength = 100;

    // peers: every connection, in order of arrival.
    LobbyPlayers(const QList<LobbyPeer *> &peers, const LobbyClock &clock, LobbyLog &log);

    void setLimits(const LobbyLimits &limits);

    // The caller says it is a player; record is its status record.
    void enter(LobbyPeer *peer, const QString &record);
    void leave(LobbyPeer *peer);
    void relayChat(LobbyPeer *peer, const QString &payload);
    // A new room list ("SRV" line) for every player.
    void sendRooms(const QByteArray &line);
    // Sends what the player is owed once it has read all it was sent.
    void sendOwed(LobbyPeer *peer);
    int count() const { return m_names.size(); }

  private:
    bool sendNames();
    void sendToPlayers(const QString &command, const QString &text, const LobbyPeer *except);

    const QList<LobbyPeer *> &m_peers;
    const LobbyClock &m_clock;
    LobbyLog &m_log;
    LobbyLimits m_limits;
    LobbyNames m_names;
    UpdateGate m_nameGate;
    QByteArray m_roomLine;
    QString m_nameList;
    QByteArray m_nameLine;
    QByteArray m_headerLine;
    QByteArray m_footerLine;
};

} // namespace zb
