#pragma once

#include <QString>

namespace zb {

// What players are shown of one game server's status: "ipaddress=" first, then
// the lobby's "reachable=" once the room has been checked, the password only
// as a mark, unknown fields left out, and every field cut to what a game server
// writes.
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
    // The whole record, encoded. The largest a game server writes (room name,
    // comment and eight names all in double-byte characters, an IPv6 address,
    // the built-in dictionary) is about 1.3 KB, which leaves room for a dozen
    // or more added dictionaries; the dictionary list gives way first. The
    // lobby's list holds its room limit of records this size.
    static constexpr int MaxRecordBytes = 2048;

    enum class Reach { Unchecked, Reachable, Unreachable };

    // Invalid: a status that cannot be listed.
    RoomListing() = default;
    // Invalid when the status has no usable port.
    static RoomListing fromStatus(const QString &status);

    bool isValid() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString roomName() const { return m_values[RoomName]; }
    QString playerCount() const { return m_values[PlayerCount]; }
    QString playerMax() const { return m_values[PlayerMax]; }

    // The encoded record for the room reached at address ("1.2.3.4" or "[2001:db8::1]").
    QString record(const QString &address, Reach reach) const;
    // The encoded record of an unchecked room, or empty when the status cannot be listed.
    static QString record(const QString &status, const QString &address);

    bool operator==(const RoomListing &o) const;
    bool operator!=(const RoomListing &o) const { return !(*this == o); }

  private:
    enum Field {
        Port,
        Password,
        RoomName,
        Comment,
        GameType,
        Dictionaries,
        Version,
        Players,
        PlayerCount,
        PlayerMax,
        PlayerToken,
        FieldCount
    };
    QString build(const QString &address, Reach reach) const;

    quint16 m_port = 0;
    QString m_values[FieldCount];
};

} // namespace zb
