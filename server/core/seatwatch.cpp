#include "server/core/seatwatch.h"

#include "server/core/roomlog.h"
#include "server/core/seats.h"
#include "server/texts/messages.h"

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

SeatWatch::SeatWatch(Seats &seats, RoomLog &log, Release release)
    : m_seats(seats), m_log(log), m_release(std::move(release))
{
}

int SeatWatch::joinTicks(int tickMs)
{
    return qMax(3, (MinJoinMs + tickMs - 1) / tickMs);
}

void SeatWatch::logFrom(int slot, const QString &text)
{
    m_log.from(m_seats.busy(slot) ? m_seats.at(slot)->key() : QString(), text);
}

void SeatWatch::tick()
{
    for (int i = 0; i < Seats::Slots; ++i) {
        Seat *seat = m_seats.at(i);
        if (!seat || seat->joinTicks == -1 || --seat->joinTicks > 0) continue;
        logFrom(i, msg::strangerKicked(i));
        logFrom(i, m_seats.addressText(i));
        m_release(i, false, QString());
    }
    // A silent seat holds up every game, which needs everybody ready; while a
    // player is alone nobody waits for him, as his own program sees it too.
    const bool othersWait = m_seats.playerCount() >= 2;
    for (int i = 0; i < Seats::Slots; ++i) {
        if (!othersWait || !m_seats.seated(i) || ++m_seats.at(i)->idleTicks < IdleTicks) continue;
        logFrom(i, msg::clientIdle(i, IdleMinutes));
        m_release(i, true, msg::IdleReason);
    }
    for (int i = 0; i < Seats::Slots; ++i) {
        // The flooder goes, before the players who read him fall behind.
        if (m_seats.busy(i) && m_seats.at(i)->budget.tick()) {
            m_log.system(msg::clientFlooding(i));
            m_release(i, true, msg::FloodedReason);
        }
    }
}

} // namespace zb
