#pragma once

#include <QString>
#include <functional>

namespace zb {

class RoomLog;
class Seats;

// The seats' share of the moderation clock: a connection that has not named
// itself in time, a seated player from whom nothing has come for too long,
// and a flooder each leave through the room's one way out.
class SeatWatch {
  public:
    // The room's release: slot, graceful, the reason line (may be empty).
    using Release = std::function<void(int, bool, const QString &)>;

    SeatWatch(Seats &seats, RoomLog &log, Release release);

    // The clock ticks a new connection has to introduce itself.
    static int joinTicks(int tickMs);
    void tick();

  private:
    void logFrom(int slot, const QString &text);

    Seats &m_seats;
    RoomLog &m_log;
    Release m_release;
};

} // namespace zb
