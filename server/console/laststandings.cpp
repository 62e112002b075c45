#include "server/console/laststandings.h"

#include "server/core/gameserver.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/textclean.h"

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

void LastStandings::follow(const RoundEngine &round)
{
    connect(&round, &RoundEngine::gameStarting, this, [this] {
        m_shown.clear();
        hide();
    });
    connect(&round, &RoundEngine::gameEnded, this, &LastStandings::show);
}

void LastStandings::show(const QList<Standing> &standings)
{
    m_shown = standings;
    for (Standing &entry : m_shown)
        entry.name = removeControlChars(entry.name);
    setText(msg::LastStandingsCaption + standingLines(m_shown).join(msg::StandingsSeparator));
    QLabel::show();
}

} // namespace zb
