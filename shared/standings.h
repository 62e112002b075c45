#pragma once

#include <QList>
#include <QString>

namespace zb {

// One seat in the final ranking of a game.
struct Standing {
    int slot = -1;
    QString name;
    int score = 0;
    int rank = 0; // 1 for the best; equal scores share a rank

    bool operator==(const Standing &o) const
    {
        return slot == o.slot && name == o.name && score == o.score && rank == o.rank;
    }
};

// The entries best first, ranks filled in. Among equal scores the higher slot
// comes first, the same order in which the winner is chosen.
QList<Standing> rankStandings(QList<Standing> entries);

// "1位 name 120点" for each entry, in order.
QStringList standingLines(const QList<Standing> &ranking);

} // namespace zb
