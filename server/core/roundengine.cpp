#include "roundengine.h"

#include "letterhint.h"
#include "messages.h"
#include "playertable.h"
#include "protocol.h"
#include "questionbank.h"
#include "roundhost.h"

namespace zb {

namespace {
const QString kOk = QStringLiteral("OK");
constexpr int DrawingStart = 120;
constexpr int FirstLeadIn = 125;
constexpr int NextLeadIn = 130;
} // namespace

RoundEngine::RoundEngine(RoundHost &host, PlayerTable &table, QuestionBank &bank, QObject *parent)
    : QObject(parent), m_host(host), m_table(table), m_bank(bank)
{
}

void RoundEngine::setTimeLeft(int value)
{
    m_timeLeft = value;
    emit clockChanged(value);
}

void RoundEngine::setQuestionLabel(const QString &text)
{
    m_questionLabel = text;
    emit questionLabelChanged(text);
}

void RoundEngine::setHighlight(int slot)
{
    m_highlight = slot;
    emit labelsChanged();
}

QString RoundEngine::roundText() const
{
    return msg::roundSuffix(m_roundIndex + 1, m_roundMax);
}

void RoundEngine::onClockTick()
{
    if (m_timeLeft == -1) return;
    setTimeLeft(m_timeLeft - 1);
    if (m_timeLeft < DrawingStart && m_timeLeft > 0) {
        const QString hint = letterHint(m_currentQuestion, m_timeLeft);
        if (!hint.isNull()) setQuestionLabel(hint);
    }
    if (m_timeLeft == DrawingStart) {
        setWord();
        ++m_turnNumber;
    }
    if (m_timeLeft == 0) {
        setQuestionLabel(m_currentQuestion);
        m_host.roundLog(msg::TimeUpLog);
        m_host.broadcast(cmd::System, msg::timeUp(m_currentQuestion));
        m_host.broadcast(cmd::Sound, QStringLiteral("ng"));
        nextWord();
    }
}

void RoundEngine::startIfAllReady()
{
    // A repeated "OK" during a game only updates the marks.
    if (m_gameRunning) return;
    int ready = 0;
    for (int i = 0; i < PlayerTable::Slots; ++i) {
        if (m_table.occupied(i) && m_table.readiness[i] == kOk) ++ready;
    }
    const int seated = m_table.playerCount();
    if (ready != seated || seated < 2) return;
    m_turnNumber = 1;
    m_gameOver = false;
    m_roundIndex = 0;
    m_host.roundLog(msg::AllReady);
    m_host.broadcast(cmd::System, msg::firstTurnSoon(m_turnNumber, roundText()));
    m_host.broadcastScores();
    m_drawerSlot = -1;
    m_searchFrom = -1;
    m_gameRunning = true;
    setTimeLeft(FirstLeadIn);
}

bool RoundEngine::passPen()
{
    // The next occupied, ready slot above where the search starts, wrapping 7
    // to 0; the last drawer itself only after a full cycle.
    for (int step = 1; step <= PlayerTable::Slots; ++step) {
        const int slot =
            ((m_searchFrom + step) % PlayerTable::Slots + PlayerTable::Slots) % PlayerTable::Slots;
        if (m_table.occupied(slot) && m_table.readiness[slot] == kOk) {
            m_drawerSlot = slot;
            return true;
        }
    }
    return false;
}

bool RoundEngine::drawerAbove(int slot) const
{
    for (int i = qMax(0, slot + 1); i < PlayerTable::Slots; ++i) {
        if (m_table.occupied(i) && m_table.readiness[i] == kOk) return true;
    }
    return false;
}

void RoundEngine::setWord()
{
    const int from = m_searchFrom;
    if (!passPen()) {
        // Nobody seated is ready to draw (marks changed during the game).
        resetToWaiting();
        return;
    }
    if (m_drawerSlot <= from) {
        // Everybody still to draw in this round left during the lead-in: the
        // search wrapped, so the round is over here.
        ++m_roundIndex;
        if (m_roundIndex >= m_roundMax) {
            endGame();
            return;
        }
    }
    m_answered = false;
    m_host.broadcast(cmd::Sound, QStringLiteral("question"));
    m_currentQuestion = m_bank.drawWord();
    m_host.broadcast(cmd::Question, QString::number(m_drawerSlot) + QLatin1Char(':') + m_currentQuestion);
    emit screenCleared(1);
    setQuestionLabel(msg::HiddenQuestion);
    setHighlight(m_drawerSlot);
}

void RoundEngine::checkGuess(int slot, const QString &line)
{
    if (!PlayerTable::validSlot(slot)) return;
    QString guess = line;
    guess.replace(QStringLiteral("ヴ"), QStringLiteral("う゛"));
    // The drawer knows the word: typing it scores nothing.
    if (slot == m_drawerSlot || guess != m_currentQuestion || m_answered || m_timeLeft <= 0 ||
        m_timeLeft >= DrawingStart)
        return;
    const int t = m_timeLeft;
    m_answered = true;
    setQuestionLabel(m_currentQuestion);
    const QString guesser = m_table.names[slot];
    const QString drawer = PlayerTable::validSlot(m_drawerSlot) ? m_table.names[m_drawerSlot] : QString();
    m_host.roundLog(msg::guessedLog(guesser));
    m_host.broadcast(cmd::System, msg::guessed(guesser, m_currentQuestion, t));
    m_host.broadcast(cmd::System, msg::drawerScored(drawer, t));
    m_host.broadcast(cmd::Sound, QStringLiteral("ok"));
    m_host.broadcast(cmd::Correct, QString::number(slot));
    m_table.scores[slot] += t;
    if (PlayerTable::validSlot(m_drawerSlot)) m_table.scores[m_drawerSlot] += t;
    m_host.refreshPlayerList();
    m_host.broadcastScores();
    nextWord();
}

void RoundEngine::nextWord()
{
    if (m_gameOver) return;
    // A round is over when nobody above the drawer is left to draw. Deciding
    // it here, not when somebody leaves, counts it once however players leave
    // and come back; the next round starts from the lowest slot.
    if (drawerAbove(m_drawerSlot)) {
        m_searchFrom = m_drawerSlot;
    } else {
        ++m_roundIndex;
        m_searchFrom = -1;
    }
    if (m_roundIndex < m_roundMax) {
        m_host.roundLog(msg::nextTurnLog(m_turnNumber, roundText()));
        m_host.broadcast(cmd::System, msg::nextTurnSoon(m_turnNumber, roundText()));
        setTimeLeft(NextLeadIn);
        return;
    }
    endGame();
}

void RoundEngine::endGame()
{
    m_gameOver = true;
    const int winner = leadingSlot(m_table);
    // Nobody scored all game: there is nobody to congratulate.
    const bool noWinner = winner < 0 || m_table.scores[winner] <= 0;
    m_host.broadcast(cmd::System, msg::GameOver);
    if (noWinner) {
        m_host.roundLog(msg::NoWinnerNotice);
        m_host.broadcast(cmd::System, msg::NoWinnerNotice);
    } else {
        const QString name = m_table.names[winner];
        m_host.roundLog(msg::winnerLog(name));
        m_host.broadcast(cmd::System, msg::winner(name));
    }
    for (int i = 0; i < PlayerTable::Slots; ++i) {
        // A connection still joining hears nothing of the game. Without a
        // winner everybody hears the game end as a loss.
        if (m_table.occupied(i))
            m_host.sendTo(cmd::Sound,
                          i == winner && !noWinner ? QStringLiteral("win") : QStringLiteral("lose"), i);
    }
    setHighlight(-1);
    resetToWaiting();
}

int RoundEngine::leadingSlot(const PlayerTable &table)
{
    // Only seated players can win; ties go to the higher slot.
    int best = -1;
    for (int i = 0; i < PlayerTable::Slots; ++i) {
        if (table.occupied(i) && (best < 0 || table.scores[i] >= table.scores[best])) best = i;
    }
    return best;
}

void RoundEngine::playerLeft(int slot)
{
    if (!m_gameRunning) {
        startIfAllReady();
        return;
    }
    // In the lead-in the last drawer's turn is over already: nothing to end.
    const bool drawing = m_timeLeft > 0 && m_timeLeft <= DrawingStart && !m_answered;
    if (slot != m_drawerSlot || !drawing) return;
    // Nobody can draw this word any more: end the turn as a time-out does.
    const QString notice = msg::drawerLeft(m_currentQuestion);
    setQuestionLabel(m_currentQuestion);
    m_host.roundLog(notice);
    m_host.broadcast(cmd::System, notice);
    m_host.broadcast(cmd::Sound, QStringLiteral("ng"));
    nextWord();
}

void RoundEngine::resetToWaiting()
{
    m_table.clearMarksAndScores();
    m_host.broadcast(cmd::GameOver, QStringLiteral("null"));
    m_host.broadcastReadys();
    m_gameRunning = false;
    m_drawerSlot = 0;
    setTimeLeft(-1);
    m_host.refreshPlayerList();
}

void RoundEngine::reset()
{
    m_gameRunning = false;
    m_drawerSlot = 0;
    m_searchFrom = -1;
    m_turnNumber = 1;
    m_gameOver = false;
    m_answered = false;
    m_roundIndex = 0;
    m_highlight = -1;
    setTimeLeft(-1);
}

} // namespace zb
