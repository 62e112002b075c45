#include "server/core/roster.h"

#include "server/core/roomlog.h"
#include "server/core/roundengine.h"
#include "server/core/seats.h"
#include "server/texts/messages.h"
#include "shared/protocol.h"

namespace zb {

Roster::Roster(Seats &seats, const RoundEngine &round, RoomLog &log, QObject *parent)
    : QObject(parent), m_seats(seats), m_round(round), m_log(log)
{
    connect(&round, &RoundEngine::highlightChanged, this, &Roster::markChanged);
}

void Roster::broadcast(const QString &command, const QString &text)
{
    m_seats.broadcast(command, text);
}

void Roster::sendTo(const QString &command, const QString &text, int slot)
{
    m_seats.sendTo(slot, command, text);
}

void Roster::broadcastReadys()
{
    broadcast(cmd::Ready, m_seats.table().readysList());
    markChanged();
}

void Roster::broadcastScores()
{
    broadcast(cmd::Scores, PlayerTable::scoresList(m_round.scores()));
    markChanged();
}

void Roster::roundLog(const QString &text)
{
    m_log.system(text);
}

void Roster::refreshPlayerList()
{
    m_seats.updateLabels(m_round.scores());
    markChanged();
}

void Roster::sendMarks(int joiningSlot)
{
    broadcastReadys();
    sendTo(cmd::Ready, m_seats.table().readysList(), joiningSlot);
}

void Roster::announceArrival(int slot)
{
    broadcast(cmd::System, msg::playerJoined(m_seats.name(slot)));
    broadcast(cmd::Names, m_seats.table().namesList());
    broadcastReadys();
    broadcastScores();
    broadcast(cmd::Sound, QStringLiteral("connect"));
}

void Roster::announceDeparture(int slot)
{
    broadcast(cmd::System, msg::playerLeft(m_seats.name(slot)));
    broadcast(cmd::Sound, QStringLiteral("disconnect"));
    m_seats.table().clearRow(slot);
    broadcast(cmd::Names, m_seats.table().namesList());
    refreshPlayerList();
}

void Roster::seatChanged()
{
    markChanged();
}

void Roster::markChanged()
{
    // A hit changes labels and scores at once: the console redraws once.
    if (m_changeDue) return;
    m_changeDue = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changeDue = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

} // namespace zb
