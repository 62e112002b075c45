#include "lobbyserver/roomlisting.h"

#include "shared/messages.h"
#include "shared/statusrecord.h"
#include "shared/textclean.h"
#include "shared/textutil.h"

#include <QStringList>

namespace zb {

namespace {

// The longest address a record carries: an IPv6 address in brackets.
const QString LongestAddress = QStringLiteral("[ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff]");

// A value may carry no control character and no "=": the player's client takes
// the first "key=" anywhere in the record, so "=" inside a value could pose as a field.
QString value(const QString &status, const char *key, int max = -1)
{
    QString v = removeControlChars(StatusRecord::field(status, QLatin1String(key)));
    v.remove(QLatin1Char('='));
    return max < 0 ? v : v.left(max);
}

// Entries each followed by ":"; a missing last ":" still ends an entry.
QStringList entries(const QString &list)
{
    QStringList pieces = list.split(QLatin1Char(':'));
    if (pieces.last().isEmpty()) pieces.removeLast();
    return pieces;
}

QString joinEntries(const QStringList &pieces)
{
    QString out;
    for (const QString &p : pieces)
        out += p + QLatin1Char(':');
    return out;
}

} // namespace

RoomListing RoomListing::fromStatus(const QString &status)
{
    RoomListing l;
    const QString port = value(status, "port=", MaxPort + 1);
    bool ok = false;
    const int portNumber = port.toInt(&ok);
    if (port.size() > MaxPort || !ok || portNumber <= 0 || portNumber > 65535) return l;

    QStringList players = entries(value(status, "players="));
    players = players.mid(0, MaxPlayers);
    for (QString &name : players)
        name = name.left(MaxPlayerName);

    // Players only ask whether there is a password; the password stays with the room.
    const bool locked = !value(status, "password=", MaxPassword).isEmpty();
    l.m_values[Port] = port;
    l.m_values[Password] = locked ? QStringLiteral("1") : QString();
    l.m_values[RoomName] = value(status, "roomname=", MaxRoomName);
    l.m_values[Comment] = value(status, "comment=", MaxComment);
    l.m_values[GameType] = value(status, "gametype=", MaxShortField);
    l.m_values[Version] = value(status, "version=", MaxShortField);
    l.m_values[Players] = joinEntries(players);
    l.m_values[PlayerCount] = value(status, "playercount=", MaxShortField);
    l.m_values[PlayerMax] = value(status, "playermax=", MaxShortField);
    l.m_values[PlayerToken] = value(status, "playername=", MaxShortField);

    // Whole dictionary entries, as many as the record has room for at any
    // address and checked or not.
    qsizetype room = MaxRecordBytes - l.build(LongestAddress, Reach::Reachable).size();
    if (room < 0) return {};
    QString zbq;
    for (const QString &entry : entries(value(status, "zbq="))) {
        const QString piece = entry + QLatin1Char(':');
        room -= urlEncode(piece).size();
        if (room < 0) break;
        zbq += piece;
    }
    l.m_values[Dictionaries] = zbq;
    l.m_port = quint16(portNumber);
    return l;
}

QString RoomListing::build(const QString &address, Reach reach) const
{
    static const char *const keys[FieldCount] = {
        "port=",    "password=", "roomname=",    "comment=",   "gametype=",  "zbq=",
        "version=", "players=",  "playercount=", "playermax=", "playername="};
    StatusRecord r;
    r.add(QStringLiteral("ipaddress="), address);
    if (reach != Reach::Unchecked)
        r.add(msg::ReachableField, reach == Reach::Reachable ? QStringLiteral("1") : QStringLiteral("0"));
    for (int i = 0; i < FieldCount; ++i)
        r.add(QLatin1String(keys[i]), m_values[i]);
    return r.encoded();
}

QString RoomListing::record(const QString &address, Reach reach) const
{
    return isValid() ? build(address, reach) : QString();
}

QString RoomListing::record(const QString &status, const QString &address)
{
    return fromStatus(status).record(address, Reach::Unchecked);
}

bool RoomListing::operator==(const RoomListing &o) const
{
    if (m_port != o.m_port) return false;
    for (int i = 0; i < FieldCount; ++i) {
        if (m_values[i] != o.m_values[i]) return false;
    }
    return true;
}

} // namespace zb
