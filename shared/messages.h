#pragma once

#include <QString>

// Texts more than one program shows. Each program's own texts live in its
// messages.h, which includes this one; include them by path ("shared/messages.h")
// because every program's header has the same file name.
namespace zb::msg {

// The game's name. It also names the per-user settings folder and file, so
// changing it would lose every player's stored preferences.
inline const QString ProgramName = QStringLiteral("ゼンブリル");

// "エラー:10061": the number comes from socketErrorNumber().
inline QString socketErrorLine(int number)
{
    return QStringLiteral("エラー:") + QString::number(number);
}

// One line of the final ranking: rank, name, score.
inline const QString StandingLine = QStringLiteral("%1位 %2 %3点");

// ---- Sent by the game server and recognised by the player's program

// The game-over notice naming the winner: prefix + name + suffix.
inline const QString WinnerNoticePrefix = QStringLiteral("優勝者は ");
inline const QString WinnerNoticeSuffix = QStringLiteral(" でした！おめでとう！");
inline const QString NoWinnerNotice = QStringLiteral("今回は優勝者がいませんでした");
// The name a room gives its built-in dictionary in the room list.
inline const QString BuiltInDictionary = QStringLiteral("内蔵辞書");

} // namespace zb::msg
