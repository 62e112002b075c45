#include "client/core/roundstate.h"

#include "client/core/messages.h"
#include "shared/letterhint.h"

namespace zb {

RoundState::RoundState(QObject *parent) : QObject(parent) {}

void RoundState::reset()
{
    drawerSlot = -2;
    mySlot = -1;
    inGame = false;
    setTimeLimit(-1);
}

void RoundState::startTurn(int drawer, const QString &word)
{
    inGame = true;
    drawerSlot = drawer;
    currentWord = word;
    setTimeLimit(TurnSeconds);
    if (isDrawer()) {
        if (m_questionWindow) {
            m_questionWindowText = word;
            emit questionWindowTextChanged(word);
            setQuestion(msg::HiddenWord);
        } else {
            setQuestion(word);
        }
    } else {
        if (m_questionWindow) {
            m_questionWindowText = msg::QuestionInMainWindow;
            emit questionWindowTextChanged(m_questionWindowText);
        }
        setQuestion(msg::HiddenWord);
    }
}

void RoundState::stopAndReveal()
{
    setTimeLimit(-1);
    setQuestion(currentWord);
}

void RoundState::onClockTick()
{
    if (m_timeLimit == -1) return;
    const int t = m_timeLimit - 1;
    setTimeLimit(t);
    if (!isDrawer() || m_questionWindow) {
        const QString hint = letterHint(currentWord, t);
        if (!hint.isNull()) setQuestion(hint);
    }
    if (t == 0) {
        setQuestion(currentWord);
        emit timeUp();
    }
}

void RoundState::setTimeLimit(int t)
{
    m_timeLimit = t;
    emit timeLimitChanged(t);
}

void RoundState::setQuestion(const QString &text)
{
    m_question = text;
    emit questionTextChanged(text);
}

} // namespace zb
