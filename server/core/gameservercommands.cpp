// GameServer, second half: the seats, the one release, the lines players send
// and the moderation clock.
#include "gameserver.h"

#include "addresskey.h"
#include "banlist.h"
#include "linerelay.h"
#include "messages.h"
#include "playerlines.h"
#include "roundengine.h"
#include "textclean.h"

namespace zb {

namespace {
// A new connection has three clock ticks to introduce itself, but never less
// than this: a quickened clock must not turn away a client that is merely slow.
constexpr int MinJoinMs = 2000;
// A seated player from whom nothing arrives for this long is released: the
// player's program cuts itself after ten minutes without a player's action,
// so only a connection that went silent meets it.
constexpr int IdleMinutes = 11;
constexpr int IdleTicks = IdleMinutes * 60;
} // namespace

// ---------------------------------------------------------------- seats

int GameServer::findSeat()
{
    // Only named players count towards the limit.
    if (m_seats.playerCount() >= m_settings.playerMax()) return -1;
    const int slot = m_seats.freeSlot();
    return slot >= 0 ? slot : makeRoomForJoiner();
}

int GameServer::makeRoomForJoiner()
{
    // Every free seat is held by a connection that has not said its name. A
    // player's program sends its three join lines at once, so the oldest of
    // them is a stranger holding a seat: it gives way.
    const int oldest = m_seats.oldestJoining();
    if (oldest < 0) return -1;
    logFrom(oldest, msg::joinerGaveWay(oldest));
    release(oldest, false);
    return m_seats.busy(oldest) ? -1 : oldest;
}

void GameServer::seat(int slot, Transport *transport)
{
    transport->setParent(this);
    m_seats.place(slot,
                  std::make_unique<Seat>(transport, FloodGuard(m_config.strokeBudget()), ++m_acceptCount,
                                         qMax(3, (MinJoinMs + m_tickMs - 1) / m_tickMs)));
    // The seat may be gone, or hold another connection, by the time a signal arrives.
    const auto current = [this, slot, seat = m_seats.at(slot)] { return m_seats.at(slot) == seat; };
    connect(transport, &Transport::dataArrived, this, [this, slot, current] {
        if (!current()) return;
        m_seats.at(slot)->idleTicks = 0;
        emit dataArrived(slot);
    });
    connect(transport, &Transport::readyRead, this, [this, slot, current] {
        if (!current()) return;
        m_relay->linesWaiting(slot);
    });
    connect(transport, &Transport::closed, this,
            [this, slot, current](int errorNumber, const QString &description) {
                if (!current()) return;
                if (errorNumber != 0) m_log.system(msg::clientError(slot, errorNumber, description));
                release(slot, errorNumber == 0);
            });
    connect(transport, &Transport::inputOverflow, this, [this, slot, current] {
        if (!current()) return;
        m_log.system(msg::clientLineTooLong(slot));
        release(slot, false);
    });
    connect(transport, &Transport::outputOverflow, this, [this, slot, current] {
        if (!current()) return;
        m_log.system(msg::clientNotReading(slot));
        release(slot, false);
    });
    logFrom(slot, msg::clientConnected(slot));
    m_seats.setJoiningLabel(slot);
    markPlayersChanged();
}

void GameServer::release(int slot, bool graceful, const QString &reason)
{
    if (!valid(slot)) return;
    logFrom(slot, msg::clientDisconnected(slot));
    std::unique_ptr<Seat> seat = m_seats.take(slot);
    m_relay->forget(slot);
    const bool seated = seat && seat->state == Seat::State::Seated;
    if (seat) {
        if (seat->ignoredLines > 1) m_log.from(seat->key(), msg::ignoredTotal(slot, seat->ignoredLines));
        if (!reason.isEmpty() && seat->isOpen())
            seat->transport()->send(LineSocket::encodeLine(cmd::System, reason));
        // With a reason, the close waits until it has gone out.
        seat->close(graceful || !reason.isEmpty());
    }
    PlayerTable &table = m_seats.table();
    if (!seated) {
        // Nobody was told it came, so nobody is told it leaves.
        table.clearRow(slot);
        updatePlayerLabels();
        return;
    }
    broadcast(cmd::System, msg::playerLeft(table.names[slot]));
    broadcast(cmd::Sound, QStringLiteral("disconnect"));
    table.clearRow(slot);
    broadcastPlayers();
    updatePlayerLabels();
    const int left = m_seats.playerCount();
    if (left == 0)
        reset();
    else if (left == 1)
        m_engine->resetToWaiting();
    else
        m_engine->playerLeft(slot);
}

void GameServer::seatPlayer(int slot, const QString &name)
{
    PlayerTable &table = m_seats.table();
    QStringList seated;
    for (const QString &taken : table.names) {
        if (!taken.isEmpty()) seated << taken;
    }
    const QString unique = uniqueName(name, seated);
    Seat *seat = m_seats.at(slot);
    seat->state = Seat::State::Seated;
    seat->idleTicks = 0;
    table.names[slot] = unique;
    m_engine->playerSeated(slot);
    logFrom(slot, msg::clientName(slot, unique));
    logFrom(slot, seat->addressText());

    broadcast(cmd::System, msg::playerJoined(unique));
    broadcastPlayers();
    broadcastReadys();
    broadcastScores();
    broadcast(cmd::Sound, QStringLiteral("connect"));
    sendTo(slot, cmd::System, msg::DictionaryListHeading);
    sendTo(slot, cmd::System, m_bank.dictionaryList());
    sendTo(slot, cmd::System, msg::GameSettingsHeading);
    sendTo(slot, cmd::System, m_settings.settingsLine());
    updatePlayerLabels();
}

// ---------------------------------------------------------------- moderation

void GameServer::onModerationTick()
{
    m_admission.tick();
    m_log.tick();
    for (int i = 0; i < Slots; ++i) {
        Seat *seat = m_seats.at(i);
        if (!seat || seat->joinTicks == -1 || --seat->joinTicks > 0) continue;
        logFrom(i, msg::strangerKicked(i));
        logFrom(i, m_seats.addressText(i));
        release(i, false);
    }
    // A silent seat holds up every game, which needs everybody ready; while a
    // player is alone nobody waits for him, as his own program sees it too.
    const bool othersWait = m_seats.playerCount() >= 2;
    for (int i = 0; i < Slots; ++i) {
        if (!othersWait || !m_seats.seated(i) || ++m_seats.at(i)->idleTicks < IdleTicks) continue;
        logFrom(i, msg::clientIdle(i, IdleMinutes));
        release(i, true, msg::IdleReason);
    }
    for (int i = 0; i < Slots; ++i) {
        // The flooder goes, before the players who read him fall behind.
        if (m_seats.busy(i) && m_seats.at(i)->budget.tick()) {
            m_log.system(msg::clientFlooding(i));
            release(i, true, msg::FloodedReason);
        }
    }
    m_door.tick();
}

void GameServer::kick(int slot, bool withBan)
{
    if (!valid(slot)) return;
    if (withBan && m_seats.busy(slot) && !BanList::add(m_seats.name(slot), m_seats.at(slot)->address()))
        m_log.system(msg::BanFileUnwritable);
    release(slot, true, withBan ? msg::BannedReason : msg::KickedReason);
}

// ---------------------------------------------------------------- lines

void GameServer::receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines)
{
    if (valid(slot)) m_relay->relay(slot, block, lines);
}

void GameServer::handleLine(int slot, const QString &command, const QString &payload)
{
    if (!m_seats.busy(slot)) return;
    if (m_seats.seated(slot))
        m_talk->handle(slot, command, payload);
    else
        m_admission.handle(slot, command, payload);
}

} // namespace zb
