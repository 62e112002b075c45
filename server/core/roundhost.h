#pragma once

#include <QString>

namespace zb {

// What the round engine needs of the room it runs in: lines to the players,
// lines in the host's log and fresh player labels. Everything else about the
// room (sockets, joining, moderation, the lobby) stays out of the engine's reach.
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
    // The engine never owns its host.
    ~RoundHost() = default;
};

} // namespace zb
