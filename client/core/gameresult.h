#pragma once

#include "shared/standings.h"

#include <QString>
#include <optional>

namespace zb {

class PlayerList;

// How the last game ended, as this client saw it.
struct GameResult {
    bool finished = false; // ended with a winner; false when it broke off
    QString winner;
    QList<Standing> ranking;
};

// The named seats ranked by the scores last received.
QList<Standing> rankPlayers(const PlayerList &players);

// The winner's name from the server's game-end notice (empty when nobody
// won); nothing when the line is not that notice.
std::optional<QString> winnerFromNotice(const QString &line);

// The number of the turn a lead-in notice announces; 0 when the line is not
// such a notice.
int turnFromNotice(const QString &line);

} // namespace zb
