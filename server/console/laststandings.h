#pragma once

#include "standings.h"

#include <QLabel>

namespace zb {

class GameServer;

// The last game's final standings under the seats. The server clears every
// score the moment a game ends, so the scores are remembered while the game
// runs; they stay in view until the next game starts.
class LastStandings : public QLabel {
    Q_OBJECT
  public:
    explicit LastStandings(QWidget *parent = nullptr);

    // Called whenever the seats or the clock change.
    void follow(GameServer &server);
    const QList<Standing> &standings() const { return m_shown; }

  private:
    bool m_running = false;
    QList<Standing> m_seen;
    QList<Standing> m_shown;
};

} // namespace zb
