#pragma once

#include "shared/standings.h"

#include <QObject>

namespace zb {

class RoundEngine;
class RoundHost;
struct PlayerTable;

// Turns what the round engine reports into what the players and the host
// read: the lines on the wire in the order a player's program expects them,
// and the host's log lines. It also keeps the readiness marks, which go back
// to "NG" when a game ends.
class RoundAnnouncer : public QObject {
    Q_OBJECT
  public:
    RoundAnnouncer(const RoundEngine &engine, PlayerTable &table, RoundHost &host, QObject *parent = nullptr);

  private:
    void gameStarting(int turn, const QString &roundText);
    void turnStarted(int drawer, const QString &word);
    void turnTimedOut(const QString &word);
    void guessed(int guesser, int drawer, const QString &word, int points);
    void drawerGone(const QString &word);
    void nextTurnSoon(int turn, const QString &roundText);
    void gameEnded(const QList<Standing> &standings, int winner);
    void backToWaiting();

    PlayerTable &m_table;
    RoundHost &m_host;
};

} // namespace zb
