#pragma once

#include <QString>

namespace zb::LobbyText {

// Notices ("SYM") the lobby sends. Game servers show them on the host's console,
// lobby windows in their log.
inline QString tooManyRooms(int limit)
{
    return QStringLiteral("ロビー: 同じアドレスから登録できる部屋は%1つまでです").arg(limit);
}
inline QString listFull()
{
    return QStringLiteral("ロビー: 部屋一覧がいっぱいのため、空きが出るまでこの部屋は一覧に載りません");
}
inline QString statusRefused()
{
    return QStringLiteral("ロビー: 部屋の状態に正しいポート番号がないため一覧に載せられません");
}
inline QString chatTooFast()
{
    return QStringLiteral("発言が速すぎます。少し待ってから発言してください（届かなかった発言があります）");
}
inline QString renamed(const QString &name)
{
    return QStringLiteral("ロビーでは「%1」という名前で表示されます").arg(name);
}
inline QString unnamed()
{
    return QStringLiteral("名無し");
}

} // namespace zb::LobbyText
