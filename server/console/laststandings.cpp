#include "laststandings.h"

#include "gameserver.h"
#include "roundengine.h"
#include "server/core/messages.h"
#include "textclean.h"

namespace zb {

LastStandings::LastStandings(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("lblLastStandings"));
    // Player names: text, not markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFrameShape(QFrame::StyledPanel);
    setContentsMargins(6, 2, 6, 2);
    hide();
}

void LastStandings::follow(GameServer &server)
{
    // A game that has announced its winner is over, even while the end is still being sent.
    const bool running = server.gameRunning() && !server.engine().isGameOver();
    if (running) {
        if (!m_running) {
            m_running = true;
            m_shown.clear();
            hide();
        }
        m_seen.clear();
        for (int slot = 0; slot < GameServer::Slots; ++slot) {
            const QString name = server.playerName(slot);
            if (!name.isEmpty()) m_seen.append({slot, removeControlChars(name), server.playerScore(slot), 0});
        }
        return;
    }
    if (!m_running) return;
    m_running = false;
    // Broken off without a winner: no standings to keep.
    if (!server.engine().isGameOver()) return;
    m_shown = rankStandings(m_seen);
    setText(msg::LastStandingsCaption + standingLines(m_shown).join(msg::StandingsSeparator));
    show();
}

} // namespace zb
