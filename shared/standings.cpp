#include "shared/standings.h"

#include "shared/messages.h"

#include <QStringList>
#include <algorithm>

namespace zb {

QList<Standing> rankStandings(QList<Standing> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Standing &a, const Standing &b) {
        return a.score != b.score ? a.score > b.score : a.slot > b.slot;
    });
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const bool tie = i > 0 && entries[i].score == entries[i - 1].score;
        entries[i].rank = tie ? entries[i - 1].rank : int(i) + 1;
    }
    return entries;
}

QStringList standingLines(const QList<Standing> &ranking)
{
    QStringList lines;
    for (const Standing &s : ranking)
        // One pass: a name holding "%3" must stay as it is.
        lines << msg::StandingLine.arg(QString::number(s.rank), s.name, QString::number(s.score));
    return lines;
}

} // namespace zb
