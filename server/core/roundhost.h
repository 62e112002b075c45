#pragma once

#include <QString>

namespace zb {

// Where the announcer of a game's events sends what it makes of them: lines
// to the players, lines in the host's log and fresh player labels. The room
// implements it; everything else about the room stays out of reach.
class RoundHost {
  public:
    // To every seated player.
    virtual void broadcast(const QString &command, const QString &text) = 0;
    // To the connection in one slot.
    virtual void sendTo(const QString &command, const QString &text, int slot) = 0;
    // Everybody's "OK"/"NG" marks, to every seated player.
    virtual void broadcastReadys() = 0;
    // Everybody's scores, to every seated player.
    virtual void broadcastScores() = 0;
    // A system line in the host's log (not sent to anybody).
    virtual void roundLog(const QString &text) = 0;
    // Scores or marks changed: the player labels are built anew.
    virtual void refreshPlayerList() = 0;

  protected:
    // The announcer never owns its host.
    ~RoundHost() = default;
};

} // namespace zb
