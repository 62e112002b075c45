#include "server/core/linerelay.h"

#include "server/core/roomlog.h"
#include "server/core/roundengine.h"
#include "server/core/seats.h"
#include "server/core/strokecheck.h"
#include "server/texts/messages.h"
#include "server/transport/transport.h"
#include "shared/cp932.h"
#include "shared/linesocket.h"
#include "shared/protocol.h"
#include "shared/stroke.h"

#include <QMetaMethod>

namespace zb {

LineRelay::LineRelay(Seats &seats, const RoundEngine &round, RoomLog &log, QObject *parent)
    : QObject(parent), m_seats(seats), m_round(round), m_log(log)
{
}

void LineRelay::linesWaiting(int slot)
{
    if (!Seats::valid(slot)) return;
    m_waiting[slot] = true;
    if (m_stepDue) return;
    m_stepDue = true;
    // Queued: every connection the event loop found readable with this one
    // has delivered its lines by the time the step runs.
    QMetaObject::invokeMethod(this, &LineRelay::step, Qt::QueuedConnection);
}

void LineRelay::forget(int slot)
{
    if (Seats::valid(slot)) m_waiting[slot] = false;
}

void LineRelay::step()
{
    m_stepDue = false;
    // Reads are handed out in descriptor order, so a guess could wait behind
    // a drawer's whole read of strokes: the drawer goes last.
    const int drawer = m_round.gameRunning() ? m_round.drawerSlot() : -1;
    for (int i = 0; i < Seats::Slots; ++i) {
        if (i != drawer) take(i);
    }
    if (Seats::valid(drawer)) take(drawer);
}

void LineRelay::take(int slot)
{
    if (!m_waiting[slot] || !m_seats.busy(slot)) return;
    m_waiting[slot] = false;
    QByteArray block;
    QList<QByteArrayView> lines;
    if (m_seats.at(slot)->transport()->takeLines(block, lines)) relay(slot, block, lines);
}

void LineRelay::relay(int slot, const QByteArray &block, const QList<QByteArrayView> &lines)
{
    const Seat *const from = m_seats.at(slot);
    if (!from) return;
    // Relayed lines that lie back to back in block go out as one write.
    qsizetype runBegin = -1;
    qsizetype runEnd = -1;
    const auto flushRun = [&] {
        if (runBegin == runEnd) return;
        m_seats.sendToSeated(block, runBegin, runEnd - runBegin, slot);
        runBegin = runEnd = -1;
    };
    for (const QByteArrayView line : lines) {
        const QByteArrayView command = line.first(qMin<qsizetype>(3, line.size()));
        const bool stroke = command == cmd::bytes(cmd::Stroke);
        const bool fill = command == cmd::bytes(cmd::Fill);
        const FloodGuard::Kind kind =
            stroke ? FloodGuard::Kind::Stroke : (fill ? FloodGuard::Kind::Fill : FloodGuard::Kind::Line);
        if (!m_seats.at(slot)->budget.take(kind, line.size() + 2)) continue;
        if (stroke || fill) {
            if (!mayDraw(slot) || !acceptable(slot, stroke, line)) continue;
            if (line.size() > 3 && line[3] == ' ') {
                const qsizetype at = line.data() - block.constData();
                if (runEnd != at) {
                    flushRun();
                    runBegin = at;
                }
                runEnd = at + line.size() + 2;
                show(stroke, line.sliced(4));
            } else {
                // Any other separator: readers have always been sent the usual one.
                flushRun();
                const Line decoded = LineSocket::decodeLine(line);
                const QByteArray relayed = LineSocket::encodeLine(decoded.command, decoded.payload);
                m_seats.sendToSeated(relayed, slot);
                show(stroke, QByteArrayView(relayed).sliced(4).chopped(2));
            }
            continue;
        }
        flushRun();
        const Line decoded = LineSocket::decodeLine(line);
        emit lineReceived(slot, decoded.command, decoded.payload);
        // The line may have closed this connection.
        if (m_seats.at(slot) != from) break;
    }
    flushRun();
    // What the pass wrote leaves now, in one write per reader, rather than
    // after another turn of the event loop.
    m_seats.flush();
}

void LineRelay::ignore(int slot, const QString &what)
{
    Seat *seat = m_seats.at(slot);
    if (seat && seat->ignoredLines++ == 0) m_log.from(seat->key(), msg::ignoredFromClient(slot, what));
}

bool LineRelay::mayDraw(int slot) const
{
    if (!m_seats.seated(slot)) return false;
    // Once a game has handed out the pen, only its holder draws; before the
    // first turn and between games everybody does.
    return !(m_round.gameRunning() && m_round.drawerSlot() >= 0 && slot != m_round.drawerSlot());
}

bool LineRelay::acceptable(int slot, bool stroke, QByteArrayView line)
{
    // Whatever the separator, the payload starts at the fifth byte.
    const QByteArrayView payload = line.size() > 4 ? line.sliced(4) : QByteArrayView();
    int index = 0;
    const bool ok = stroke ? isPlausibleStroke(payload)
                           : payload.size() <= 8 && decodeFill(QString::fromLatin1(payload), index);
    if (!ok) ignore(slot, stroke ? msg::IgnoredStroke : msg::IgnoredFill);
    return ok;
}

void LineRelay::show(bool stroke, QByteArrayView payload)
{
    if (!stroke) {
        int index = 0;
        if (decodeFill(fromCp932(payload.toByteArray()), index)) emit fillRelayed(index);
    } else if (isSignalConnected(QMetaMethod::fromSignal(&LineRelay::strokeRelayed))) {
        emit strokeRelayed(payload.toByteArray());
    }
}

} // namespace zb
