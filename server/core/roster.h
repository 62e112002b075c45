#pragma once

#include "server/core/roundhost.h"

#include <QObject>
#include <QString>

namespace zb {

class RoomLog;
class RoundEngine;
class Seats;

// The players as everybody sees them: the names, readiness marks and scores
// the players are sent, the arrivals and departures they hear, and the seat
// labels the host sees. What the round's announcer says goes out through it.
class Roster : public QObject, public RoundHost {
    Q_OBJECT
  public:
    Roster(Seats &seats, const RoundEngine &round, RoomLog &log, QObject *parent = nullptr);

    void broadcast(const QString &command, const QString &text) override;
    void sendTo(const QString &command, const QString &text, int slot) override;
    void broadcastReadys() override;
    void broadcastScores() override;
    void roundLog(const QString &text) override;
    void refreshPlayerList() override;

    // The marks to everybody, and the whole list to a joiner, who has no
    // seat among the readers yet.
    void sendMarks(int joiningSlot);
    // The seat's player has been named: everybody hears it and gets the lists.
    void announceArrival(int slot);
    // The seated player in the slot leaves; his row is cleared.
    void announceDeparture(int slot);
    // A seat's label changed without a word on the wire (a joiner came).
    void seatChanged();

  signals:
    // Names, marks, scores, labels or the drawer changed: once for all that
    // changes in one event.
    void changed();

  private:
    void markChanged();

    Seats &m_seats;
    const RoundEngine &m_round;
    RoomLog &m_log;
    bool m_changeDue = false;
};

} // namespace zb
