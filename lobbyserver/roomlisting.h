#pragma once

#include <QString>

namespace zb {

// The record players are shown for one game server's status: "ipaddress="
// first, the password only as a mark, unknown fields left out, and every field
// cut to what a game server writes.
class RoomListing {
  public:
    static constexpr int MaxPort = 8;
    static constexpr int MaxPassword = 8;
    static constexpr int MaxRoomName = 12;
    static constexpr int MaxComment = 50;
    static constexpr int MaxPlayers = 8;
    static constexpr int MaxPlayerName = 12;
    // gametype, version, the two counts and the server token are a few characters.
    static constexpr int MaxShortField = 8;
    // The whole record, decoded; the dictionary list gives way first.
    static constexpr int MaxRecordBytes = 2048;

    // The encoded record, or empty when the status cannot be listed (no usable port).
    static QString record(const QString &status, const QString &address);
};

} // namespace zb
