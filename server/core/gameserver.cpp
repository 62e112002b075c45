#include "gameserver.h"

#include "addresskey.h"
#include "fileutil.h"
#include "linesocket.h"
#include "messages.h"
#include "protocol.h"
#include "roundannouncer.h"
#include "roundengine.h"
#include "settingsstore.h"
#include "textclean.h"
#include "version.h"

#include <QHostAddress>
#include <QRandomGenerator>

namespace zb {

namespace {
const QString kVersion = QString::fromLatin1(ProtocolVersion);
} // namespace

GameServer::GameServer(int tickMs, QObject *parent)
    : QObject(parent), m_tickMs(qMax(1, tickMs)), m_engine(new RoundEngine(m_table, m_bank, this)),
      m_announcer(new RoundAnnouncer(*m_engine, m_table, *this, this))
{
    connect(&m_listen, &QTcpServer::newConnection, this, &GameServer::onNewConnection);
    // Load generators raise the stroke budget to measure the relay rather
    // than the flood limit; no room of people needs it, so it is no option.
    bool budgetOk = false;
    const qint64 budgetKib = qEnvironmentVariableIntValue("ZB_BENCH_STROKE_BUDGET_KIB", &budgetOk);
    if (budgetOk && budgetKib > 0) setStrokeBudget(budgetKib * 1024);

    m_roundClock.setInterval(m_tickMs);
    m_moderationClock.setInterval(m_tickMs);
    connect(&m_roundClock, &QTimer::timeout, this, &GameServer::onClockTick);
    connect(&m_moderationClock, &QTimer::timeout, this, &GameServer::onJoinTimeoutTick);

    connect(m_engine, &RoundEngine::clockChanged, this, &GameServer::clockChanged);
    connect(m_engine, &RoundEngine::questionLabelChanged, this, &GameServer::questionLabelChanged);
    connect(m_engine, &RoundEngine::highlightChanged, this, &GameServer::markPlayersChanged);
    connect(m_engine, &RoundEngine::screenCleared, this, &GameServer::turnCleared);

    connect(&m_log, &RoomLog::line, this, &GameServer::logLine);
    connect(&m_bank, &QuestionBank::systemText, this, &GameServer::appendSystemLine);
    connect(&m_roomFull, &RoomFullSocket::systemText, this, &GameServer::appendSystemLine);
    connect(&m_roomFull, &RoomFullSocket::stateChanged, this, &GameServer::updateCaption);

    m_lobby.setTickMs(m_tickMs);
    connect(&m_lobby, &LobbyLink::systemText, this, &GameServer::appendSystemLine);
    connect(&m_lobby, &LobbyLink::silenceChanged, this, &GameServer::updateCaption);
    connect(&m_lobby, &LobbyLink::notice, this, &GameServer::lobbyNotice);
    connect(&m_lobby, &LobbyLink::statusTextChanged, this, &GameServer::lobbyStatusChanged);

    for (int i = 0; i < Slots; ++i)
        m_labels[i] = QStringLiteral(" Score: 0");
    updateCaption();
    m_roundClock.start();
    m_moderationClock.start();
}

GameServer::~GameServer()
{
    // Connections closed during destruction must not call back into a half-destroyed server.
    for (std::unique_ptr<Seat> &seat : m_seats)
        seat.reset();
    disconnect(&m_lobby, nullptr, this, nullptr);
    disconnect(&m_bank, nullptr, this, nullptr);
    disconnect(&m_roomFull, nullptr, this, nullptr);
    disconnect(&m_log, nullptr, this, nullptr);
}

// ---------------------------------------------------------------- start-up

void GameServer::prepare()
{
    makePath(programFile(QStringLiteral("zbq")));
    m_bank.rescan();
    appendSystemLine(QStringLiteral("zbserver Ver.") + kVersion);
}

void GameServer::setRunOptions(const ServerSettings &values, int fields)
{
    m_runOptions = values;
    m_optionFields = fields;
    m_heldFields = fields;
}

ServerSettings GameServer::loadSettings() const
{
    ServerSettings s = m_storedSettings ? ServerSettings::load() : ServerSettings();
    s.take(m_runOptions, m_optionFields);
    return s;
}

void GameServer::saveSettings(const ServerSettings &pressed, int applied)
{
    m_heldFields &= ~(m_runOptions.differingStoredFields(pressed) & applied);
    if (!m_storedSettings) return;
    m_settings.save(ServerSettings::StoredFields & ~m_heldFields);
}

void GameServer::applyDictionaries(const ServerSettings &s)
{
    m_bank.setMode(s.dictionaryMode);
    for (const QString &entry : m_bank.tickedEntries()) {
        if (!s.tickedDictionaries.contains(entry)) m_bank.setTicked(entry, false);
    }
    const QStringList ticked = m_bank.tickedEntries();
    for (const QString &entry : s.tickedDictionaries) {
        if (ticked.contains(entry)) continue;
        if (!m_bank.entries().contains(entry)) {
            appendSystemLine(msg::dictionaryMissing(entry));
            continue;
        }
        QStringList failures;
        if (!m_bank.setTicked(entry, true, &failures)) {
            for (const QString &failure : failures)
                logLines(QStringList{msg::dictionaryTitle(entry)} + failure.split(QStringLiteral("\r\n")));
        }
    }
}

void GameServer::logLines(const QStringList &texts)
{
    for (const QString &text : texts)
        appendSystemLine(text);
}

bool GameServer::listenOn(const QString &portText)
{
    const quint16 port = parsePort(portText);
    if (port == 0) {
        m_startError = msg::badPort(portText);
        return false;
    }
    if (!m_listen.listen(QHostAddress::Any, port)) {
        m_startError = msg::cannotListen(port, m_listen.errorString());
        return false;
    }
    return true;
}

GameServer::StartResult GameServer::startOrApply(const ServerSettings &input)
{
    m_startError.clear();
    applyDictionaries(input);
    if (m_bank.loadDictionaries() == 0) return StartResult::NoWords;

    ServerSettings s = input;
    s.roundMaxIndex = qBound(0, s.roundMaxIndex, 3);
    s.playerMaxIndex = qBound(0, s.playerMaxIndex, 5);
    s.tickedDictionaries = m_bank.tickedEntries();
    m_bank.setQuestionControl(s.questionControl);

    if (!m_serverStarted) {
        s.password = fixedText(s.password.left(ServerSettings::PasswordLength));
        s.roomName = fixedText(s.roomName.left(ServerSettings::RoomNameLength));
        s.comment = fixedText(s.comment.left(ServerSettings::CommentLength));
        if (s.roomName.isEmpty()) s.roomName = msg::DefaultRoomName;
        if (s.comment.isEmpty()) s.comment = msg::DefaultComment;
        if (!listenOn(s.port.left(ServerSettings::PortLength))) return StartResult::PortRefused;
        s.port = QString::number(m_listen.serverPort());
        m_serverStarted = true;
        // Said only once the port is ours: hosts and scripts take it as the go-ahead.
        appendSystemLine(msg::WaitingForPlayers);
        m_settings = s;
        m_engine->setRoundMax(s.roundMax());
        reset();
        m_lobby.setAddress(!m_lobbyOverride.isEmpty() ? m_lobbyOverride
                           : m_storedSettings ? SettingsStore::read(QStringLiteral("LobbyServerAddress"))
                                              : QString());
        m_lobby.setStatus(roomStatus());
        if (m_settings.lobbyRegister) m_lobby.start();
        updateCaption();
        saveSettings(input, ServerSettings::AllFields);
        return StartResult::Started;
    }

    broadcast(cmd::System, msg::DictionaryListHeading);
    broadcast(cmd::System, m_bank.dictionaryList());
    m_settings.roundMaxIndex = s.roundMaxIndex;
    m_settings.playerMaxIndex = s.playerMaxIndex;
    m_settings.questionControl = s.questionControl;
    m_settings.dictionaryMode = s.dictionaryMode;
    m_settings.tickedDictionaries = s.tickedDictionaries;
    m_engine->setRoundMax(m_settings.roundMax());
    broadcast(cmd::System, msg::GameSettingsHeading);
    broadcast(cmd::System, m_settings.settingsLine());
    m_lobby.setStatus(roomStatus(), true);
    updateCaption();
    saveSettings(input, ServerSettings::GameFields);
    return StartResult::Reapplied;
}

quint16 GameServer::listeningPort() const
{
    return m_listen.isListening() ? m_listen.serverPort() : 0;
}

void GameServer::reset()
{
    // A connection still introducing itself keeps its seat, with its time-out
    // and the version it sent, or it would hold the slot for ever.
    for (int i = 0; i < Slots; ++i) {
        m_table.names[i].clear();
        m_table.readiness[i] = QStringLiteral("NG");
    }
    m_lobby.reset();
    m_bank.reseed(QRandomGenerator::global()->generate());
    m_engine->reset();
    updatePlayerLabels();
}

void GameServer::updateCaption()
{
    const int limitState = m_roomFull.stateNumber();
    const QString caption = QStringLiteral("zbserver Port:") + QString::number(listeningPort()) +
                            QStringLiteral(" [") + QString::number(limitState) + QStringLiteral("] [") +
                            QString::number(m_lobby.silence()) + QLatin1Char(']');
    if (caption != m_caption) {
        m_caption = caption;
        emit captionChanged(caption);
    }
}

RoomStatus GameServer::roomStatus() const
{
    RoomStatus r;
    r.port = m_settings.port;
    // The lobby only shows whether there is one: the password stays here.
    r.password = m_settings.password.isEmpty() ? QString() : QStringLiteral("*");
    r.roomName = m_settings.roomName;
    r.comment = m_settings.comment;
    r.gameType = m_settings.gameType;
    r.dictionaryList = m_bank.dictionaryList();
    for (const QString &name : m_table.names)
        r.playerNames << name;
    r.playerMax = m_settings.playerMax();
    return r;
}

// ---------------------------------------------------------------- state

int GameServer::drawerSlot() const
{
    return m_engine->drawerSlot();
}

bool GameServer::gameRunning() const
{
    return m_engine->gameRunning();
}

int GameServer::timeLeft() const
{
    return m_engine->timeLeft();
}

int GameServer::roundMax() const
{
    return m_engine->roundMax();
}

QString GameServer::questionLabel() const
{
    return m_engine->questionLabel();
}

int GameServer::playerScore(int slot) const
{
    return m_engine->score(slot);
}

int GameServer::highlightedSlot() const
{
    return m_engine->highlightedSlot();
}

QString GameServer::remoteAddress(int slot) const
{
    return valid(slot) && m_seats[slot] ? m_seats[slot]->addressText() : QString();
}

// ---------------------------------------------------------------- log

bool GameServer::logFrom(int slot, const QString &text, bool chat)
{
    return m_log.from(valid(slot) && m_seats[slot] ? m_seats[slot]->key() : QString(), text, chat);
}

// Names, notices and stray payloads come from the network: the log escapes
// them, none of them can forge a console line or act on the headless host's terminal.
void GameServer::appendChatLine(const QString &text)
{
    m_log.chat(text);
}

void GameServer::appendSystemLine(const QString &text)
{
    m_log.system(text);
}

void GameServer::announce(const QString &text)
{
    if (text.isEmpty()) return;
    appendChatLine(msg::announcementLog(text));
    broadcast(cmd::System, msg::announcement(text));
}

// ---------------------------------------------------------------- sending

void GameServer::sendEncoded(const QByteArray &line, int exceptSlot)
{
    sendBlock(line, 0, line.size(), exceptSlot);
}

void GameServer::sendBlock(const QByteArray &block, qsizetype offset, qsizetype size, int exceptSlot)
{
    // A joining connection hears only what its own handshake causes.
    for (int i = 0; i < Slots; ++i) {
        if (i != exceptSlot && m_seats[i] && m_seats[i]->state == Seat::State::Seated && m_seats[i]->isOpen())
            m_seats[i]->transport()->send(block, offset, size);
    }
}

void GameServer::relay(const QString &command, const QString &text, int originSlot)
{
    sendEncoded(LineSocket::encodeLine(command, text), originSlot);
}

void GameServer::broadcast(const QString &command, const QString &text)
{
    sendEncoded(LineSocket::encodeLine(command, text), -1);
}

void GameServer::sendTo(const QString &command, const QString &text, int slot)
{
    if (valid(slot) && m_seats[slot] && m_seats[slot]->isOpen())
        m_seats[slot]->transport()->send(LineSocket::encodeLine(command, text));
}

void GameServer::noticeToSeated(const QString &text)
{
    broadcast(cmd::System, text);
}

void GameServer::sendMarks(int joiningSlot)
{
    broadcastReadys();
    sendTo(cmd::Ready, m_table.readysList(), joiningSlot);
}

void GameServer::broadcastPlayers()
{
    broadcast(cmd::Names, m_table.namesList());
    markPlayersChanged();
}

void GameServer::broadcastReadys()
{
    broadcast(cmd::Ready, m_table.readysList());
    markPlayersChanged();
}

void GameServer::broadcastScores()
{
    broadcast(cmd::Scores, PlayerTable::scoresList(m_engine->scores()));
    markPlayersChanged();
}

void GameServer::markPlayersChanged()
{
    // A hit changes labels and scores at once: the console redraws once.
    if (m_playersDue) return;
    m_playersDue = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_playersDue = false;
            m_lobby.setStatus(roomStatus());
            emit playersChanged();
        },
        Qt::QueuedConnection);
}

void GameServer::updatePlayerLabels()
{
    for (int i = 0; i < Slots; ++i)
        m_labels[i] = m_table.names[i] + QStringLiteral(" Score: ") + QString::number(m_engine->score(i));
    markPlayersChanged();
}

// ---------------------------------------------------------------- console

void GameServer::setDictionaryMode(int mode)
{
    m_bank.setMode(mode);
}

void GameServer::rescanDictionaries()
{
    m_bank.rescan();
}

bool GameServer::tickDictionary(const QString &entry, bool ticked, QStringList *failures)
{
    return m_bank.setTicked(entry, ticked, failures);
}

QString GameServer::lobbyStatus() const
{
    return m_lobby.statusText();
}

void GameServer::shortenLobbyWait()
{
    m_lobby.shortenWait();
}

} // namespace zb
