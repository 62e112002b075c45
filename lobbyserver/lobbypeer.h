#pragma once

#include "lobbyserver/linebudget.h"
#include "lobbyserver/ratewindow.h"
#include "lobbyserver/roomlisting.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace zb {

class LineSocket;

// What a game server calls itself in its first line; it marks game servers in the lists.
inline const QString GameServerToken = QStringLiteral("ZBSERVER");

// One connection to the lobby: a game server, a player, or a caller that has
// not yet said which.
struct LobbyPeer {
    // Leaving: out of every list, waiting for its socket to close.
    enum Kind { Unknown, GameServer, Player, Leaving };
    LineSocket *socket = nullptr;
    Kind kind = Unknown;
    QHostAddress host;
    QString address;
    QString key;     // what the per-address limits count
    QString network; // what the per-network limits count
    qint64 lastLineMs = 0;
    LineBudget budget;
    bool toldUnknown = false;

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

    // Players.
    QString name;           // the name in the lobby
    bool owesRooms = false; // lists wait until the player has read the previous output
    bool owesNames = false;
    bool toldChatRate = false;
    RateWindow chat;

    // "address:port", and the name once there is one: how log lines name the peer.
    QString describe() const;
};

} // namespace zb
