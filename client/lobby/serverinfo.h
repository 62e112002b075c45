#pragma once

#include <QList>
#include <QString>

namespace zb {

// One open room as the lobby lists it; every field is text as it came.
struct ServerInfo {
    QString address; // join address: ipaddress ":" port
    QString roomname;
    QString gametype;
    QString comment;
    QString zbq;
    QString version;
    QString password;
    QString players;
    QString playercount;
    QString playermax;
    QString reachable; // "0": the lobby could not connect back to the room; empty: unchecked

    // Reads a decoded status record; an empty player limit means six.
    static ServerInfo fromRecord(const QString &record);

    bool operator==(const ServerInfo &o) const;
};

// The rooms of an "SRV" payload: one URL-encoded record before every ":"; what
// follows the last ":" is not a room. False when the payload holds no ":" at
// all, which no lobby sends for a list of rooms.
bool parseRoomList(const QString &payload, QList<ServerInfo> &rooms);

// The player's announcement record, URL-encoded for "STS".
QString announcementRecord(const QString &playerName);

} // namespace zb
