#pragma once

// Every text the game server shows its host or sends its players, in one place so that
// wording stays consistent and a repeated text has one spelling. Texts that carry a value
// are functions; they join the pieces rather than using arg() so that a player's name
// containing "%1" goes out as typed.

#include "shared/messages.h"

#include <QString>
#include <QStringList>

namespace zb::msg {

// Command line help.
inline const QString WindowProgramDescription = QStringLiteral("ゼンブリル game server.");
inline const QString DedicatedProgramDescription =
    QStringLiteral("ゼンブリル dedicated game server: log on standard output, operator commands "
                   "(players, kick N, ban N, say TEXT, help) on standard input.");

// Names shared by the settings, the running panel and what the server reports.
inline const QString ObscureTournamentName = QStringLiteral("おぼろげ大会");
inline const QString DefaultRoomName = QStringLiteral("名無しサーバー");
inline const QString DefaultComment = QStringLiteral("無し");
inline const QString PortCaption = QStringLiteral("使用ポート");
inline const QString RoomNameCaption = QStringLiteral("サーバー名");
inline const QString CommentCaption = QStringLiteral("コメント");
inline const QString PasswordCaption = QStringLiteral("パスワード");
inline const QString GameSettingsCaption = QStringLiteral("ゲーム設定");
inline const QString StartServerCaption = QStringLiteral("サーバー開始");

// Dictionaries.
inline const QString NothingLoaded = QStringLiteral("なにも辞書が読み込まれていません！");
inline const QString InvalidQuestion = QStringLiteral("このもんだいはふせいです");
inline const QString InvalidFile = QStringLiteral("不正なファイルです");
inline const QString EmptyLineFound = QStringLiteral("空行があるかもしれません");
inline const QString EmptyLineHint =
    QStringLiteral("（何も単語の書いていない行の事。最終行など見落としがちです）");
inline const QString NoFinalBreak = QStringLiteral("最後の単語の後に改行が入っていないかもしれません");
inline const QString NoFinalBreakHint = QStringLiteral("（単語の後には必ず改行が必要です）");
inline const QString CommentOnlyLine = QStringLiteral("コメントのみの行が存在します");
inline const QString CommentOnlyHint = QStringLiteral("（コメントは単語の後ろにしか使えません）");
inline const QString TwiceSuffix = QStringLiteral("（高確率）");
inline const QString BuiltInLoaded = QStringLiteral("内蔵辞書を読み込みました");
inline const QString BuiltInLoadedTwice = QStringLiteral("内蔵辞書を読み込みました（高確率）");
inline const QString QuestionsExhausted =
    QStringLiteral("お題が出尽くしたのでリロードします（乱数制御設定）");
inline const QString DictionaryListHeading = QStringLiteral("現在の使用辞書一覧");
inline const QString GameSettingsHeading = QStringLiteral("現在のゲーム設定");
inline QString dictionaryTitle(const QString &entry)
{
    return QStringLiteral("追加辞書 「") + entry + QStringLiteral("」");
}
inline QString dictionaryMissing(const QString &entry)
{
    return dictionaryTitle(entry) + QStringLiteral("が見つかりません");
}
inline QString dictionaryLoaded(const QString &entry)
{
    return QStringLiteral("追加辞書 「") + entry + QStringLiteral("」を読み込みました");
}
inline QString dictionaryLoadedTwice(const QString &entry)
{
    return dictionaryLoaded(entry) + TwiceSuffix;
}
inline const QString LfOnlyLineEnds =
    QStringLiteral("改行がLFだけです（Shift_JISのファイルとして読みました）");
inline const QString LfOnlyLineEndsHint =
    QStringLiteral("（Shift_JISの辞書は改行をCR LFにしてください。UTF-8の辞書ならLFのままで読めます）");

// Starting.
inline const QString WaitingForPlayers = QStringLiteral("ゼンブリルからの接続を待機します");
inline QString badPort(const QString &portText)
{
    return QStringLiteral("ポート番号が正しくありません: ") + portText;
}
inline QString cannotListen(int port, const QString &error)
{
    return QStringLiteral("ポート ") + QString::number(port) + QStringLiteral(" で待ち受けできません: ") +
           error;
}
inline const QString PortRefusedAdvice =
    QStringLiteral("\nサーバーは開始していません。「サーバー設定」の使用ポートを確かめてください。");
inline QString settingsLine(int playerMax, int roundMax, bool questionControl)
{
    return QStringLiteral("プレイヤー上限:") + QString::number(playerMax) + QStringLiteral("人 ラウンド数:") +
           QString::number(roundMax) + QStringLiteral("回　乱数制御:") +
           (questionControl ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

// Connections: the host's log.
inline const QString TooManyConnections = QStringLiteral("接続が多すぎるので切断します");
inline const QString BannedKick = QStringLiteral("BAN対象なのでキックします");
inline const QString SameAddressKick = QStringLiteral("同一IPの接続があるのでキックします");
inline const QString VersionKick = QStringLiteral("バージョン違いなのでキックします");
inline const QString VersionMismatch = QStringLiteral("バージョンが違うので対戦できません！");
inline const QString JoiningLabel = QStringLiteral("接続有 Name,Ver待ち");
inline const QString BanFileUnwritable = QStringLiteral("ban.txt に書き込めませんでした");
inline const QString BadCommandIgnored = QStringLiteral("system> 不正なコマンドを受信しました、放置します");
inline QString clientConnected(int slot)
{
    return QString::number(slot) + QStringLiteral("クライアントが接続、Name,Version受信待ち...");
}
inline QString clientDisconnected(int slot)
{
    return QStringLiteral("クライアント") + QString::number(slot) + QStringLiteral("が切断");
}
inline QString clientError(int slot, int number, const QString &description)
{
    return QStringLiteral("エラー（クライアント）Index") + QString::number(slot) +
           QStringLiteral("　Number") + QString::number(number) + QStringLiteral("　Description") +
           description;
}
inline QString clientLineTooLong(int slot)
{
    return QStringLiteral("クライアント") + QString::number(slot) +
           QStringLiteral("の送信した行が長すぎるので切断します");
}
inline QString clientNotReading(int slot)
{
    return QStringLiteral("クライアント") + QString::number(slot) +
           QStringLiteral("が受信しないので切断します");
}
inline QString clientFlooding(int slot)
{
    return QStringLiteral("クライアント") + QString::number(slot) +
           QStringLiteral("の送信が多すぎるので切断します");
}
inline QString strangerKicked(int slot)
{
    return QStringLiteral("ゼンブリル以外の不正なクライアントが接続してきたのでキックしました [") +
           QString::number(slot) + QLatin1Char(']');
}
inline QString clientName(int slot, const QString &name)
{
    return QString::number(slot) + QStringLiteral("クライアントの名前は") + name + QStringLiteral("です");
}
inline QString clientVersion(int slot, const QString &version)
{
    return QString::number(slot) + QStringLiteral("クライアントのVersion: ") + version;
}
inline const QString PasswordKick = QStringLiteral("パスワード不一致なので切断します");
inline QString clientIdle(int slot, int minutes)
{
    return QStringLiteral("クライアント") + QString::number(slot) + QStringLiteral("から") +
           QString::number(minutes) + QStringLiteral("分間何も届かないので切断します");
}
inline QString joinerGaveWay(int slot)
{
    return QStringLiteral("接続中のクライアント") + QString::number(slot) +
           QStringLiteral("を新しい接続のために切断しました");
}
inline QString ignoredFromClient(int slot, const QString &what)
{
    return QStringLiteral("クライアント") + QString::number(slot) + QStringLiteral("の") + what +
           QStringLiteral("を破棄しました（以降は数えるだけにします）");
}
inline QString ignoredTotal(int slot, int lines)
{
    return QStringLiteral("クライアント") + QString::number(slot) + QStringLiteral("から破棄した行: ") +
           QString::number(lines) + QStringLiteral("件");
}
inline const QString IgnoredSystemLine = QStringLiteral("SYM行");
inline const QString IgnoredStroke = QStringLiteral("描けないストローク");
inline const QString IgnoredFill = QStringLiteral("不正な塗りつぶし");
inline QString linesOmitted(const QString &source, int lines)
{
    return source + QStringLiteral(" からの ") + QString::number(lines) +
           QStringLiteral(" 件の行を省略しました");
}
inline const QString LobbySource = QStringLiteral("ロビーサーバー");
inline QString versionMatched(int slot)
{
    return QString::number(slot) + QStringLiteral("のバージョンが一致");
}
inline QString passwordMatched(int slot)
{
    return QString::number(slot) + QStringLiteral("のパスワードが一致");
}
inline QString passwordWrong(int slot)
{
    return QString::number(slot) + QStringLiteral("のパスワードが違います！");
}

// Connections: what players see.
inline const QString VersionMismatchNotice = QStringLiteral("バージョン違いの接続がありました");
inline QString versionAdvice(const QString &serverVersion)
{
    return QStringLiteral("バージョンをあわせてください、サーバーのバージョンは") + serverVersion +
           QStringLiteral("です");
}
inline QString playerJoined(const QString &name)
{
    return name + QStringLiteral(" が参加しました");
}
inline QString playerLeft(const QString &name)
{
    return name + QStringLiteral(" が退室しました");
}

// The room-full notice and its socket.
inline const QString RoomFullConnected = QStringLiteral("満員中に接続してきました");
inline const QString RoomFullSent = QStringLiteral("満員のお知らせを送信");
inline const QString RoomFullError = QStringLiteral("エラー（満員）");
inline const QString RoomFullDone = QStringLiteral("満員のお知らせを送信完了。切断しました。");
inline const QString RoomFullStrangerKicked =
    QStringLiteral("満員お知らせサーバーに不正なクライアントが接続してきたのでキックしました");

// Host announcements.
inline QString announcementLog(const QString &text)
{
    return QStringLiteral("サーバーからのお知らせ> ") + text;
}
inline QString announcement(const QString &text)
{
    return QStringLiteral("<サーバーからお知らせ> ") + text;
}

// Rounds.
inline const QString TimeUpLog = QStringLiteral("時間切れ、スキップして次のプレイヤーに回します");
inline const QString AllReady = QStringLiteral("全員準備 完了したのでゲームを開始します");
inline const QString GameOver = QStringLiteral("ゲーム終了！");
inline const QString QuestionCaption = QStringLiteral("お題");
inline const QString HiddenQuestion = QStringLiteral("？？？");
inline QString roundSuffix(int round, int rounds)
{
    return QStringLiteral(" ラウンド[") + QString::number(round) + QLatin1Char('/') +
           QString::number(rounds) + QLatin1Char(']');
}
inline QString timeUp(const QString &word)
{
    return QStringLiteral("時間切れ！正解者は居ませんでした 「") + word + QStringLiteral("」");
}
inline QString firstTurnSoon(int turn, const QString &round)
{
    return QStringLiteral("5秒後に") + QString::number(turn) + QStringLiteral("回目のゲームが始まります") +
           round;
}
inline QString nextTurnLog(int turn, const QString &round)
{
    return QStringLiteral("10秒後に") + QString::number(turn) + QStringLiteral("回目のゲーム開始") + round;
}
inline QString nextTurnSoon(int turn, const QString &round)
{
    return QStringLiteral("10秒後に") + QString::number(turn) + QStringLiteral("回目のゲームが始まります") +
           round;
}
inline QString guessedLog(const QString &guesser)
{
    return guesser + QStringLiteral("が正解");
}
inline QString guessed(const QString &guesser, const QString &word, int points)
{
    return guesser + QStringLiteral(" が正解！「") + word + QStringLiteral("」+ ") + QString::number(points) +
           QStringLiteral("点");
}
inline QString drawerScored(const QString &drawer, int points)
{
    return QStringLiteral("絵を描いた人 ") + drawer + QStringLiteral(" + ") + QString::number(points) +
           QStringLiteral("点");
}
inline QString winnerLog(const QString &name)
{
    return WinnerNoticePrefix + name + QStringLiteral(" です");
}
inline QString winner(const QString &name)
{
    return WinnerNoticePrefix + name + WinnerNoticeSuffix;
}
inline QString drawerLeft(const QString &word)
{
    return QStringLiteral("出題者が退室したので次の問題に進みます「") + word + QStringLiteral("」");
}

// The room's notice of refused passwords, when several came within one window.
inline QString passwordMismatchNotice(int attempts)
{
    return PasswordMismatchNotice + QStringLiteral("（") + QString::number(attempts) + QStringLiteral("回）");
}

// The lobby link.
inline const QString LobbyConnecting = QStringLiteral("ロビーサーバーに接続中...");
inline const QString LobbyConnectingStatus = QStringLiteral("ロビーに接続処理中...");
inline const QString LobbyConnected = QStringLiteral("ロビーサーバーに接続しました");
inline const QString LobbyConnectedStatus = QStringLiteral("ロビーに接続中");
inline const QString LobbyUnreachable = QStringLiteral("ロビーサーバーに接続できませんでした");
inline const QString LobbySeemsDown = QStringLiteral("現在ロビーサーバーが停止しているようです");
inline const QString LobbyDisconnected = QStringLiteral("ロビーサーバーから切断");
inline const QString LobbySilent = QStringLiteral("ロビーサーバーからの応答がないため切断しました");
inline QString lobbyUnreachableAt(const QString &hostPort, int errorNumber)
{
    return QStringLiteral("ロビーサーバー ") + hostPort + QStringLiteral(" に接続できません (エラー:") +
           QString::number(errorNumber) + QLatin1Char(')');
}
inline const QString LobbyAddressHint =
    QStringLiteral("ロビーサーバーのアドレスはサーバー設定の「ロビーサーバー」欄か --lobby で変更できます");
inline const QString LobbyRetryPrefix = QStringLiteral("ロビーに接続リトライ待ち - ");
inline QString lobbyRetryStatus(int seconds)
{
    return LobbyRetryPrefix + QString::number(seconds);
}

// Router port mapping and the room's address.
inline const QString PortOpen = QStringLiteral("ポート開放済み");
inline const QString NoRouter = QStringLiteral("ルーターが見つかりません");
inline const QString RouterRefusedPrefix = QStringLiteral("ルーターが拒否しました: ");
inline const QString AskingRouter = QStringLiteral("ルーターに問い合わせ中…");
inline const QString MappingOff = QStringLiteral("自動で開かない設定です");
inline const QString MappingNotStarted = QStringLiteral("サーバー開始後に開きます");
inline const QString UnknownAddress = QStringLiteral("不明");
inline const QString MappingRemoved = QStringLiteral("ルーターのポート開放を解除しました");
inline const QString MappingNotRemoved = QStringLiteral("ルーターのポート開放を解除できませんでした");
inline const QString LanAddressCaption = QStringLiteral("LAN内のアドレス");
inline const QString ExternalAddressCaption = QStringLiteral("外部アドレス");
inline const QString MappingStateCaption = QStringLiteral("ポートの状態");
inline QString invitation(const QString &address, const QString &link)
{
    return QStringLiteral("ゼンブリルの部屋で遊びましょう！\n接続先: %1\nリンク: %2\n").arg(address, link);
}
inline QString invitationLan(const QString &lan)
{
    return QStringLiteral("同じLANからは: %1\n").arg(lan);
}
inline QString invitationLink(const QString &link)
{
    return QStringLiteral("招待リンク: ") + link;
}
inline QString browserInvitation(const QString &link)
{
    return QStringLiteral("ブラウザから: %1\n").arg(link);
}
inline QString browserInvitationLink(const QString &link)
{
    return QStringLiteral("ブラウザで参加: ") + link;
}

// The console window.
inline const QString CloseQuestion = QStringLiteral("本当にサーバーを終了しますか？");
inline const QString KickQuestion = QStringLiteral("BANもしますか？");
inline const QString FreeSeat = QStringLiteral("（空席）");
inline const QString AnnounceHint = QStringLiteral("（ここに文字を書いてEnterを押すと発言できます）");
inline const QString LobbyStatusCaption = QStringLiteral("ロビーステータス");
inline const QString ShowPicture = QStringLiteral("絵を表示");
inline const QString TimeLeftCaption = QStringLiteral("残り時間：");
inline const QString LobbyStatusTip = QStringLiteral("ダブルクリックで再接続までの待ち時間を短くします");
inline QString unnamedConnection(const QString &address)
{
    return QStringLiteral("名前を送っていない接続（%1）").arg(address);
}
inline QString kickQuestion(const QString &who)
{
    return who + QStringLiteral(" をキックします。\n") + KickQuestion;
}
inline const QString ReceiveTip = QStringLiteral("受信");
inline const QString PlayersCaption = QStringLiteral("プレイヤー");
inline const QString KickTip = QStringLiteral("この席の接続を切ります");
inline const QString LastStandingsCaption = QStringLiteral("前回の結果： ");
inline const QString StandingsSeparator = QStringLiteral("　");

// The console's address panel.
inline const QString CopyInvitation = QStringLiteral("招待文をコピー");
inline const QString Copied = QStringLiteral("コピーしました");
inline const QString RoomAddressCaption = QStringLiteral("部屋のアドレス");
inline const QString AutoOpenPort = QStringLiteral("ルーターのポートを自動で開く (UPnP)");
inline const QString CopyInvitationTip =
    QStringLiteral("接続先とリンク（zembrill://…）を、友だちに送れる文にしてコピーします");
inline const QString NoUpnpTip = QStringLiteral("--no-upnp で起動しています");
inline const QString ReachabilityCaption = QStringLiteral("外部からの接続");
inline const QString ReachabilityUnknown = QStringLiteral("未確認（ロビーに登録すると確かめます）");
inline const QString PortHelpLink = QStringLiteral("ポートの開け方（ブラウザで開きます）");
inline const QString WebLinkCaption = QStringLiteral("ブラウザ用リンク");

// The console's running panel.
inline const QString ServerRunning = QStringLiteral("サーバー稼働中");
inline const QString PlayerCountCaption = QStringLiteral("参加人数");
inline const QString LobbyRegisterCaption = QStringLiteral("ロビー登録");
inline const QString DictionariesCaption = QStringLiteral("使用辞書");
inline const QString ChangeSettings = QStringLiteral("辞書・設定の変更");
inline const QString PasswordSet = QStringLiteral("あり");
inline const QString PasswordNone = QStringLiteral("なし");
inline const QString RegisterOn = QStringLiteral("する");
inline const QString RegisterOff = QStringLiteral("しない");
inline const QString ListSeparator = QStringLiteral("、");
inline QString playerCount(int seated, int seats)
{
    return QStringLiteral("%1人 / %2人").arg(seated).arg(seats);
}

// The console's settings area.
inline const QString DictionarySettingsCaption = QStringLiteral("追加辞書設定");
inline const QString ServerSettingsCaption = QStringLiteral("サーバー設定");
inline const QString QuestionOptionsCaption = QStringLiteral("お題オプション");
inline const QString BuiltInOnly = QStringLiteral("内蔵辞書のみ");
inline const QString AddedOnly = QStringLiteral("追加辞書のみ");
inline const QString BuiltInAndAdded = QStringLiteral("内蔵辞書 + 追加辞書");
inline const QString BuiltInAndAddedTwice = QStringLiteral("内蔵辞書 + 追加辞書（高確率化）");
inline const QString BuiltInTwiceAndAdded = QStringLiteral("内蔵辞書（高確率化） + 追加辞書");
inline const QString DictionaryListCaption = QStringLiteral("使用する追加辞書（*.zbq）");
inline const QString RescanDictionaries = QStringLiteral("辞書再検索");
inline const QString GameModeCaption = QStringLiteral("ゲームモード");
inline const QString RegisterWithLobby = QStringLiteral("ロビーサーバーにこのサーバーを登録する");
inline const QString PlayerMaxCaption = QStringLiteral("プレイヤー上限");
inline const QString RoundMaxCaption = QStringLiteral("ラウンド数");
inline const QString GameCountNote =
    QStringLiteral("※ゲーム回数はプレイヤー数×ラウンド数になります。例：8人で3ラウンドだと24ゲーム");
inline const QString QuestionControlCaption = QStringLiteral("乱数を制御して同じお題を出なくする");
inline const QString QuestionControlNote = QStringLiteral(
    "※すべてのお題が出尽くすまで、同じお題は出現しません。すべてのお題が出尽くすか、辞書の再読込を"
    "すると再び同じ問題がでます。また、高確率設定にしている場合は同じお題が2回でるようになります。");
inline const QString ReloadCaption = QStringLiteral("辞書の再読込\nゲーム設定変更");
inline QString playerMaxItem(int n)
{
    return QStringLiteral("%1人").arg(n);
}
inline QString roundMaxItem(int n)
{
    return QStringLiteral("%1回").arg(n);
}
inline const QString LobbyServerCaption = QStringLiteral("ロビーサーバー");
inline const QString LobbyServerTip =
    QStringLiteral("host:port の形で入力します。空にすると標準のロビーサーバーを使います");
inline const QString LobbyOverrideTip = QStringLiteral("--lobby で起動しています");
inline QString badLobbyAddress(const QString &text)
{
    return QStringLiteral("ロビーサーバーのアドレスが正しくありません: ") + text +
           QStringLiteral("\nhost:port の形（例: lobby.example.jp:29999）で入力するか、空にしてください。");
}
inline const QString AllowSameAddress = QStringLiteral("同じIPアドレスからの参加を許可する");
inline const QString AllowSameAddressTip =
    QStringLiteral("同じルーターの内側から複数人で参加するときに使います（LANパーティーや家族）");
inline const QString OpenDictionaryFolder = QStringLiteral("追加辞書のフォルダを開く");
inline const QString DictionaryFormatNote =
    QStringLiteral("※1行に1単語。文字コードはShift_JIS（改行CR LF）かUTF-8（改行LFかCR LF）");
inline QString wordCount(int words)
{
    return QStringLiteral("%1語").arg(words);
}
inline const QString ReadAsUtf8 = QStringLiteral("UTF-8として読みます");
inline const QString ReadAsCp932 = QStringLiteral("Shift_JISとして読みます");

// The run without a window (zbserver --headless, zbserverd).
inline const QString ServerStopped = QStringLiteral("サーバーを終了しました");
// What the room runs with, said at the start.
inline QString settingShown(const QString &caption, const QString &value)
{
    return caption + QStringLiteral(": ") + value;
}
inline QString lobbyShown(bool registering, const QString &address)
{
    return registering ? RegisterOn + QStringLiteral(" (") + address + QLatin1Char(')') : RegisterOff;
}
// The operator's commands on standard input, and their answers.
inline const QStringList OperatorHelp = {
    QStringLiteral("操作コマンド（1行に1つ）:"),
    QStringLiteral("  players    参加者の一覧（席番号・名前・アドレス・得点・準備）"),
    QStringLiteral("  kick N     席 N の接続を切る"),
    QStringLiteral("  ban N      席 N のアドレスを ban.txt に加えて接続を切る"),
    QStringLiteral("  say TEXT   全員にお知らせを送る"),
    QStringLiteral("  help       この一覧"),
};
inline const QString PlayersHeading = QStringLiteral("席  名前  アドレス  得点  準備");
inline const QString NoPlayers = QStringLiteral("参加者はいません");
inline const QString NoNameYet = QStringLiteral("（名前なし）");
inline QString playerRow(int slot, const QString &name, const QString &address, int score,
                         const QString &ready)
{
    const QString gap = QStringLiteral("  ");
    return QString::number(slot) + gap + name + gap + address + gap + QString::number(score) + gap + ready;
}
inline QString unknownOperatorCommand(const QString &word)
{
    return QStringLiteral("不明なコマンドです: ") + word + QStringLiteral("（help で一覧を表示します）");
}
inline QString slotNumberNeeded(const QString &word, int lastSlot)
{
    return word + QStringLiteral(": 0から") + QString::number(lastSlot) +
           QStringLiteral("までの席番号を指定してください");
}

} // namespace zb::msg
