// GameServer, second half: the seats, the one release, the lines players send
// and the moderation clock.
#include "server/core/gameserver.h"

#include "server/core/banlist.h"
#include "server/core/linerelay.h"
#include "server/core/playerlines.h"
#include "server/core/roster.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/addresskey.h"
#include "shared/textclean.h"

namespace zb {

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
    m_seats.place(slot, std::make_unique<Seat>(transport, FloodGuard(m_config.strokeBudget()),
                                               ++m_acceptCount, SeatWatch::joinTicks(m_config.tickMs())));
    // The seat may be gone, or hold another connection, by the time a signal arrives.
    const auto ifCurrent = [this, slot, seat = m_seats.at(slot)](auto handler) {
        return [this, slot, seat, handler](auto... args) {
            if (m_seats.at(slot) == seat) handler(args...);
        };
    };
    const auto cut = [this, slot](const QString &why) {
        m_log.system(why);
        release(slot, false);
    };
    connect(transport, &Transport::dataArrived, this, ifCurrent([this, slot] {
                m_seats.at(slot)->idleTicks = 0;
                m_relay->arrived(slot);
            }));
    connect(transport, &Transport::readyRead, this, ifCurrent([this, slot] { m_relay->linesWaiting(slot); }));
    connect(transport, &Transport::closed, this,
            ifCurrent([this, slot](int errorNumber, const QString &description) {
                if (errorNumber != 0) m_log.system(msg::clientError(slot, errorNumber, description));
                release(slot, errorNumber == 0);
            }));
    connect(transport, &Transport::inputOverflow, this,
            ifCurrent([cut, slot] { cut(msg::clientLineTooLong(slot)); }));
    connect(transport, &Transport::outputOverflow, this,
            ifCurrent([cut, slot] { cut(msg::clientNotReading(slot)); }));
    logFrom(slot, msg::clientConnected(slot));
    m_seats.setJoiningLabel(slot);
    m_roster->seatChanged();
}

void GameServer::release(int slot, bool graceful, const QString &reason)
{
    if (!Seats::valid(slot)) return;
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
    if (!seated) {
        // Nobody was told it came, so nobody is told it leaves.
        m_seats.table().clearRow(slot);
        m_roster->refreshPlayerList();
        return;
    }
    m_roster->announceDeparture(slot);
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

    m_roster->announceArrival(slot);
    sendTo(slot, cmd::System, msg::DictionaryListHeading);
    sendTo(slot, cmd::System, m_bank.dictionaryList());
    sendTo(slot, cmd::System, msg::GameSettingsHeading);
    sendTo(slot, cmd::System, m_settings.settingsLine());
    m_roster->refreshPlayerList();
}

// ---------------------------------------------------------------- moderation

void GameServer::onModerationTick()
{
    m_admission.tick();
    m_log.tick();
    m_watch.tick();
    m_door.tick();
}

void GameServer::kick(int slot, bool withBan)
{
    if (!Seats::valid(slot)) return;
    if (withBan && m_seats.busy(slot) && !BanList::add(m_seats.name(slot), m_seats.at(slot)->address()))
        m_log.system(msg::BanFileUnwritable);
    release(slot, true, withBan ? msg::BannedReason : msg::KickedReason);
}

// ---------------------------------------------------------------- lines

void GameServer::receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines)
{
    if (Seats::valid(slot)) m_relay->relay(slot, block, lines);
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
