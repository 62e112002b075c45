#include "client/core/gameclient.h"

#include "client/core/messages.h"
#include "client/core/picturesaver.h"
#include "client/core/playername.h"
#include "shared/protocol.h"

#include <utility>

namespace zb {

namespace {
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

bool isRoomLeaveReason(const QString &line)
{
    for (const QString *reason : {&msg::KickedReason, &msg::BannedReason, &msg::RoomFullNotice,
                                  &msg::FloodedReason, &msg::SameAddressReason, &msg::IdleReason})
        if (line == *reason) return true;
    return false;
}

bool isPlainSoundName(const QString &name)
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
    connect(&m_connection, &GameConnection::lineReceived, this, &GameClient::dispatch);
    connect(&m_connection, &GameConnection::connectionEstablished, this, &GameClient::onEstablished);
    connect(&m_connection, &GameConnection::closedByPeer, this, &GameClient::onClosedByPeer);

    connect(&m_canvas, &CanvasModel::soundRequested, this, &GameClient::requestSound);
    connect(&m_canvas, &CanvasModel::pressed, this, [this] { m_watch.userActed(); });
    connect(&m_canvas, &CanvasModel::strokeFinished, this,
            [this](const QString &payload) { sendLine(cmd::Stroke, payload); });
    connect(&m_canvas, &CanvasModel::filled, this, &GameClient::sendFill);
    connect(&m_round, &RoundState::timeUp, &m_canvas, &CanvasModel::finishStroke);
    connect(&m_round, &RoundState::timeUp, this, &GameClient::keepPicture);
    connect(&m_canvas, &CanvasModel::imageChanged, this, [this] {
        if (!m_turnClearing) m_lastPictureShown = false;
    });

    m_clockTimer.setInterval(1000);
    m_idleTimer.setInterval(1000);
    connect(&m_clockTimer, &QTimer::timeout, this, &GameClient::onClockTick);
    connect(&m_idleTimer, &QTimer::timeout, this, &GameClient::onIdleTick);
    m_clockTimer.start();
    m_idleTimer.start();
}

void GameClient::setTickMs(int ms)
{
    m_connection.setTickMs(ms);
    m_clockTimer.setInterval(m_connection.tickMs());
    m_idleTimer.setInterval(m_connection.tickMs());
}

void GameClient::reset()
{
    m_canvas.reset();
    setReadyEnabled(false);
    m_round.reset();
}

bool GameClient::connectToRoom(const QString &ipPort, const QString &name, const QString &password)
{
    m_name = name;
    return m_connection.connectToRoom(ipPort, name, password);
}

void GameClient::requestSound(const QString &name)
{
    if (m_soundOn) emit soundRequested(name);
}

int GameClient::ownSlot() const
{
    return m_ownSlotKnown && isConnected() ? m_round.mySlot : -1;
}

void GameClient::onEstablished()
{
    // A slot from an earlier room says nothing about this one.
    m_ownSlotKnown = false;
    m_roomReason.clear();
    m_versionRefused = false;
    m_passwordNoticeHeld = false;
    m_canvas.fill(1);
    setBanner(true);
    setReadyEnabled(true);
    emit connectionOpenChanged(true);
}

void GameClient::onConnectionClosed()
{
    leaveRoom(msg::LeftByPlayer);
}

void GameClient::onClosedByPeer(GameConnection::CloseCause cause)
{
    switch (cause) {
    case GameConnection::CloseCause::NotMade:
        leaveRoom(msg::ConnectionNotMade);
        return;
    case GameConnection::CloseCause::LineTooLong:
        leaveRoom(msg::ServerLineTooLong);
        return;
    case GameConnection::CloseCause::Lost:
        break;
    }
    if (!m_roomReason.isEmpty())
        leaveRoom(m_roomReason);
    else if (m_versionRefused)
        leaveRoom(msg::RefusedVersion);
    else
        leaveRoom(msg::RoomClosedOrLost);
}

void GameClient::leaveRoom(const QString &reason)
{
    m_connection.close();
    m_passwordNoticeHeld = false;
    endGame();
    emit systemText(msg::Disconnected);
    requestSound(QStringLiteral("disconnect"));
    setBanner(false);
    m_round.inGame = false;
    setReadyEnabled(false);
    m_players.clearNames();
    emit playersChanged();
    m_qokSlot = -1;
    emit qokSlotChanged(-1);
    emit connectionOpenChanged(false);
    emit leftRoom(reason);
}

void GameClient::toggleReady()
{
    setReadyEnabled(false);
    sendLine(cmd::Ready, QStringLiteral("OK"));
}

bool GameClient::sendChat(const QString &input)
{
    if (!isConnected()) {
        emit systemText(msg::NotConnected);
        return false;
    }
    m_watch.userActed();
    if (input.isEmpty()) return false;
    const QString text = prepareChatText(input, m_round.isDrawer(), m_round.currentWord);
    emit chatText(m_name + QStringLiteral("> ") + text);
    sendLine(cmd::Chat, text);
    sendCountCheck();
    return true;
}

void GameClient::sendFill(int index)
{
    if (!isConnected()) return;
    sendLine(cmd::Fill, QString::number(index));
    sendCountCheck();
}

void GameClient::sendCountCheck()
{
    if (m_watch.mustCutAfterSend()) {
        emit systemText(msg::FloodDisconnect);
        leaveRoom(msg::FloodDisconnect);
    }
}

void GameClient::onIdleTick()
{
    switch (m_watch.tick(isConnected(), m_players.playerCount())) {
    case ActivityWatch::Tick::IdleWarning:
        emit systemText(msg::IdleWarning);
        break;
    case ActivityWatch::Tick::IdleCut:
        leaveRoom(msg::IdleDisconnect);
        emit systemText(msg::IdleDisconnect);
        break;
    case ActivityWatch::Tick::Nothing:
        break;
    }
}

void GameClient::savePicture()
{
    if (m_lastPictureShown) {
        // A late press, even after the next turn's clear, still gets the turn's picture.
        for (const QString &line : PictureSaver::savePicture(m_lastPicture))
            emit systemText(line);
        return;
    }
    PictureContext context;
    context.oekakiChatVisible = m_banner;
    context.connected = isConnected();
    context.drawerSlot = m_round.drawerSlot;
    context.drawerName = m_players.name(m_round.drawerSlot);
    context.questionCaption = m_round.questionText();
    const QStringList lines = PictureSaver::savePicture(m_canvas.image(), context);
    for (const QString &line : lines)
        emit systemText(line);
}

QStringList GameClient::saveGallery()
{
    const QStringList lines = PictureSaver::saveGallery(m_gallery.pictures());
    for (const QString &line : lines)
        emit systemText(line);
    return lines;
}

void GameClient::keepPicture()
{
    if (!m_turnOpen) return;
    m_turnOpen = false;
    if (!m_gallery.add(m_turnNumber, m_turnDrawer, m_round.currentWord, m_canvas.image())) return;
    m_lastPicture = m_gallery.pictures().constLast();
    m_lastPictureShown = true;
    emit pictureKept(m_turnNumber);
}

void GameClient::beginGame()
{
    if (m_gameActive) return;
    m_gameActive = true;
    m_winner.reset();
    m_gallery.clear();
    m_result = GameResult();
    setResultAvailable(false);
}

void GameClient::endGame()
{
    if (!m_gameActive) return;
    m_gameActive = false;
    m_turnOpen = false;
    m_nextTurn = 1;
    m_result.finished = m_winner.has_value();
    m_result.winner = m_winner.value_or(QString());
    m_result.ranking = rankPlayers(m_players);
    // A game that broke off (too few players left, or the connection ended)
    // names no winner, but its pictures can still be looked at and saved.
    setResultAvailable(m_result.finished || !m_gallery.isEmpty());
    if (m_result.finished) emit gameFinished();
}

void GameClient::setResultAvailable(bool on)
{
    if (m_resultAvailable == on) return;
    m_resultAvailable = on;
    emit resultAvailableChanged(on);
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
        emit systemText(msg::SavingReservedPicture);
        savePicture();
        setSaveReserve(false);
    }
    if (m_autoSavePicture) {
        emit systemText(msg::SavingPictureAutomatically);
        savePicture();
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

void GameClient::dispatch(const QString &command, const QString &payload)
{
    // A reason counts only as the last line before the room closes the connection.
    m_roomReason = command == cmd::System && isRoomLeaveReason(payload) ? payload : QString();
    bool ok = true;
    if (command == cmd::Chat) {
        ok = handleMSG(payload);
    } else if (command == cmd::System) {
        if (!m_ownSlotKnown && payload == msg::PasswordMismatchNotice) {
            m_passwordNoticeHeld = true;
            return;
        }
        emit systemText(payload);
        if (m_gameActive) {
            if (std::optional<QString> winner = winnerFromNotice(payload)) m_winner = std::move(winner);
        }
        if (const int turn = turnFromNotice(payload)) m_nextTurn = turn;
    } else if (command == cmd::Stroke) {
        ok = m_canvas.drawStroke(payload);
    } else if (command == cmd::Fill) {
        int index = 0;
        ok = decodeFill(payload, index);
        if (ok) m_canvas.fill(index);
    } else if (command == cmd::Names) {
        ok = m_players.setNames(payload);
    } else if (command == cmd::Scores) {
        ok = m_players.setScores(payload);
    } else if (command == cmd::Ready) {
        ok = m_players.setReady(payload);
    } else if (command == cmd::SlotNumber) {
        bool read = false;
        const int slot = payload.trimmed().toInt(&read);
        ok = read && PlayerList::valid(slot);
        if (ok) {
            m_round.mySlot = slot;
            m_ownSlotKnown = true;
            // Seated: the notice was about somebody else after all.
            if (std::exchange(m_passwordNoticeHeld, false)) emit systemText(msg::PasswordMismatchNotice);
        }
    } else if (command == cmd::Question) {
        ok = handleQST(payload);
    } else if (command == cmd::Correct) {
        ok = handleQOK(payload);
    } else if (command == cmd::WrongVersion) {
        emit systemText(msg::WrongVersion);
        setReadyEnabled(false);
        m_versionRefused = true;
    } else if (command == cmd::WrongPassword) {
        emit systemText(msg::WrongPassword);
        setReadyEnabled(false);
        leaveRoom(msg::RefusedPassword);
    } else if (command == cmd::GameRunning) {
        setReadyEnabled(false);
        setBanner(false);
        m_round.inGame = true;
        beginGame();
    } else if (command == cmd::GameOver) {
        m_round.stopClock();
        setReadyEnabled(true);
        emit systemText(msg::BackToWaiting);
        emit systemText(msg::PressReadyForNextGame);
        setBanner(true);
        m_round.inGame = false;
        endGame();
    } else if (command == cmd::Sound) {
        ok = handleSND(payload);
    } else {
        emit systemText(msg::BadCommand);
        return;
    }
    if (!ok) {
        emit systemText(msg::UnknownError);
        return;
    }
    // NUM too: the own panel is marked.
    if (command == cmd::Names || command == cmd::Scores || command == cmd::Ready ||
        command == cmd::SlotNumber)
        emit playersChanged();
}

bool GameClient::handleMSG(const QString &payload)
{
    int slot = 0;
    if (!leadingSlot(payload, slot)) return false;
    emit chatText(displayName(m_players.name(slot)) + QStringLiteral("> ") + payload.mid(2));
    return true;
}

bool GameClient::handleQST(const QString &payload)
{
    // A turn was announced even when its drawer cannot be read: the game is on.
    m_round.inGame = true;
    setBanner(false);
    int drawer = 0;
    if (!leadingSlot(payload, drawer)) return false;
    beginGame();
    m_turnNumber = m_nextTurn++;
    m_turnDrawer = m_players.name(drawer);
    m_turnOpen = true;
    m_round.startTurn(drawer, payload.mid(2));
    emit turnStarted(drawer, m_round.isDrawer());
    m_turnClearing = true;
    m_canvas.resetForTurn();
    m_turnClearing = false;
    m_qokSlot = -1;
    emit qokSlotChanged(-1);
    const QString name = displayName(m_players.name(drawer));
    emit systemText(msg::drawerTurn(name));
    emit systemText(msg::guessersTurn(name));
    return true;
}

bool GameClient::handleQOK(const QString &payload)
{
    m_round.stopAndReveal();
    keepPicture();
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
    if (isPlainSoundName(payload)) requestSound(payload);
    if (payload == QLatin1String("ng")) {
        // The server's time-out may come before this client's clock runs out.
        keepPicture();
        turnEndSave();
    }
    return true;
}

} // namespace zb
