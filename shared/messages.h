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

// Ends a text from the network that a log line shows only in part.
inline QString clippedMark(qsizetype total, int shown)
{
    return QStringLiteral("…(") + QString::number(total) + QStringLiteral("文字のうち") +
           QString::number(shown) + QStringLiteral("文字まで表示)");
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

// The last line a player reads before the room closes the connection, and
// what the player's program shows as the reason.
inline const QString RoomFullNotice =
    QStringLiteral("サーバーが満員です！しばらくしてから再接続してください");
inline const QString FloodedReason = QStringLiteral("送信が多すぎるため切断されました");
inline const QString BannedReason = QStringLiteral("ホストにBANされました");
inline const QString KickedReason = QStringLiteral("ホストにキックされました");
inline const QString SameAddressReason = QStringLiteral("同じIPアドレスからすでに参加しています");
inline const QString IdleReason = QStringLiteral("11分間何も届かなかったため切断されました");
// Told to the seated players when a newcomer fails the password check.
inline const QString PasswordMismatchNotice = QStringLiteral("パスワード不一致の接続がありました");

// ---- Sent by the lobby to a registered room, recognised by the room

// The lobby's try to connect back to the room's port.
inline const QString ReachableNotice = QStringLiteral("外部から接続できます");
inline const QString UnreachableNoticePrefix = QStringLiteral("外部から接続できません: ルーターでポート ");
inline const QString UnreachableNoticeSuffix = QStringLiteral(" を開いてください");
inline QString unreachableNotice(quint16 port)
{
    return UnreachableNoticePrefix + QString::number(port) + UnreachableNoticeSuffix;
}
// The field the lobby adds to a room's record in its room list: "1" when the
// lobby could connect back to the room, "0" when it could not; missing while
// unchecked.
inline const QString ReachableField = QStringLiteral("reachable=");

} // namespace zb::msg
