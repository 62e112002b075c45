#include "server/core/roundannouncer.h"

#include "server/core/playertable.h"
#include "server/core/roundengine.h"
#include "server/core/roundhost.h"
#include "server/texts/messages.h"
#include "shared/protocol.h"

namespace zb {

RoundAnnouncer::RoundAnnouncer(const RoundEngine &engine, PlayerTable &table, RoundHost &host,
                               QObject *parent)
    : QObject(parent), m_table(table), m_host(host)
{
    connect(&engine, &RoundEngine::gameStarting, this, &RoundAnnouncer::gameStarting);
    connect(&engine, &RoundEngine::turnStarted, this, &RoundAnnouncer::turnStarted);
    connect(&engine, &RoundEngine::turnTimedOut, this, &RoundAnnouncer::turnTimedOut);
    connect(&engine, &RoundEngine::guessed, this, &RoundAnnouncer::guessed);
    connect(&engine, &RoundEngine::drawerGone, this, &RoundAnnouncer::drawerGone);
    connect(&engine, &RoundEngine::nextTurnSoon, this, &RoundAnnouncer::nextTurnSoon);
    connect(&engine, &RoundEngine::gameEnded, this, &RoundAnnouncer::gameEnded);
    connect(&engine, &RoundEngine::backToWaiting, this, &RoundAnnouncer::backToWaiting);
}

void RoundAnnouncer::gameStarting(int turn, const QString &roundText)
{
    m_host.roundLog(msg::AllReady);
    m_host.broadcast(cmd::System, msg::firstTurnSoon(turn, roundText));
    m_host.broadcastScores();
}

void RoundAnnouncer::turnStarted(int drawer, const QString &word)
{
    m_host.broadcast(cmd::Sound, QStringLiteral("question"));
    m_host.broadcast(cmd::Question, QString::number(drawer) + QLatin1Char(':') + word);
}

void RoundAnnouncer::turnTimedOut(const QString &word)
{
    m_host.roundLog(msg::TimeUpLog);
    m_host.broadcast(cmd::System, msg::timeUp(word));
    m_host.broadcast(cmd::Sound, QStringLiteral("ng"));
}

void RoundAnnouncer::guessed(int guesser, int drawer, const QString &word, int points)
{
    const QString guesserName = m_table.names[guesser];
    const QString drawerName = PlayerTable::validSlot(drawer) ? m_table.names[drawer] : QString();
    m_host.roundLog(msg::guessedLog(guesserName));
    m_host.broadcast(cmd::System, msg::guessed(guesserName, word, points));
    m_host.broadcast(cmd::System, msg::drawerScored(drawerName, points));
    m_host.broadcast(cmd::Sound, QStringLiteral("ok"));
    m_host.broadcast(cmd::Correct, QString::number(guesser));
    m_host.refreshPlayerList();
    m_host.broadcastScores();
}

void RoundAnnouncer::drawerGone(const QString &word)
{
    const QString notice = msg::drawerLeft(word);
    m_host.roundLog(notice);
    m_host.broadcast(cmd::System, notice);
    m_host.broadcast(cmd::Sound, QStringLiteral("ng"));
}

void RoundAnnouncer::nextTurnSoon(int turn, const QString &roundText)
{
    m_host.roundLog(msg::nextTurnLog(turn, roundText));
    m_host.broadcast(cmd::System, msg::nextTurnSoon(turn, roundText));
}

void RoundAnnouncer::gameEnded(const QList<Standing> &, int winner)
{
    m_host.broadcast(cmd::System, msg::GameOver);
    if (winner < 0) {
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
            m_host.sendTo(cmd::Sound, i == winner ? QStringLiteral("win") : QStringLiteral("lose"), i);
    }
}

void RoundAnnouncer::backToWaiting()
{
    m_table.readiness.fill(QStringLiteral("NG"));
    m_host.broadcast(cmd::GameOver, QStringLiteral("null"));
    m_host.broadcastReadys();
    m_host.refreshPlayerList();
}

} // namespace zb
