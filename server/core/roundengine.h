#pragma once

#include "server/texts/messages.h"
#include "shared/standings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <array>

namespace zb {

class QuestionBank;
struct PlayerTable;

// Runs the games: waits for everybody to be ready, hands the pen round the
// seated players, draws a word per turn, counts the clock down, recognises the
// first right guess, keeps the scores and names the winner after the last
// round. It reads who is seated and ready from the room's table and changes
// nothing outside itself: what happens goes out as events, which the room
// turns into lines on the wire and the console shows.
//
// The clock has two phases per turn: a lead-in (125 before the first turn of a
// game, 130 before every later one) and the drawing phase, which starts when
// it shows 120 and times out at 0. -1 means idle.
class RoundEngine : public QObject {
    Q_OBJECT
  public:
    static constexpr int Slots = 8;

    RoundEngine(const PlayerTable &table, QuestionBank &bank, QObject *parent = nullptr);

    void setRoundMax(int rounds) { m_roundMax = rounds; }
    int roundMax() const { return m_roundMax; }

    int timeLeft() const { return m_timeLeft; }
    int drawerSlot() const { return m_drawerSlot; }
    bool gameRunning() const { return m_gameRunning; }
    int roundIndex() const { return m_roundIndex; }
    QString currentWord() const { return m_currentQuestion; }
    // The console's word line: "お題", "？？？", circles, letter hints or the word.
    QString questionLabel() const { return m_questionLabel; }
    // The slot whose player label is shown as the drawer; -1 for none.
    int highlightedSlot() const { return m_highlight; }
    int score(int slot) const { return slot >= 0 && slot < Slots ? m_scores[slot] : 0; }
    const std::array<int, Slots> &scores() const { return m_scores; }

    // One tick of the round clock.
    void onClockTick();
    // Starts a game when every seated player (two or more) is "OK".
    void startIfAllReady();
    void checkGuess(int slot, const QString &line);
    // A player took the seat: his score starts at 0.
    void playerSeated(int slot);
    // Called by the slot release once the row is cleared and two or more
    // players remain: the drawer leaving ends the turn at once; between games
    // the others may all be ready now.
    void playerLeft(int slot);
    // Back to the ready stage without a winner (one player left).
    void resetToWaiting();
    void reset();

    // The seated slot with the highest score, ties to the higher slot; -1 for none.
    static int leadingSlot(const PlayerTable &table, const std::array<int, Slots> &scores);

  signals:
    // Every seated player is ready: the first turn follows the lead-in.
    void gameStarting(int turn, const QString &roundText);
    // The pen goes to `drawer`, who draws `word`.
    void turnStarted(int drawer, const QString &word);
    void turnTimedOut(const QString &word);
    // The first right guess: guesser and drawer each gained `points`.
    void guessed(int guesser, int drawer, const QString &word, int points);
    // The drawer left while drawing; nobody can finish the word.
    void drawerGone(const QString &word);
    void nextTurnSoon(int turn, const QString &roundText);
    // The last round is over: the final ranking, and the winner's slot (-1
    // when nobody scored).
    void gameEnded(const QList<Standing> &standings, int winner);
    // Scores are cleared and the room goes back to its ready stage.
    void backToWaiting();

    void clockChanged(int timeLeft);
    void questionLabelChanged(const QString &text);
    void highlightChanged(int slot);
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

    const PlayerTable &m_table;
    QuestionBank &m_bank;
    std::array<int, Slots> m_scores{};
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
