#pragma once

#include "messages.h"

#include <QObject>
#include <QString>

namespace zb {

class QuestionBank;
class RoundHost;
struct PlayerTable;

// Runs the games: waits for everybody to be ready, hands the pen round the
// occupied slots, draws a word per turn, counts the clock down, recognises the
// first right guess, scores it and names the winner after the last round.
//
// The clock has two phases per turn: a lead-in (125 before the first turn of a
// game, 130 before every later one) and the drawing phase, which starts when
// it shows 120 and times out at 0. -1 means idle.
class RoundEngine : public QObject {
    Q_OBJECT
  public:
    RoundEngine(RoundHost &host, PlayerTable &table, QuestionBank &bank, QObject *parent = nullptr);

    void setRoundMax(int rounds) { m_roundMax = rounds; }
    int roundMax() const { return m_roundMax; }

    int timeLeft() const { return m_timeLeft; }
    int drawerSlot() const { return m_drawerSlot; }
    bool gameRunning() const { return m_gameRunning; }
    bool isGameOver() const { return m_gameOver; }
    int turnNumber() const { return m_turnNumber; }
    int roundIndex() const { return m_roundIndex; }
    QString currentWord() const { return m_currentQuestion; }
    // The console's word line: "お題", "？？？", circles, letter hints or the word.
    QString questionLabel() const { return m_questionLabel; }
    // The slot whose player label is shown as the drawer; -1 for none.
    int highlightedSlot() const { return m_highlight; }

    // One tick of the round clock.
    void onClockTick();
    // Starts a game when every seated player (two or more) is "OK".
    void startIfAllReady();
    void checkGuess(int slot, const QString &line);

    // Called by the slot release once the row is cleared and two or more
    // players remain: the drawer leaving ends the turn at once; between games
    // the others may all be ready now.
    void playerLeft(int slot);
    // Back to the ready stage without a winner (one player left).
    void resetToWaiting();
    void reset();

    static int leadingSlot(const PlayerTable &table);

  signals:
    void clockChanged(int timeLeft);
    void questionLabelChanged(const QString &text);
    void labelsChanged();
    // The console mirror is cleared to this palette colour.
    void screenCleared(int paletteIndex);

  private:
    void setWord();
    bool passPen();
    // A seated, ready slot above `slot`: the drawer search would not wrap.
    bool drawerAbove(int slot) const;
    void nextWord();
    void endGame();
    void setTimeLeft(int value);
    void setQuestionLabel(const QString &text);
    void setHighlight(int slot);
    QString roundText() const;

    RoundHost &m_host;
    PlayerTable &m_table;
    QuestionBank &m_bank;
    int m_timeLeft = -1;
    int m_drawerSlot = 0;
    // The next drawer search starts above this slot: the last drawer within a
    // round, -1 once the round is over.
    int m_searchFrom = -1;
    QString m_currentQuestion;
    bool m_gameRunning = false;
    int m_turnNumber = 1;
    bool m_gameOver = false;
    bool m_answered = false;
    int m_roundIndex = 0;
    int m_roundMax = 3;
    QString m_questionLabel = msg::QuestionCaption;
    int m_highlight = -1;
};

} // namespace zb
