#pragma once

namespace zb {

// What one stranger may cost the lobby. A game server and a lobby window that
// behave as they should never meet any of these; options may change them for a run.
struct LobbyLimits {
    // A home network shares one address; eight is a whole household of lobby
    // windows with game servers beside them.
    static constexpr int DefaultConnectionsPerAddress = 8;
    static constexpr int DefaultRoomsPerAddress = 4;
    // Twice the load the lobby is built for (200 rooms); a page longer than
    // that is no list a player can choose from.
    static constexpr int DefaultMaxRooms = 400;
    // The "SRV" payload. 200 rooms whose every field is filled with double-byte
    // text (about 1.2 KB encoded each) still fit; one address's four rooms at
    // the record ceiling (6 KiB encoded each) are under a tenth of it; and a
    // player who reads always has room for it under the output cap.
    static constexpr int DefaultMaxListBytes = 256 * 1024;
    // At most one room list and one name list a second go out to the players.
    static constexpr int DefaultUpdateIntervalMs = 1000;
    // Chat relayed per player: a person types no faster.
    static constexpr int DefaultChatLines = 5;
    static constexpr int DefaultChatWindowMs = 5000;

    int connectionsPerAddress = DefaultConnectionsPerAddress;
    int roomsPerAddress = DefaultRoomsPerAddress;
    int maxRooms = DefaultMaxRooms;
    int maxListBytes = DefaultMaxListBytes;
    int updateIntervalMs = DefaultUpdateIntervalMs;
    int chatLines = DefaultChatLines;
    int chatWindowMs = DefaultChatWindowMs;
};

} // namespace zb
