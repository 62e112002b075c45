#include "client/lobby/serverinfo.h"

#include "shared/messages.h"
#include "shared/statusrecord.h"
#include "shared/textclean.h"
#include "shared/version.h"

namespace zb {

ServerInfo ServerInfo::fromRecord(const QString &record)
{
    const auto f = [&record](const char *key) { return StatusRecord::field(record, QLatin1String(key)); };
    ServerInfo s;
    s.address = f("ipaddress=") + QLatin1Char(':') + f("port=");
    s.roomname = f("roomname=");
    s.gametype = f("gametype=");
    s.comment = f("comment=");
    s.zbq = f("zbq=");
    s.version = f("version=");
    s.password = f("password=");
    s.players = f("players=");
    s.playercount = f("playercount=");
    s.playermax = f("playermax=");
    if (s.playermax.isEmpty()) s.playermax = QStringLiteral("6");
    s.reachable = StatusRecord::field(record, msg::ReachableField);
    return s;
}

bool ServerInfo::operator==(const ServerInfo &o) const
{
    return address == o.address && roomname == o.roomname && gametype == o.gametype && comment == o.comment &&
           zbq == o.zbq && version == o.version && password == o.password && players == o.players &&
           playercount == o.playercount && playermax == o.playermax && reachable == o.reachable;
}

bool parseRoomList(const QString &payload, QList<ServerInfo> &rooms)
{
    const QStringList pieces = payload.split(QLatin1Char(':'));
    if (pieces.size() < 2) return false;
    rooms.clear();
    rooms.reserve(pieces.size() - 1);
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
        rooms.append(ServerInfo::fromRecord(StatusRecord::decode(pieces.at(i))));
    return true;
}

QString announcementRecord(const QString &playerName)
{
    // The name is a record value: the separators of both protocols would cut it.
    return StatusRecord()
        .add(QStringLiteral("version="), QLatin1String(ProtocolVersion))
        .add(QStringLiteral("playername="), cleanPlayerName(playerName))
        .encoded();
}

} // namespace zb
