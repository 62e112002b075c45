#pragma once

#include "client/core/messages.h"

#include <QObject>
#include <QString>

namespace zb {

// The turn as this client sees it: who draws, the word, the client's own
// turn clock and what the word line shows while it runs.
class RoundState : public QObject {
    Q_OBJECT
  public:
    static constexpr int TurnSeconds = 120;

    explicit RoundState(QObject *parent = nullptr);

    int mySlot = -1;
    int drawerSlot = -2;
    QString currentWord;
    bool inGame = false;

    // Shows the drawer's word in the floating window instead of the word line.
    void setQuestionWindow(bool on) { m_questionWindow = on; }
    bool questionWindow() const { return m_questionWindow; }

    bool isDrawer() const { return drawerSlot == mySlot; }
    // Remaining seconds; -1 when no clock runs.
    int timeLimit() const { return m_timeLimit; }
    QString timeLimitText() const { return QString::number(m_timeLimit); }
    QString questionText() const { return m_question; }
    QString questionWindowText() const { return m_questionWindowText; }

    // Drawing is allowed to the drawer while the clock shows time, and to
    // everybody between games.
    bool mayDraw() const { return (isDrawer() || !inGame) && (m_timeLimit > 0 || !inGame); }
    bool mayFill() const { return isDrawer() || !inGame; }

    void reset();
    void startTurn(int drawer, const QString &word);
    // A hit: the clock stops and the word is shown.
    void stopAndReveal();
    void stopClock() { setTimeLimit(-1); }
    // One second of the turn clock.
    void onClockTick();

  signals:
    void timeLimitChanged(int seconds);
    void questionTextChanged(const QString &text);
    void questionWindowTextChanged(const QString &text);
    // The clock reached 0: the word is shown and strokes in progress end.
    void timeUp();

  private:
    void setTimeLimit(int t);
    void setQuestion(const QString &text);

    bool m_questionWindow = false;
    int m_timeLimit = -1;
    QString m_question = msg::Question;
    QString m_questionWindowText = msg::Question;
};

} // namespace zb
