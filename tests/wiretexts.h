#pragma once

// Texts whose exact spelling on the wire is what a test checks: a peer that
// shows or matches them must keep seeing these bytes whatever the programs'
// own headers say. Spelled out here once, not taken from the programs, so
// that a changed constant fails.

#include <QString>

namespace wire {

// ---- Game server (zbserver, zbserverd)

// Sent as the only line to a connection that finds every seat taken.
inline const QString RoomFull = QStringLiteral("サーバーが満員です！しばらくしてから再接続してください");
// The last line a player reads before the server closes the connection.
inline const QString KickedByHost = QStringLiteral("ホストにキックされました");
inline const QString BannedByHost = QStringLiteral("ホストにBANされました");
inline const QString SentTooMuch = QStringLiteral("送信が多すぎるため切断されました");
inline const QString SameAddress = QStringLiteral("同じIPアドレスからすでに参加しています");
inline const QString Silent = QStringLiteral("11分間何も届かなかったため切断されました");
// Told to everybody when a newcomer fails the password or version check.
inline const QString PasswordMismatch = QStringLiteral("パスワード不一致の接続がありました");
inline const QString VersionMismatch = QStringLiteral("バージョン違いの接続がありました");

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

// ---- Sent by the lobby, recognised by the room

// Whether the lobby could connect back to the room's port.
inline const QString ReachableNotice = QStringLiteral("外部から接続できます");
inline QString unreachableNotice(int port)
{
    return QStringLiteral("外部から接続できません: ルーターでポート %1 を開いてください").arg(port);
}

} // namespace wire
