#include "server/core/playerlines.h"

#include "server/core/linerelay.h"
#include "server/core/roomlog.h"
#include "server/core/roundengine.h"
#include "server/core/seats.h"
#include "server/texts/messages.h"
#include "shared/protocol.h"
#include "shared/textclean.h"

namespace zb {

namespace {
// The longest readiness mark the room sets itself ("PSW", "VER").
constexpr int MaxMarkLength = 3;
} // namespace

PlayerLines::PlayerLines(Seats &seats, RoundEngine &round, LineRelay &relay, RoomLog &log, QObject *parent)
    : QObject(parent), m_seats(seats), m_round(round), m_relay(relay), m_log(log)
{
}

bool PlayerLines::logFrom(int slot, const QString &text, bool chat)
{
    return m_log.from(m_seats.busy(slot) ? m_seats.at(slot)->key() : QString(), text, chat);
}

void PlayerLines::handle(int slot, const QString &command, const QString &payload)
{
    if (command == cmd::Chat) {
        // A lone CR or LF would split the line at the readers; an escape
        // sequence would reach terminals. Nobody can type more than the cap.
        const QString text = removeControlChars(payload).left(MaxChatLength);
        logFrom(slot, m_seats.name(slot) + QStringLiteral("> ") + text, true);
        m_seats.broadcast(cmd::Chat, QString::number(slot) + QLatin1Char(':') + text, slot);
        m_round.checkGuess(slot, text);
    } else if (command == cmd::System) {
        // Only the room speaks as the system: a player's SYM would read like
        // the room's own lines in the host's log.
        m_relay.ignore(slot, msg::IgnoredSystemLine);
    } else if (command == cmd::Ready) {
        // Marks travel in a ":"-separated list of eight; the room's own marks
        // are at most three characters long.
        m_seats.table().readiness[slot] =
            removeControlChars(payload).remove(QLatin1Char(':')).left(MaxMarkLength);
        emit markChanged(slot);
        m_round.startIfAllReady();
    } else if (command == cmd::Name || command == cmd::Version || command == cmd::Password ||
               command == cmd::Check) {
        // The handshake is over; CHK is the lobby's keep-alive, never a player's.
    } else {
        // The command alone: a payload could be made to look like the room's lines.
        if (logFrom(slot, msg::BadCommandIgnored, true)) logFrom(slot, command, false);
    }
}

} // namespace zb
