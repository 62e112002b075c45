#include "client/core/gameresult.h"

#include "client/core/messages.h"
#include "client/core/playerlist.h"

#include <QRegularExpression>

namespace zb {

QList<Standing> rankPlayers(const PlayerList &players)
{
    QList<Standing> entries;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (!players.name(slot).isEmpty()) entries.append({slot, players.name(slot), players.score(slot), 0});
    }
    return rankStandings(entries);
}

std::optional<QString> winnerFromNotice(const QString &line)
{
    const QString &prefix = msg::WinnerNoticePrefix;
    const QString &suffix = msg::WinnerNoticeSuffix;
    // A game in which nobody scored ends without a name.
    if (line == msg::NoWinnerNotice) return QString();
    if (line.size() < prefix.size() + suffix.size() || !line.startsWith(prefix) || !line.endsWith(suffix))
        return std::nullopt;
    return line.mid(prefix.size(), line.size() - prefix.size() - suffix.size());
}

int turnFromNotice(const QString &line)
{
    static const QRegularExpression notice(msg::NextTurnNoticePattern);
    const QRegularExpressionMatch m = notice.match(line);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace zb
