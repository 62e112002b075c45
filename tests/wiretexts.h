#pragma once

// Texts whose exact spelling on the wire is what a test checks: a peer that
// shows or matches them must keep seeing these bytes whatever the programs'
// own headers say. Spelled out here once, not taken from the programs.

#include <QString>

namespace wire {

// ---- Game server (zbserver, zbserverd)

// Sent as the only line to a connection that finds every seat taken.
inline const QString RoomFull = QStringLiteral("サーバーが満員です！しばらくしてから再接続してください");
// The last line a player reads before the server closes the connection.
inline const QString KickedByHost = QStringLiteral("ホストにキックされました");
inline const QString BannedByHost = QStringLiteral("ホストにBANされました");
inline const QString SentTooMuch = QStringLiteral("送信が多すぎるため切断されました");
// Told to everybody when a newcomer fails the password or version check.
inline const QString PasswordMismatch = QStringLiteral("パスワード不一致の接続がありました");
inline const QString VersionMismatch = QStringLiteral("バージョン違いの接続がありました");

// ---- Lobby server (zblobby)

} // namespace wire
