#pragma once

// Every text the lobby server sends or logs, in one place. The notices ("SYM") are shown by game
// servers on the host's console and by lobby windows in their log.

#include <QString>

namespace zb::msg {

// Notices to peers.
inline QString tooManyRooms(int limit)
{
    return QStringLiteral("ロビー: 同じアドレスから登録できる部屋は%1つまでです").arg(limit);
}
inline const QString ListFull =
    QStringLiteral("ロビー: 部屋一覧がいっぱいのため、空きが出るまでこの部屋は一覧に載りません");
inline const QString StatusRefused =
    QStringLiteral("ロビー: 部屋の状態に正しいポート番号がないため一覧に載せられません");
inline const QString ChatTooFast =
    QStringLiteral("発言が速すぎます。少し待ってから発言してください（届かなかった発言があります）");
inline QString renamed(const QString &name)
{
    return QStringLiteral("ロビーでは「%1」という名前で表示されます").arg(name);
}
inline const QString Unnamed = QStringLiteral("名無し");
inline QString tooManyNetworkRooms(int limit)
{
    return QStringLiteral("ロビー: 同じネットワークから登録できる部屋は%1つまでです").arg(limit);
}
inline const QString FloodNotice = QStringLiteral("ロビー: 送信が多すぎるため切断します");
inline QString idleNotice(int minutes)
{
    return QStringLiteral(
               "ロビー: %1分間何も届かなかったため切断します。「サーバーリスト更新」で入り直せます")
        .arg(minutes);
}

// The page around the room list in the players' lobby windows.
inline const QString PageHeader = QStringLiteral(
    "<HEAD><TITLE>ゼンブリル ロビー</TITLE></HEAD>\r\n<BODY bgcolor=#ffffff>\r\n"
    "<CENTER><H2>ゼンブリル ロビー</H2>"
    "<P>ようこそ！ "
    "遊びたい部屋の名前をクリックしてください。パスが「有り」の部屋は部屋主にパスワードを聞いてね。</P>"
    "</CENTER>");
inline const QString PageFooter =
    QStringLiteral("<CENTER><P><SMALL>一覧は「サーバーリスト更新」で新しくなります。"
                   "みんなで楽しく遊びましょう！</SMALL></P></CENTER>\r\n</BODY>");

// The operator's log.
inline QString openFileLimit(const QString &time, long files)
{
    return time + QStringLiteral(" 同時に開けるファイル数 ") + QString::number(files);
}
inline QString started(int port)
{
    return QStringLiteral("ロビーサーバーを開始しました (ポート %1)").arg(port);
}
inline QString acceptPaused(const QString &reason)
{
    return QStringLiteral("接続を受け付けられないため一時停止します (%1)").arg(reason);
}
inline const QString AcceptResumed = QStringLiteral("接続の受け付けを再開しました");
inline QString tooManyConnections(const QString &address)
{
    return QStringLiteral("同じアドレスからの接続が多すぎるため切断 %1").arg(address);
}
inline QString connected(const QString &peer)
{
    return QStringLiteral("接続 %1").arg(peer);
}
inline const QString Disconnected = QStringLiteral("切断");
inline const QString LineTooLong = QStringLiteral("長すぎる行を受信したため切断");
inline const QString Unidentified = QStringLiteral("名乗らないため切断");
inline const QString Stalled = QStringLiteral("送信が滞ったため切断");
inline const QString TooManyRoomsLog = QStringLiteral("同じアドレスからの部屋が多すぎるため切断");
inline QString unknownPeer(const QString &command)
{
    return QStringLiteral("不明な相手のため切断 (%1)").arg(command);
}
inline QString unknownServerCommand(const QString &peer, const QString &command)
{
    return QStringLiteral("ゲームサーバー %1 から不明なコマンド %2 を無視").arg(peer, command);
}
inline QString unknownPlayerCommand(const QString &peer, const QString &command)
{
    return QStringLiteral("プレイヤー %1 から不明なコマンド %2 を無視").arg(peer, command);
}
inline QString gameServer(const QString &peer)
{
    return QStringLiteral("ゲームサーバー %1").arg(peer);
}
inline QString playerEntered(const QString &peer, const QString &version)
{
    return QStringLiteral("プレイヤー入室 %1 (Ver.%2)").arg(peer, version);
}
inline QString chatNotRelayed(const QString &peer)
{
    return QStringLiteral("発言が速すぎるため中継しません %1").arg(peer);
}
inline QString chat(const QString &line)
{
    return QStringLiteral("チャット ") + line;
}
inline QString statusIgnored(const QString &peer)
{
    return QStringLiteral("ゲームサーバー %1 の状態にポートがないため無視").arg(peer);
}
inline QString roomChanged(bool fresh, const QString &peer, const QString &room, const QString &count,
                           const QString &max)
{
    return QStringLiteral("%1 %2 部屋名=%3 人数=%4/%5")
        .arg(fresh ? QStringLiteral("部屋登録") : QStringLiteral("部屋更新"), peer, room, count, max);
}
inline QString listFullLog(const QString &peer)
{
    return QStringLiteral("部屋一覧がいっぱいのため載せません %1").arg(peer);
}
inline QString refusalsUnlogged(const QString &text, int count)
{
    return text + QStringLiteral(" (ほか %1 件)").arg(count);
}
inline QString tooManyNetworkConnections(const QString &address)
{
    return QStringLiteral("同じネットワークからの接続が多すぎるため切断 %1").arg(address);
}
inline QString lobbyFull(const QString &address)
{
    return QStringLiteral("接続数が上限に達しているため切断 %1").arg(address);
}
inline const QString TooManyNetworkRoomsLog = QStringLiteral("同じネットワークからの部屋が多すぎるため切断");
inline const QString Flooded = QStringLiteral("送信が多すぎるため切断");
inline QString idleLog(int minutes)
{
    return QStringLiteral("%1分間何も届かないため切断").arg(minutes);
}
inline QString reachChecked(const QString &peer, int port, bool reachable)
{
    return QStringLiteral("部屋 %1 のポート %2 に外から%3")
        .arg(peer)
        .arg(port)
        .arg(reachable ? QStringLiteral("接続できました") : QStringLiteral("接続できません"));
}
inline QString omittedLines(const QString &source, int lines)
{
    return source + QStringLiteral(" からの ") + QString::number(lines) +
           QStringLiteral(" 件の行を省略しました");
}
// Ends a text from the network that a log line shows only in part.
inline QString logCutMark(qsizetype total, int shown)
{
    return QStringLiteral("…(%1文字のうち%2文字まで表示)").arg(total).arg(shown);
}

} // namespace zb::msg
