#include "gameclient.h"

#include "picturesaver.h"

namespace zb {

namespace {
const QString UnknownError = QStringLiteral("原因不明のエラーが発生しました、放置します");

// A slot written as the first character of a payload.
bool leadingSlot(const QString &payload, int &slot)
{
    if (payload.isEmpty()) return false;
    const QChar c = payload.at(0);
    if (c < QLatin1Char('0') || c > QLatin1Char('7')) return false;
    slot = c.unicode() - '0';
    return true;
}
} // namespace

bool IsPlainSoundName(const QString &name)
{
    if (name.isEmpty() || name.size() > 64) return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                           u == '_' || u == '-';
        if (!plain) return false;
    }
    return true;
}

GameClient::GameClient(QObject *parent) : QObject(parent), m_canvas(&m_round)
{
    connect(&m_connection, &GameConnection::systemText, this, &GameClient::systemText);
    connect(&m_connection, &GameConnection::lineReceived, this, &GameClient::Cont);
    connect(&m_connection, &GameConnection::connectionEstablished, this, &GameClient::onEstablished);
    connect(&m_connection, &GameConnection::closedByPeer, this, &GameClient::wscSystem_Close);

    connect(&m_canvas, &CanvasModel::soundRequested, this, &GameClient::requestSound);
    connect(&m_canvas, &CanvasModel::pressed, this, [this] { m_watch.userActed(); });
    connect(&m_canvas, &CanvasModel::strokeFinished, this,
            [this](const QString &payload) { SendData(QStringLiteral("STK"), payload); });
    connect(&m_canvas, &CanvasModel::filled, this, &GameClient::sendFill);
    connect(&m_round, &RoundState::timeUp, &m_canvas, &CanvasModel::picMain_MouseUp);

    m_tmrTimelimit.setInterval(1000);
    m_tmrAutoDisConnect.setInterval(1000);
    connect(&m_tmrTimelimit, &QTimer::timeout, this, &GameClient::tmrTimelimit_Timer);
    connect(&m_tmrAutoDisConnect, &QTimer::timeout, this, &GameClient::tmrAutoDisConnect_Timer);
    m_tmrTimelimit.start();
    m_tmrAutoDisConnect.start();
}

void GameClient::setTickMs(int ms)
{
    m_connection.setTickMs(ms);
    m_tmrTimelimit.setInterval(m_connection.tickMs());
    m_tmrAutoDisConnect.setInterval(m_connection.tickMs());
}

void GameClient::Init()
{
    m_canvas.Init();
    setReadyEnabled(false);
    m_round.Init();
}

bool GameClient::ConnectServer(const QString &ipPort, const QString &name, const QString &password)
{
    m_name = name;
    return m_connection.ConnectServer(ipPort, name, password);
}

void GameClient::requestSound(const QString &name)
{
    if (m_soundOn) emit soundRequested(name);
}

int GameClient::ownSlot() const
{
    return m_ownSlotKnown && isConnected() ? m_round.MySlot : -1;
}

void GameClient::onEstablished()
{
    // A slot from an earlier room says nothing about this one.
    m_ownSlotKnown = false;
    m_canvas.ClsScreen(1);
    setBanner(true);
    setReadyEnabled(true);
    emit connectionOpenChanged(true);
}

void GameClient::wscSystem_Close()
{
    m_connection.close();
    emit systemText(QStringLiteral("切断されました"));
    requestSound(QStringLiteral("disconnect"));
    setBanner(false);
    m_round.InGame = false;
    setReadyEnabled(false);
    m_players.clearNames();
    emit playersChanged();
    emit connectionOpenChanged(false);
}

void GameClient::cmdReady_Click()
{
    setReadyEnabled(false);
    SendData(QStringLiteral("RDY"), QStringLiteral("OK"));
}

bool GameClient::txtSend_Enter(const QString &input)
{
    if (!isConnected()) {
        emit systemText(QStringLiteral("接続されていません"));
        return false;
    }
    m_watch.userActed();
    if (input.isEmpty()) return false;
    const QString text = PrepareChatText(input, m_round.isDrawer(), m_round.CurrentQuestion);
    emit chatText(m_name + QStringLiteral("> ") + text);
    SendData(QStringLiteral("MSG"), text);
    sendCountCheck();
    return true;
}

void GameClient::sendFill(int index)
{
    if (!isConnected()) return;
    SendData(QStringLiteral("CLS"), QString::number(index));
    sendCountCheck();
}

void GameClient::sendCountCheck()
{
    if (m_watch.SendCountCheck()) {
        emit systemText(QStringLiteral("連続チャット・クリア・塗りつぶししすぎにつき切断"));
        wscSystem_Close();
    }
}

void GameClient::tmrAutoDisConnect_Timer()
{
    switch (m_watch.tick(isConnected(), m_players.GetPlayerCnt())) {
    case ActivityWatch::Tick::IdleWarning:
        emit systemText(QStringLiteral("あと1分操作がないと切断されます"));
        break;
    case ActivityWatch::Tick::IdleCut:
        wscSystem_Close();
        emit systemText(QStringLiteral("10分間操作がされなかったので切断します"));
        break;
    case ActivityWatch::Tick::Nothing:
        break;
    }
}

void GameClient::cmdSavePicture_Click()
{
    PictureContext context;
    context.oekakiChatVisible = m_banner;
    context.connected = isConnected();
    context.drawerSlot = m_round.DrawerSlot;
    context.drawerName = m_players.name(m_round.DrawerSlot);
    context.questionCaption = m_round.questionText();
    const QStringList lines = PictureSaver::cmdSavePicture_Click(m_canvas.image(), context);
    for (const QString &line : lines)
        emit systemText(line);
}

void GameClient::setSaveReserve(bool on)
{
    if (m_saveReserve == on) return;
    m_saveReserve = on;
    emit saveReserveChanged(on);
}

void GameClient::turnEndSave()
{
    if (m_saveReserve) {
        emit systemText(QStringLiteral("保存予約ボタンが押されているので画像を保存します"));
        cmdSavePicture_Click();
        setSaveReserve(false);
    }
    if (m_autoSavePicture) {
        emit systemText(QStringLiteral("自動保存設定がONなので画像を保存します"));
        cmdSavePicture_Click();
    }
}

void GameClient::setReadyEnabled(bool on)
{
    m_readyEnabled = on;
    emit readyEnabledChanged(on);
}

void GameClient::setBanner(bool on)
{
    m_banner = on;
    emit bannerChanged(on);
}

void GameClient::Cont(const QString &command, const QString &payload)
{
    bool ok = true;
    if (command == QLatin1String("MSG")) {
        ok = handleMSG(payload);
    } else if (command == QLatin1String("SYM")) {
        emit systemText(payload);
    } else if (command == QLatin1String("STK")) {
        ok = m_canvas.DrawLine(payload);
    } else if (command == QLatin1String("CLS")) {
        int index = 0;
        ok = decodeFill(payload, index);
        if (ok) m_canvas.ClsScreen(index);
    } else if (command == QLatin1String("NMS")) {
        ok = m_players.setNames(payload);
    } else if (command == QLatin1String("SCR")) {
        ok = m_players.setScores(payload);
    } else if (command == QLatin1String("RDY")) {
        ok = m_players.setReady(payload);
    } else if (command == QLatin1String("NUM")) {
        bool read = false;
        const int slot = payload.trimmed().toInt(&read);
        ok = read && PlayerList::valid(slot);
        if (ok) {
            m_round.MySlot = slot;
            m_ownSlotKnown = true;
        }
    } else if (command == QLatin1String("QST")) {
        ok = handleQST(payload);
    } else if (command == QLatin1String("QOK")) {
        ok = handleQOK(payload);
    } else if (command == QLatin1String("NST")) {
        emit systemText(QStringLiteral("バージョンを合わせてください"));
        setReadyEnabled(false);
    } else if (command == QLatin1String("NSP")) {
        emit systemText(QStringLiteral("パスワードが違います"));
        setReadyEnabled(false);
        wscSystem_Close();
    } else if (command == QLatin1String("RST")) {
        setReadyEnabled(false);
        setBanner(false);
        m_round.InGame = true;
    } else if (command == QLatin1String("RET")) {
        m_round.stopClock();
        setReadyEnabled(true);
        emit systemText(QStringLiteral("待機状態に戻ります"));
        emit systemText(QStringLiteral("次のゲームを開始するには、準備完了ボタンを押してください"));
        setBanner(true);
        m_round.InGame = false;
    } else if (command == QLatin1String("SND")) {
        ok = handleSND(payload);
    } else {
        emit systemText(QStringLiteral("不正なコマンドを受信しました、放置します"));
        return;
    }
    if (!ok) {
        emit systemText(UnknownError);
        return;
    }
    // NUM too: the own panel is marked.
    if (command == QLatin1String("NMS") || command == QLatin1String("SCR") ||
        command == QLatin1String("RDY") || command == QLatin1String("NUM"))
        emit playersChanged();
}

bool GameClient::handleMSG(const QString &payload)
{
    int slot = 0;
    if (!leadingSlot(payload, slot)) return false;
    emit chatText(m_players.name(slot) + QStringLiteral("> ") + payload.mid(2));
    return true;
}

bool GameClient::handleQST(const QString &payload)
{
    // A turn was announced even when its drawer cannot be read: the game is on.
    m_round.InGame = true;
    setBanner(false);
    int drawer = 0;
    if (!leadingSlot(payload, drawer)) return false;
    m_round.startTurn(drawer, payload.mid(2));
    emit turnStarted(drawer, m_round.isDrawer());
    m_canvas.resetForTurn();
    m_qokSlot = -1;
    emit qokSlotChanged(-1);
    const QString name = m_players.name(drawer);
    emit systemText(name + QStringLiteral(" の番です！絵を描いてください（お題の文字を書いてはいけません）"));
    emit systemText(QStringLiteral("他の人は ") + name +
                    QStringLiteral(" の描いた絵をひらがなで発言してください"));
    return true;
}

bool GameClient::handleQOK(const QString &payload)
{
    m_round.stopAndReveal();
    bool read = false;
    const int slot = payload.trimmed().toInt(&read);
    if (!read || !PlayerList::valid(slot)) return false;
    m_qokSlot = slot;
    emit qokSlotChanged(slot);
    turnEndSave();
    return true;
}

bool GameClient::handleSND(const QString &payload)
{
    // Only names of sound files beside the program, never a path.
    if (IsPlainSoundName(payload)) requestSound(payload);
    if (payload == QLatin1String("ng")) turnEndSave();
    return true;
}

} // namespace zb
