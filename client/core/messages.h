#pragma once

#include "shared/messages.h"

#include <QString>

// Every text the player's program shows, in one place. Texts with %1 are
// templates for QString::arg(); texts assembled around a value are functions.
namespace zb::msg {

// ---- Texts a server sends that the program recognises (never change these);
// the game-over notices are in shared/messages.h

// The countdown before a turn; captures the turn number.
inline const QString NextTurnNoticePattern =
    QStringLiteral("^(?:5|10)秒後に(\\d{1,6})回目のゲームが始まります");

// ---- Shared by the game window and the lobby window

inline const QString SendHint = QStringLiteral("（ここに文字を書いてEnterを押すと発言できます）");
inline const QString NotConnected = QStringLiteral("接続されていません");
inline const QString UnknownError = QStringLiteral("原因不明のエラーが発生しました、放置します");
inline const QString BadCommand = QStringLiteral("不正なコマンドを受信しました、放置します");
inline const QString ConnectByAddress = QStringLiteral("IPアドレスで接続");
inline const QString Close = QStringLiteral("閉じる");
inline const QString Settings = QStringLiteral("設定");
inline const QString Name = QStringLiteral("名前");
inline const QString Question = QStringLiteral("お題");
inline const QString Ready = QStringLiteral("準備完了");

// ---- Connection to a game server

inline const QString ServerLineTooLong = QStringLiteral("サーバーから長すぎる行を受信したので切断します");
inline const QString AlreadyConnected =
    QStringLiteral("既にサーバーに接続しています。別のサーバーに接続するには先に切断してください");
// %1: the address as typed.
inline const QString BadServerAddress =
    QStringLiteral("接続先「%1」は正しくありません。アドレスとポートは半角の「:"
                   "」で区切ってください（例：192.168.0.2:27064、[::1]:27064）");
// %1: the local address to connect from.
inline const QString BindAddressUnusable = QStringLiteral("アドレス %1 を使えないため接続できません");
inline const QString ConnectingToServer = QStringLiteral("サーバーに接続中...");
inline const QString ConnectedToServer = QStringLiteral("サーバーに接続しました");
inline const QString CannotConnectToServer = QStringLiteral("サーバーに接続できませんでした");
inline const QString ServerMayBeDown = QStringLiteral("サーバーが立っていない可能性があります");
inline const QString ServerPortMayBeClosed =
    QStringLiteral("サーバーの指定ポートが空いて居ない可能性があります");
inline const QString AskServerHost = QStringLiteral("詳細はサーバーの設置者に問い合わせてください");

// ---- Game

inline const QString Disconnected = QStringLiteral("切断されました");
inline const QString FloodDisconnect = QStringLiteral("連続チャット・クリア・塗りつぶししすぎにつき切断");
inline const QString IdleWarning = QStringLiteral("あと1分操作がないと切断されます");
inline const QString IdleDisconnect = QStringLiteral("10分間操作がされなかったので切断します");
inline const QString SavingReservedPicture =
    QStringLiteral("保存予約ボタンが押されているので画像を保存します");
inline const QString SavingPictureAutomatically = QStringLiteral("自動保存設定がONなので画像を保存します");
inline const QString WrongVersion = QStringLiteral("バージョンを合わせてください");
inline const QString WrongPassword = QStringLiteral("パスワードが違います");
inline const QString BackToWaiting = QStringLiteral("待機状態に戻ります");
inline const QString PressReadyForNextGame =
    QStringLiteral("次のゲームを開始するには、準備完了ボタンを押してください");

inline QString drawerTurn(const QString &drawer)
{
    return drawer + QStringLiteral(" の番です！絵を描いてください（お題の文字を書いてはいけません）");
}

inline QString guessersTurn(const QString &drawer)
{
    return QStringLiteral("他の人は ") + drawer + QStringLiteral(" の描いた絵をひらがなで発言してください");
}

// What the question box shows while the word is hidden.
inline const QString HiddenWord = QStringLiteral("？？？");
inline const QString QuestionInMainWindow = QStringLiteral("通常のお題欄に表示します");

// Ready column of the player list.
inline const QString EmptySeat = QStringLiteral("空き");
inline const QString VersionMismatch = QStringLiteral("Ver違い");
inline const QString PasswordMismatch = QStringLiteral("パス違い");
inline const QString NotReady = QStringLiteral("準備中");

// ---- Saving pictures

inline const QString ChatModePictureSuffix = QStringLiteral("  「お絵かきチャットモード」.png");
inline const QString OfflinePictureSuffix = QStringLiteral("  「ひとりで描いた絵」.png");

inline QString drawerPictureName(const QString &stamp, const QString &drawer, const QString &word)
{
    return stamp + QLatin1Char(' ') + drawer + QStringLiteral(" 「") + word + QStringLiteral("」.png");
}

inline QString pictureSaved(const QString &fileName)
{
    return QLatin1Char('[') + fileName + QStringLiteral("]を保存しました");
}

inline QString pictureNotSaved(const QString &fileName)
{
    return QLatin1Char('[') + fileName + QStringLiteral("]を保存できませんでした");
}

inline const QString PictureCannotBeSaved = QStringLiteral("この絵は保存できません！");
// How many pictures were written, and the folder they are in.
inline QString picturesSaved(int count, const QString &folder)
{
    return QStringLiteral("%1枚の絵をpngフォルダ（%2）に保存しました").arg(QString::number(count), folder);
}

// ---- Game window

inline QString versionLine(const QString &version)
{
    return QStringLiteral("ゼンブリル Ver.") + version;
}

inline const QString ProgramDescription = QStringLiteral("ゼンブリル: the draw-and-guess game");
inline const QString PressLobbyToStart =
    QStringLiteral("「ロビーに接続」ボタンを押して、ロビーに接続し参加した部屋を選択してください");
inline const QString TimeLeft = QStringLiteral("残り時間：");
inline const QString OekakiChatBanner = QStringLiteral("ただいまお絵かきチャットモード！");
inline const QString ClearCanvas = QStringLiteral("クリア");
// %1: the seat number from 1.
inline const QString EmptyPlayerSeat = QStringLiteral("プレイヤー%1[空き]");
inline const QString ConnectToLobby = QStringLiteral("ロビーに接続");
inline const QString Disconnect = QStringLiteral("切断");
inline const QString SavePicture = QStringLiteral("画像を保存");
inline const QString SavePictureTip =
    QStringLiteral("現在書かれている絵を保存します。回答側で正解前だと、お題の保存はされません。");
inline const QString ReserveSave = QStringLiteral("保存予約");
inline const QString ReserveSaveTip =
    QStringLiteral("押しておくと正解or時間切れ時に自動的に画像を保存します。");
inline const QString LastResult = QStringLiteral("前回の結果");
inline const QString ConfirmDisconnect = QStringLiteral("本当に切断してよろしいですか？");
inline const QString OwnNameMark = QStringLiteral("（自分）");

// ---- Connect dialog

inline const QString ConnectToServer = QStringLiteral("サーバーに接続する");
inline const QString AddressHelp =
    QStringLiteral("IPアドレスとポートは半角の「:」で区切ってください。\n"
                   "例：192.168.0.10:27064\n"
                   "サーバーが標準のポート(27064)を使っているときは、ポートは省略できます。");
inline const QString ConnectToServerButton = QStringLiteral("サーバーに接続する(&C)");
inline const QString AddressAndPort = QStringLiteral("接続IPアドレス：ポート");
inline const QString Password = QStringLiteral("パスワード");
inline const QString EnterName = QStringLiteral("名前を入力してください");

// ---- Options dialog

inline const QString Options = QStringLiteral("オプション");
inline const QString LobbyAutoConnect = QStringLiteral("起動時に自動的にロビーに接続");
inline const QString LobbyAutoName = QStringLiteral("ロビーに接続時の名前入力を省略する（前回の名前で参加）");
inline const QString QuestionInOwnWindow = QStringLiteral("自分のお題は別ウィンドウに表示する");
inline const QString LargeChatText = QStringLiteral("チャットの文字を大きくする");
inline const QString ThinPenOnColor = QStringLiteral("色を選択したときはペンの太さを細ペンにする");
inline const QString AutoSavePicture = QStringLiteral("画像を自動的に保存する");
inline const QString SoundEffects = QStringLiteral("効果音を鳴らす");
inline const QString Cursor = QStringLiteral("カーソル");
inline const QString StandardCursor = QStringLiteral("標準カーソル");
inline const QString CrossCursor = QStringLiteral("十字");
inline const QString PenCursor = QStringLiteral("ペン");
inline const QString Cancel = QStringLiteral("キャンセル");
inline const QString LobbyAddressHelp =
    QStringLiteral("ホスト名:ポート（例：lobby.example.org:29999）。空欄なら標準のロビーに接続します。");
inline const QString BadLobbyAddress =
    QStringLiteral("ロビーサーバーのアドレスが正しくありません。「ホスト名:ポート」の形で入力してください"
                   "（例：lobby.example.org:29999、[2001:db8::1]:29999）");

// ---- Question window

inline const QString DragToMove = QStringLiteral("ドラッグで移動できます");

// ---- Results view

inline const QString RankColumn = QStringLiteral("順位");
inline const QString ScoreColumn = QStringLiteral("得点");
inline const QString SaveAll = QStringLiteral("すべて保存");
inline const QString SaveAllTip = QStringLiteral("この一覧の絵をすべてpngフォルダに保存します。");
inline const QString PreviousPicture = QStringLiteral("← 前の絵");
inline const QString NextPicture = QStringLiteral("次の絵 →");
inline const QString BackToList = QStringLiteral("一覧に戻る");
inline const QString GameFinished = QStringLiteral("ゲーム終了");
inline const QString GameCutShort = QStringLiteral("ゲームは途中で終わりました");
inline const QString WinnerLabel = QStringLiteral("優勝者： ");
inline const QString NoWinner = QStringLiteral("優勝者なし");
// %1: the rank.
inline const QString RankCell = QStringLiteral("%1位");
inline const QString NoPictures = QStringLiteral("絵はありません");
inline const QString ClickToEnlarge = QStringLiteral("絵をクリックすると大きく表示します");
// %1: turn number, %2: drawer, %3: word.
inline const QString PictureCaption = QStringLiteral("%1回目 %2\n「%3」");
inline const QString OpenFolder = QStringLiteral("フォルダを開く");
inline const QString OpenFolderTip = QStringLiteral("絵を保存するフォルダをファイルマネージャーで開きます。");

// ---- Lobby

inline const QString LobbyServer = QStringLiteral("ロビーサーバー");

// The window caption with the connection state after it.
inline QString lobbyCaption(int state)
{
    return QStringLiteral("ロビーサーバー [") + QString::number(state) + QLatin1Char(']');
}

inline const QString ReloadServerList = QStringLiteral("サーバーリスト更新");

inline QString reloadLimited(int seconds)
{
    return QStringLiteral("更新制限中 - ") + QString::number(seconds) + QStringLiteral("秒");
}

inline const QString ConnectingToLobby = QStringLiteral("ロビーサーバーに接続します");
inline const QString DirectConnectHint =
    QStringLiteral("従来のようなIPアドレス直接接続をしたい場合はIPアドレスで接続ボタンを押してください");
inline const QString LobbyConnecting = QStringLiteral("ロビーサーバーに接続中...");
inline const QString LobbyConnected = QStringLiteral("ロビーサーバーに接続しました");
inline const QString ReceivingServerList = QStringLiteral("サーバーリストを受信します...");
inline const QString CannotConnectToLobby = QStringLiteral("ロビーサーバーに接続できませんでした");
inline const QString LobbyMayBeDown = QStringLiteral("現在ロビーサーバーが停止しているようです");
inline const QString ServerListReceived = QStringLiteral("サーバーリストを受信しました");
inline const QString Details = QStringLiteral("詳細");
inline const QString BusyInGame =
    QStringLiteral("今は他のゲームに参加中です、そちらが終了してから参加してください");

// Room list column headings and cells (the page's markup stays with the page).
inline const QString RoomNameColumn = QStringLiteral("部屋名");
inline const QString PasswordColumn = QStringLiteral("パス");
inline const QString PlayersColumn = QStringLiteral("人数");
inline const QString CommentColumn = QStringLiteral("コメント");
inline const QString GameColumn = QStringLiteral("ゲーム");
inline const QString DictionaryColumn = QStringLiteral("辞書");
inline const QString BuiltInOnly = QStringLiteral("内蔵のみ");
inline const QString ExtraDictionaries = QStringLiteral("追加あり");
inline const QString NoPassword = QStringLiteral("無し");
inline const QString HasPassword = QStringLiteral("有り");
inline const QString ZenbeeGame = QStringLiteral("ゼンビー");
inline const QString OboroGame = QStringLiteral("おぼろげ");
inline const QString NoServers = QStringLiteral("（サーバーが一つもありません）");

// Headings of a room's details.
inline const QString RoomNameHeading = QStringLiteral("[部屋名]");
inline const QString CommentHeading = QStringLiteral("[コメント]");
inline const QString PlayersHeading = QStringLiteral("[参加者]");
inline const QString DictionariesHeading = QStringLiteral("[使用辞書]");
// Indents the lines under a heading.
inline const QString DetailIndent = QStringLiteral("　");

// Beside a room the lobby could not reach from outside.
inline const QString UnreachableRoomMark = QStringLiteral("（外部から接続できません）");

// A lobby address the player chose could not be reached: the address and the error number.
inline QString lobbyUnreachable(const QString &address, int errorNumber)
{
    return QStringLiteral("ロビーサーバー ") + address + QStringLiteral(" に接続できません (エラー:") +
           QString::number(errorNumber) + QLatin1Char(')');
}
inline const QString ChangeLobbyAddressHint = QStringLiteral(
    "ロビーサーバーのアドレスは、ゲーム画面の「設定」で開くオプションの「ロビーサーバー」で変更できます");

// ---- Leaving a room: the notice over the canvas, with the reason in plain words
// (the room's own reason lines, in shared/messages.h, are shown as they come)

inline const QString LeftRoomTitle = QStringLiteral("部屋から切断されました");
inline const QString LeftByPlayer = QStringLiteral("切断ボタンで部屋を出ました");
inline const QString RefusedPassword =
    QStringLiteral("パスワードが違うため参加できませんでした。部屋のパスワードを確かめてください");
inline const QString RefusedVersion =
    QStringLiteral("プログラムのバージョンが部屋と違うため参加できませんでした");
inline const QString RoomClosedOrLost = QStringLiteral("ホストが部屋を閉じたか、接続が切れました");
inline const QString ConnectionNotMade =
    QStringLiteral("サーバーに接続できませんでした。アドレスとポートを確かめてください");

} // namespace zb::msg
