#include "roomlisting.h"

#include "cp932.h"
#include "statusrecord.h"
#include "textclean.h"
#include "textutil.h"

#include <QStringList>

namespace zb {

namespace {

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

QString buildRecord(const QString &address, const QString (&values)[11])
{
    static const char *const keys[] = {
        "port=",    "password=", "roomname=",    "comment=",   "gametype=",  "zbq=",
        "version=", "players=",  "playercount=", "playermax=", "playername="};
    StatusRecord r;
    r.add(QStringLiteral("ipaddress="), address);
    for (int i = 0; i < 11; ++i)
        r.add(QLatin1String(keys[i]), values[i]);
    return r.text();
}

} // namespace

QString RoomListing::record(const QString &status, const QString &address)
{
    const QString port = value(status, "port=", MaxPort + 1);
    bool ok = false;
    const int portNumber = port.toInt(&ok);
    if (port.size() > MaxPort || !ok || portNumber <= 0 || portNumber > 65535) return {};

    QStringList players = entries(value(status, "players="));
    players = players.mid(0, MaxPlayers);
    for (QString &name : players)
        name = name.left(MaxPlayerName);

    // Players only ask whether there is a password; the password stays with the room.
    const bool locked = !value(status, "password=", MaxPassword).isEmpty();
    QString values[11] = {port,
                          locked ? QStringLiteral("1") : QString(),
                          value(status, "roomname=", MaxRoomName),
                          value(status, "comment=", MaxComment),
                          value(status, "gametype=", MaxShortField),
                          QString(),
                          value(status, "version=", MaxShortField),
                          joinEntries(players),
                          value(status, "playercount=", MaxShortField),
                          value(status, "playermax=", MaxShortField),
                          value(status, "playername=", MaxShortField)};

    // Whole dictionary entries, as many as the record still has room for.
    qsizetype room = MaxRecordBytes - toCp932(buildRecord(address, values)).size();
    if (room < 0) return {};
    QString zbq;
    for (const QString &entry : entries(value(status, "zbq="))) {
        const QString piece = entry + QLatin1Char(':');
        room -= toCp932(piece).size();
        if (room < 0) break;
        zbq += piece;
    }
    values[5] = zbq;
    return urlEncode(buildRecord(address, values));
}

} // namespace zb
