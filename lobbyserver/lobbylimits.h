#pragma once

#include "lobbyserver/reachprobe.h"
#include "lobbyserver/roomlisting.h"

namespace zb {

// What one stranger may cost the lobby. A game server and a lobby window that
// behave as they should never meet any of these (but the idle time-out, which
// a player who reads the list for half an hour without a word does meet); options
// may change them for a run.
struct LobbyLimits {
    // A home network shares one address; eight is a whole household of lobby
    // windows with game servers beside them. An IPv6 host counts by its /64.
    static constexpr int DefaultConnectionsPerAddress = 8;
    static constexpr int DefaultRoomsPerAddress = 4;
    // A /24 (IPv4) or a /48 (IPv6, one site, free from tunnel brokers) holds
    // eight such households at once; more is one owner with many addresses.
    static constexpr int DefaultConnectionsPerNetwork = 64;
    static constexpr int DefaultRoomsPerNetwork = 8;
    // Twice the load the lobby is built for (200 rooms, 2000 players choosing
    // one). Every connection costs a descriptor and about 30 KB; a player who
    // stops reading holds one copy of the room list on top until the idle time-out.
    static constexpr int DefaultMaxConnections = 4096;
    // The load the lobby is built for; a page longer than that is no list a player can choose from.
    static constexpr int DefaultMaxRooms = 200;
    // The "SRV" payload: room for the room limit of records at their ceiling,
    // so that only the room limit keeps a room out; a player who reads always
    // has room for it under the output cap.
    static constexpr int DefaultMaxListBytes = DefaultMaxRooms * RoomListing::MaxRecordBytes;
    // At most one room list and one name list a second go out to the players.
    static constexpr int DefaultUpdateIntervalMs = 1000;
    // A room's first change after registering is listed at once; further
    // changes within this time wait for its end, so that one room changing
    // every second cannot make every player read the whole list every second.
    // A game server reports its player count at most every 30 s.
    static constexpr int DefaultRoomHoldMs = 10000;
    // Chat relayed per player: a person types no faster.
    static constexpr int DefaultChatLines = 5;
    static constexpr int DefaultChatWindowMs = 5000;
    // A connection that has said who it is but sends nothing for half an hour
    // is closed: a game server sends its keep-alive every minute.
    static constexpr int DefaultIdleTimeoutMs = 30 * 60 * 1000;
    // Log lines one source (a /24 or a /48) may cause per window: a player's
    // or a room's whole visit takes a handful.
    static constexpr int DefaultLogLines = 20;
    static constexpr int DefaultLogWindowMs = 5000;
    // Checks of rooms' reachability running at once (0 checks no room): each
    // takes at most 3 s, so the lobby's whole list is checked within a minute.
    static constexpr int DefaultMaxReachChecks = ReachProbe::DefaultMaxRunning;

    int connectionsPerAddress = DefaultConnectionsPerAddress;
    int roomsPerAddress = DefaultRoomsPerAddress;
    int connectionsPerNetwork = DefaultConnectionsPerNetwork;
    int roomsPerNetwork = DefaultRoomsPerNetwork;
    int maxConnections = DefaultMaxConnections;
    int maxRooms = DefaultMaxRooms;
    int maxListBytes = DefaultMaxListBytes;
    int updateIntervalMs = DefaultUpdateIntervalMs;
    int roomHoldMs = DefaultRoomHoldMs;
    int chatLines = DefaultChatLines;
    int chatWindowMs = DefaultChatWindowMs;
    int idleTimeoutMs = DefaultIdleTimeoutMs;
    int logLines = DefaultLogLines;
    int logWindowMs = DefaultLogWindowMs;
    int reachIntervalMs = ReachProbe::DefaultIntervalMs;
    int reachTimeoutMs = ReachProbe::DefaultTimeoutMs;
    int maxReachChecks = DefaultMaxReachChecks;
};

} // namespace zb
