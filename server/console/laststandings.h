#pragma once

#include "shared/standings.h"

#include <QLabel>

namespace zb {

class RoundEngine;

// The last game's final standings under the seats, as the game's end reports
// them; they stay in view until the next game starts.
class LastStandings : public QLabel {
    Q_OBJECT
  public:
    explicit LastStandings(QWidget *parent = nullptr);

    // Shows what the games of this engine end with.
    void follow(const RoundEngine &round);
    const QList<Standing> &standings() const { return m_shown; }

  private:
    void show(const QList<Standing> &standings);

    QList<Standing> m_shown;
};

} // namespace zb
