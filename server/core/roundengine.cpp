#include "server/core/roundengine.h"

#include "server/core/playertable.h"
#include "server/core/questionbank.h"
#include "server/texts/messages.h"
#include "shared/letterhint.h"

namespace zb {

namespace {
const QString kOk = QStringLiteral("OK");
constexpr int DrawingStart = 120;
constexpr int FirstLeadIn = 125;
constexpr int NextLeadIn = 130;
} // namespace

RoundEngine::RoundEngine(const PlayerTable &table, QuestionBank &bank, QObject *parent)
    : QObject(parent), m_table(table), m_bank(bank)
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
    emit highlightChanged(slot);
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
        emit turnTimedOut(m_currentQuestion);
        nextWord();
    }
}

void RoundEngine::startIfAllReady()
{
    // A repeated "OK" during a game only updates the marks.
    if (m_gameRunning) return;
    int ready = 0;
    for (int i = 0; i < Slots; ++i) {
        if (m_table.occupied(i) && m_table.readiness[i] == kOk) ++ready;
    }
    const int seated = m_table.playerCount();
    if (ready != seated || seated < 2) return;
    m_turnNumber = 1;
    m_gameOver = false;
    m_roundIndex = 0;
    emit gameStarting(m_turnNumber, roundText());
    m_drawerSlot = -1;
    m_searchFrom = -1;
    m_gameRunning = true;
    setTimeLeft(FirstLeadIn);
}

bool RoundEngine::passPen()
{
    // The next occupied, ready slot above where the search starts, wrapping 7
    // to 0; the last drawer itself only after a full cycle.
    for (int step = 1; step <= Slots; ++step) {
        const int slot = ((m_searchFrom + step) % Slots + Slots) % Slots;
        if (m_table.occupied(slot) && m_table.readiness[slot] == kOk) {
            m_drawerSlot = slot;
            return true;
        }
    }
    return false;
}

bool RoundEngine::drawerAbove(int slot) const
{
    for (int i = qMax(0, slot + 1); i < Slots; ++i) {
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
    m_currentQuestion = m_bank.drawWord();
    emit turnStarted(m_drawerSlot, m_currentQuestion);
    emit screenCleared(1);
    setQuestionLabel(msg::HiddenQuestion);
    setHighlight(m_drawerSlot);
}

void RoundEngine::checkGuess(int slot, const QString &line)
{
    if (slot < 0 || slot >= Slots) return;
    QString guess = line;
    guess.replace(QStringLiteral("ヴ"), QStringLiteral("う゛"));
    // The drawer knows the word: typing it scores nothing.
    if (slot == m_drawerSlot || guess != m_currentQuestion || m_answered || m_timeLeft <= 0 ||
        m_timeLeft >= DrawingStart)
        return;
    const int t = m_timeLeft;
    m_answered = true;
    setQuestionLabel(m_currentQuestion);
    m_scores[slot] += t;
    if (m_drawerSlot >= 0 && m_drawerSlot < Slots) m_scores[m_drawerSlot] += t;
    emit guessed(slot, m_drawerSlot, m_currentQuestion, t);
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
        emit nextTurnSoon(m_turnNumber, roundText());
        setTimeLeft(NextLeadIn);
        return;
    }
    endGame();
}

void RoundEngine::endGame()
{
    m_gameOver = true;
    const int leader = leadingSlot(m_table, m_scores);
    // Nobody scored all game: there is nobody to congratulate.
    const int winner = leader >= 0 && m_scores[leader] > 0 ? leader : -1;
    QList<Standing> entries;
    for (int i = 0; i < Slots; ++i) {
        if (m_table.occupied(i)) entries.append({i, m_table.names[i], m_scores[i], 0});
    }
    emit gameEnded(rankStandings(entries), winner);
    setHighlight(-1);
    resetToWaiting();
}

int RoundEngine::leadingSlot(const PlayerTable &table, const std::array<int, Slots> &scores)
{
    // Only seated players can win; ties go to the higher slot.
    int best = -1;
    for (int i = 0; i < Slots; ++i) {
        if (table.occupied(i) && (best < 0 || scores[i] >= scores[best])) best = i;
    }
    return best;
}

void RoundEngine::playerSeated(int slot)
{
    if (slot >= 0 && slot < Slots) m_scores[slot] = 0;
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
    setQuestionLabel(m_currentQuestion);
    emit drawerGone(m_currentQuestion);
    nextWord();
}

void RoundEngine::resetToWaiting()
{
    m_scores.fill(0);
    m_gameRunning = false;
    m_drawerSlot = 0;
    emit backToWaiting();
    setTimeLeft(-1);
}

void RoundEngine::reset()
{
    m_scores.fill(0);
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
