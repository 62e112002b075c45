#pragma once

#include <QString>

// Texts whose exact wording is the point of a test: what a conforming peer
// sends and the programs must recognise. Spelled out here, once, rather than
// taken from the programs' own constants, so that a changed constant fails.
namespace wire {

// ---- Sent by a game server, recognised by the player's program

// The game-over notice naming the winner: prefix + name + suffix.
inline const QString WinnerNoticePrefix = QStringLiteral("優勝者は ");
inline const QString WinnerNoticeSuffix = QStringLiteral(" でした！おめでとう！");
inline QString winnerNotice(const QString &name)
{
    return WinnerNoticePrefix + name + WinnerNoticeSuffix;
}
inline const QString NoWinnerNotice = QStringLiteral("今回は優勝者がいませんでした");
// %1: seconds (5 or 10), %2: turn, %3: round, %4: rounds.
inline const QString NextTurnNotice = QStringLiteral("%1秒後に%2回目のゲームが始まります ラウンド[%3/%4]");
// The name a room reports for its built-in dictionary.
inline const QString BuiltInDictionary = QStringLiteral("内蔵辞書");

} // namespace wire
