#pragma once

#include <QObject>
#include <QString>

namespace zb {

class LineRelay;
class RoomLog;
class RoundEngine;
class Seats;

// What a seated player says besides drawing: chat (every guess is a chat
// line), readiness, and the lines a player has no business sending, which
// are dropped without a word to anybody.
class PlayerLines : public QObject {
    Q_OBJECT
  public:
    PlayerLines(Seats &seats, RoundEngine &round, LineRelay &relay, RoomLog &log, QObject *parent = nullptr);

    // A decoded line from a seated player.
    void handle(int slot, const QString &command, const QString &payload);

  signals:
    // The slot's readiness mark changed; everybody must hear it before the
    // game may start on it.
    void markChanged(int slot);

  private:
    bool logFrom(int slot, const QString &text, bool chat);

    Seats &m_seats;
    RoundEngine &m_round;
    LineRelay &m_relay;
    RoomLog &m_log;
};

} // namespace zb
