#include "server/core/gameserver.h"

#include "server/core/linerelay.h"
#include "server/core/playerlines.h"
#include "server/core/roster.h"
#include "server/core/roundannouncer.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/fileutil.h"
#include "shared/textclean.h"
#include "shared/version.h"

#include <QRandomGenerator>

namespace zb {

namespace {
const QString kVersion = QString::fromLatin1(ProtocolVersion);
} // namespace

GameServer::GameServer(int tickMs, QObject *parent)
    : QObject(parent), m_engine(new RoundEngine(m_seats.table(), m_bank, this)),
      m_roster(new Roster(m_seats, *m_engine, m_log, this)),
      m_announcer(new RoundAnnouncer(*m_engine, m_seats.table(), *m_roster, this)),
      m_relay(new LineRelay(m_seats, *m_engine, m_log, this)),
      m_talk(new PlayerLines(m_seats, *m_engine, *m_relay, m_log, this)), m_config(tickMs)
{
    connect(&m_door, &RoomDoor::arrived, this, &GameServer::seat);
    m_roundClock.setInterval(m_config.tickMs());
    m_moderationClock.setInterval(m_config.tickMs());
    connect(&m_roundClock, &QTimer::timeout, this, [this] {
        updateCaption();
        m_engine->onClockTick();
    });
    connect(&m_moderationClock, &QTimer::timeout, this, &GameServer::onModerationTick);

    connect(m_roster, &Roster::changed, this, [this] {
        m_lobby.setStatus(roomStatus());
        emit playersChanged();
    });
    connect(m_relay, &LineRelay::lineReceived, this, &GameServer::handleLine);
    connect(m_talk, &PlayerLines::markChanged, m_roster, &Roster::broadcastReadys);

    connect(&m_bank, &QuestionBank::systemText, &m_log, &RoomLog::system);
    connect(&m_door, &RoomDoor::systemText, &m_log, &RoomLog::system);
    connect(&m_door, &RoomDoor::roomFullStateChanged, this, &GameServer::updateCaption);

    m_lobby.setTickMs(m_config.tickMs());
    connect(&m_lobby, &LobbyLink::systemText, &m_log, &RoomLog::system);
    connect(&m_lobby, &LobbyLink::silenceChanged, this, &GameServer::updateCaption);
    // A hostile lobby could fill the host's log like any stranger.
    connect(&m_lobby, &LobbyLink::notice, this,
            [this](const QString &text) { m_log.from(msg::LobbySource, loggedText(text)); });

    m_seats.updateLabels(m_engine->scores());
    updateCaption();
    m_roundClock.start();
    m_moderationClock.start();
}

GameServer::~GameServer()
{
    // Connections closed during destruction must not call back into a half-destroyed server.
    m_seats.clear();
    disconnect(&m_lobby, nullptr, this, nullptr);
    disconnect(&m_bank, nullptr, this, nullptr);
    disconnect(&m_door, nullptr, this, nullptr);
}

// ---------------------------------------------------------------- start-up

void GameServer::prepare()
{
    makePath(programFile(QStringLiteral("zbq")));
    m_bank.rescan();
    m_log.system(QStringLiteral("zbserver Ver.") + kVersion);
}

GameServer::StartResult GameServer::startOrApply(const ServerSettings &input)
{
    m_startError.clear();
    for (const QString &text : RoomConfig::applyDictionaries(m_bank, input))
        m_log.system(text);
    if (m_bank.loadDictionaries() == 0) return StartResult::NoWords;

    ServerSettings s = input;
    s.roundMaxIndex = qBound(0, s.roundMaxIndex, 3);
    s.playerMaxIndex = qBound(0, s.playerMaxIndex, 5);
    s.tickedDictionaries = m_bank.tickedEntries();
    m_bank.setQuestionControl(s.questionControl);

    if (listeningPort() == 0) {
        s = RoomConfig::cleaned(s);
        m_startError = m_door.open(s.port, m_config.browserPlay());
        if (!m_startError.isEmpty()) return StartResult::PortRefused;
        s.port = QString::number(listeningPort());
        // Said only once the port is ours: hosts and scripts take it as the go-ahead.
        m_log.system(msg::WaitingForPlayers);
        m_settings = s;
        m_engine->setRoundMax(s.roundMax());
        reset();
        m_lobby.setAddress(m_config.lobbyAddress());
        m_lobby.setStatus(roomStatus());
        if (m_settings.lobbyRegister) m_lobby.start();
        updateCaption();
        m_config.save(m_settings, input, ServerSettings::AllFields);
        return StartResult::Started;
    }

    m_seats.broadcast(cmd::System, msg::DictionaryListHeading);
    m_seats.broadcast(cmd::System, m_bank.dictionaryList());
    m_settings.take(s, ServerSettings::GameFields);
    m_engine->setRoundMax(m_settings.roundMax());
    m_seats.broadcast(cmd::System, msg::GameSettingsHeading);
    m_seats.broadcast(cmd::System, m_settings.settingsLine());
    m_lobby.setStatus(roomStatus(), true);
    updateCaption();
    m_config.save(m_settings, input, ServerSettings::GameFields);
    return StartResult::Reapplied;
}

quint16 GameServer::listeningPort() const
{
    return m_door.port();
}

void GameServer::reset()
{
    // A connection still introducing itself keeps its seat, with its time-out
    // and the version it sent, or it would hold the slot for ever.
    for (int i = 0; i < Seats::Slots; ++i) {
        m_seats.table().names[i].clear();
        m_seats.table().readiness[i] = QStringLiteral("NG");
    }
    m_lobby.reset();
    m_bank.reseed(QRandomGenerator::global()->generate());
    m_engine->reset();
    m_roster->refreshPlayerList();
}

void GameServer::updateCaption()
{
    const QString caption = QStringLiteral("zbserver Port:") + QString::number(listeningPort()) +
                            QStringLiteral(" [") + QString::number(m_door.roomFullState()) +
                            QStringLiteral("] [") + QString::number(m_lobby.silence()) + QLatin1Char(']');
    if (caption != m_caption) {
        m_caption = caption;
        emit captionChanged(caption);
    }
}

RoomStatus GameServer::roomStatus() const
{
    const auto &names = m_seats.table().names;
    return RoomStatus::of(m_settings, m_bank.dictionaryList(), QStringList(names.begin(), names.end()));
}

bool GameServer::gameRunning() const
{
    return m_engine->gameRunning();
}

bool GameServer::logFrom(int slot, const QString &text, bool chat)
{
    return m_log.from(m_seats.busy(slot) ? m_seats.at(slot)->key() : QString(), text, chat);
}

void GameServer::sendMarks(int joiningSlot)
{
    m_roster->sendMarks(joiningSlot);
}

void GameServer::announce(const QString &text)
{
    if (text.isEmpty()) return;
    m_log.chat(msg::announcementLog(text));
    m_seats.broadcast(cmd::System, msg::announcement(text));
}

} // namespace zb
