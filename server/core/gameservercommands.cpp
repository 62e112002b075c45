// GameServer, second half: the seats, the one release, the lines players send
// and the moderation clock.
#include "gameserver.h"

#include "addresskey.h"
#include "banlist.h"
#include "cp932.h"
#include "linesocket.h"
#include "messages.h"
#include "protocol.h"
#include "roundengine.h"
#include "stroke.h"
#include "strokecheck.h"
#include "tcptransport.h"
#include "textclean.h"

#include <QMetaMethod>

namespace zb {

namespace {
// The longest readiness mark the room sets itself ("PSW", "VER").
constexpr int MaxMarkLength = 3;
// A new connection has three clock ticks to introduce itself, but never less
// than this: a quickened clock must not turn away a client that is merely slow.
constexpr int MinJoinMs = 2000;
// A seated player from whom nothing arrives for this long is released: the
// player's program cuts itself after ten minutes without a player's action,
// so only a connection that went silent meets it.
constexpr int IdleMinutes = 11;
constexpr int IdleTicks = IdleMinutes * 60;
} // namespace

// ---------------------------------------------------------------- seats

void GameServer::onNewConnection()
{
    while (QTcpSocket *socket = m_listen.nextPendingConnection()) {
        bool logIt = false;
        const QString refusal = m_admission.screen(socket->peerAddress(), logIt);
        if (!refusal.isEmpty()) {
            if (logIt) {
                appendSystemLine(addressText(socket->peerAddress()));
                appendSystemLine(refusal);
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        int slot = -1;
        // Only named players count towards the limit.
        if (playerCount() < m_settings.playerMax()) {
            for (int i = 0; i < Slots && slot < 0; ++i) {
                if (!m_seats[i]) slot = i;
            }
            if (slot < 0) slot = makeRoomForJoiner();
        }
        if (slot >= 0) {
            seat(slot, new TcpTransport(socket, this));
        } else if (!m_roomFull.busy()) {
            m_roomFull.accept(socket);
        } else {
            // The room-full socket is still busy with an earlier client.
            socket->abort();
            socket->deleteLater();
        }
    }
}

int GameServer::makeRoomForJoiner()
{
    // Every free seat is held by a connection that has not said its name. A
    // player's program sends its three join lines at once, so the oldest of
    // them is a stranger holding a seat: it gives way.
    int oldest = -1;
    for (int i = 0; i < Slots; ++i) {
        if (m_seats[i] && m_seats[i]->state == Seat::State::Joining &&
            (oldest < 0 || m_seats[i]->order() < m_seats[oldest]->order()))
            oldest = i;
    }
    if (oldest < 0) return -1;
    logFrom(oldest, msg::joinerGaveWay(oldest));
    release(oldest, false);
    return m_seats[oldest] ? -1 : oldest;
}

void GameServer::seat(int slot, Transport *transport)
{
    m_seats[slot] = std::make_unique<Seat>(transport, FloodGuard(m_strokeBudget), ++m_acceptCount,
                                           qMax(3, (MinJoinMs + m_tickMs - 1) / m_tickMs));
    Seat *const seat = m_seats[slot].get();
    // The seat may be gone, or hold another connection, by the time a signal arrives.
    const auto current = [this, slot, seat] { return m_seats[slot].get() == seat; };
    connect(transport, &Transport::dataArrived, this, [this, slot, current] {
        if (!current()) return;
        m_seats[slot]->idleTicks = 0;
        emit dataArrived(slot);
    });
    connect(transport, &Transport::readyRead, this, [this, slot, current] {
        if (!current()) return;
        m_waiting[slot] = true;
        scheduleStep();
    });
    connect(transport, &Transport::closed, this,
            [this, slot, current](int errorNumber, const QString &description) {
                if (!current()) return;
                if (errorNumber != 0) appendSystemLine(msg::clientError(slot, errorNumber, description));
                release(slot, errorNumber == 0);
            });
    connect(transport, &Transport::inputOverflow, this, [this, slot, current] {
        if (!current()) return;
        appendSystemLine(msg::clientLineTooLong(slot));
        release(slot, false);
    });
    connect(transport, &Transport::outputOverflow, this, [this, slot, current] {
        if (!current()) return;
        appendSystemLine(msg::clientNotReading(slot));
        release(slot, false);
    });
    logFrom(slot, msg::clientConnected(slot));
    m_labels[slot] = msg::JoiningLabel;
    markPlayersChanged();
}

void GameServer::release(int slot, bool graceful, const QString &reason)
{
    if (!valid(slot)) return;
    logFrom(slot, msg::clientDisconnected(slot));
    std::unique_ptr<Seat> seat = std::move(m_seats[slot]);
    m_waiting[slot] = false;
    const bool seated = seat && seat->state == Seat::State::Seated;
    if (seat) {
        if (seat->ignoredLines > 1) logFrom(slot, msg::ignoredTotal(slot, seat->ignoredLines));
        if (!reason.isEmpty() && seat->isOpen())
            seat->transport()->send(LineSocket::encodeLine(cmd::System, reason));
        // With a reason, the close waits until it has gone out.
        seat->close(graceful || !reason.isEmpty());
        seat.reset();
    }
    if (!seated) {
        // Nobody was told it came, so nobody is told it leaves.
        m_table.clearRow(slot);
        updatePlayerLabels();
        return;
    }
    broadcast(cmd::System, msg::playerLeft(m_table.names[slot]));
    broadcast(cmd::Sound, QStringLiteral("disconnect"));
    m_table.clearRow(slot);
    broadcastPlayers();
    updatePlayerLabels();
    const int left = playerCount();
    if (left == 0)
        reset();
    else if (left == 1)
        m_engine->resetToWaiting();
    else
        m_engine->playerLeft(slot);
}

void GameServer::seatPlayer(int slot, const QString &name)
{
    QStringList seated;
    for (const QString &taken : m_table.names) {
        if (!taken.isEmpty()) seated << taken;
    }
    const QString unique = uniqueName(name, seated);
    Seat *seat = m_seats[slot].get();
    seat->state = Seat::State::Seated;
    seat->idleTicks = 0;
    m_table.names[slot] = unique;
    m_engine->playerSeated(slot);
    logFrom(slot, msg::clientName(slot, unique));
    logFrom(slot, seat->addressText());

    broadcast(cmd::System, msg::playerJoined(unique));
    broadcastPlayers();
    broadcastReadys();
    broadcastScores();
    broadcast(cmd::Sound, QStringLiteral("connect"));
    sendTo(cmd::System, msg::DictionaryListHeading, slot);
    sendTo(cmd::System, m_bank.dictionaryList(), slot);
    sendTo(cmd::System, msg::GameSettingsHeading, slot);
    sendTo(cmd::System, m_settings.settingsLine(), slot);
    updatePlayerLabels();
}

// ---------------------------------------------------------------- timers

void GameServer::onClockTick()
{
    updateCaption();
    m_engine->onClockTick();
}

void GameServer::onJoinTimeoutTick()
{
    m_admission.tick();
    m_log.tick();
    for (int i = 0; i < Slots; ++i) {
        if (!m_seats[i] || m_seats[i]->joinTicks == -1) continue;
        if (--m_seats[i]->joinTicks > 0) continue;
        logFrom(i, msg::strangerKicked(i));
        logFrom(i, remoteAddress(i));
        release(i, false);
    }
    // A silent seat holds up every game, which needs everybody ready; while a
    // player is alone nobody waits for him, as his own program sees it too.
    const bool othersWait = playerCount() >= 2;
    for (int i = 0; i < Slots; ++i) {
        if (!m_seats[i] || m_seats[i]->state != Seat::State::Seated || !othersWait) continue;
        if (++m_seats[i]->idleTicks < IdleTicks) continue;
        logFrom(i, msg::clientIdle(i, IdleMinutes));
        release(i, true, msg::IdleReason);
    }
    for (int i = 0; i < Slots; ++i) {
        // The flooder goes, before the players who read him fall behind.
        if (m_seats[i] && m_seats[i]->budget.tick()) {
            appendSystemLine(msg::clientFlooding(i));
            release(i, true, msg::FloodedReason);
        }
    }
    m_roomFull.tick();
}

// ---------------------------------------------------------------- moderation

void GameServer::kick(int slot, bool withBan)
{
    if (!valid(slot)) return;
    if (withBan && m_seats[slot] && !BanList::add(m_table.names[slot], m_seats[slot]->address()))
        appendSystemLine(msg::BanFileUnwritable);
    release(slot, true, withBan ? msg::BannedReason : msg::KickedReason);
}

// ---------------------------------------------------------------- lines

void GameServer::scheduleStep()
{
    if (m_stepDue) return;
    m_stepDue = true;
    // Queued: every connection the event loop found readable with this one
    // has delivered its lines by the time the step runs.
    QMetaObject::invokeMethod(this, &GameServer::handleWaitingLines, Qt::QueuedConnection);
}

void GameServer::handleWaitingLines()
{
    m_stepDue = false;
    // Reads are handed out in descriptor order, so a guess could wait behind
    // a drawer's whole read of strokes: the drawer goes last.
    const int drawer = gameRunning() ? drawerSlot() : -1;
    for (int i = 0; i < Slots; ++i) {
        if (i != drawer) takeLines(i);
    }
    if (valid(drawer)) takeLines(drawer);
}

void GameServer::takeLines(int slot)
{
    if (!m_waiting[slot] || !m_seats[slot]) return;
    m_waiting[slot] = false;
    QByteArray block;
    QList<QByteArrayView> lines;
    if (m_seats[slot]->transport()->takeLines(block, lines)) receiveLines(slot, block, lines);
}

void GameServer::receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines)
{
    if (!valid(slot) || !m_seats[slot]) return;
    const Seat *const from = m_seats[slot].get();
    // Relayed lines that lie back to back in block go out as one write.
    qsizetype runBegin = -1;
    qsizetype runEnd = -1;
    const auto flushRun = [&] {
        if (runBegin == runEnd) return;
        // The readers share the bytes of the block: nothing is copied.
        sendBlock(block, runBegin, runEnd - runBegin, slot);
        runBegin = runEnd = -1;
    };
    for (const QByteArrayView line : lines) {
        const QByteArrayView command = line.first(qMin<qsizetype>(3, line.size()));
        const bool stroke = command == cmd::bytes(cmd::Stroke);
        const bool fill = command == cmd::bytes(cmd::Fill);
        const FloodGuard::Kind kind =
            stroke ? FloodGuard::Kind::Stroke : (fill ? FloodGuard::Kind::Fill : FloodGuard::Kind::Line);
        if (!m_seats[slot]->budget.take(kind, line.size() + 2)) continue;
        if (stroke || fill) {
            if (!mayDraw(slot) || !canvasLineAcceptable(slot, stroke, line)) continue;
            if (line.size() > 3 && line[3] == ' ') {
                const qsizetype at = line.data() - block.constData();
                if (runEnd != at) {
                    flushRun();
                    runBegin = at;
                }
                runEnd = at + line.size() + 2;
                showCanvasLine(stroke, line.sliced(4));
            } else {
                // Any other separator: readers have always been sent the usual one.
                flushRun();
                const Line decoded = LineSocket::decodeLine(line);
                const QByteArray relayed = LineSocket::encodeLine(decoded.command, decoded.payload);
                sendEncoded(relayed, slot);
                showCanvasLine(stroke, QByteArrayView(relayed).sliced(4).chopped(2));
            }
            continue;
        }
        flushRun();
        const Line decoded = LineSocket::decodeLine(line);
        if (m_seats[slot]->state == Seat::State::Joining)
            m_admission.handle(slot, decoded.command, decoded.payload);
        else
            dispatch(decoded.command, slot, decoded.payload);
        // The line may have closed this connection.
        if (m_seats[slot].get() != from) break;
    }
    flushRun();
    // What the pass wrote leaves now, in one write per reader, rather than
    // after another turn of the event loop.
    for (const std::unique_ptr<Seat> &reader : m_seats) {
        if (reader && reader->isOpen()) reader->transport()->flush();
    }
}

void GameServer::receiveLine(int slot, const QByteArray &line)
{
    const QByteArray block = line + "\r\n";
    receiveLines(slot, block, {QByteArrayView(block.constData(), line.size())});
}

bool GameServer::canvasLineAcceptable(int slot, bool stroke, QByteArrayView line)
{
    // Whatever the separator, the payload starts at the fifth byte.
    const QByteArrayView payload = line.size() > 4 ? line.sliced(4) : QByteArrayView();
    int index = 0;
    const bool ok = stroke ? isPlausibleStroke(payload)
                           : payload.size() <= 8 && decodeFill(QString::fromLatin1(payload), index);
    if (!ok) ignoreLine(slot, stroke ? msg::IgnoredStroke : msg::IgnoredFill);
    return ok;
}

void GameServer::ignoreLine(int slot, const QString &what)
{
    if (m_seats[slot]->ignoredLines++ == 0) logFrom(slot, msg::ignoredFromClient(slot, what));
}

bool GameServer::mayDraw(int slot) const
{
    if (!m_table.occupied(slot)) return false;
    // Once a game has handed out the pen, only its holder draws; before the
    // first turn and between games everybody does.
    return !(gameRunning() && drawerSlot() >= 0 && slot != drawerSlot());
}

void GameServer::showCanvasLine(bool stroke, QByteArrayView payload)
{
    if (!stroke) {
        int index = 0;
        if (decodeFill(fromCp932(payload.toByteArray()), index)) emit fillReceived(index);
    } else if (isSignalConnected(QMetaMethod::fromSignal(&GameServer::strokeReceived))) {
        emit strokeReceived(payload.toByteArray());
    }
}

void GameServer::dispatch(const QString &command, int slot, const QString &payload)
{
    if (command == cmd::Chat) {
        // A lone CR or LF would split the line at the readers; an escape
        // sequence would reach terminals. Nobody can type more than the cap.
        const QString text = removeControlChars(payload).left(MaxChatLength);
        logFrom(slot, m_table.names[slot] + QStringLiteral("> ") + text, true);
        relay(cmd::Chat, QString::number(slot) + QLatin1Char(':') + text, slot);
        m_engine->checkGuess(slot, text);
    } else if (command == cmd::System) {
        // Only the room speaks as the system: a player's SYM would read like
        // the room's own lines in the host's log.
        ignoreLine(slot, msg::IgnoredSystemLine);
    } else if (command == cmd::Ready) {
        // Marks travel in a ":"-separated list of eight; the room's own marks
        // are at most three characters long.
        m_table.readiness[slot] = removeControlChars(payload).remove(QLatin1Char(':')).left(MaxMarkLength);
        broadcastReadys();
        m_engine->startIfAllReady();
    } else if (command == cmd::Name || command == cmd::Version || command == cmd::Password ||
               command == cmd::Check) {
        // The handshake is over; CHK is the lobby's keep-alive, never a player's.
    } else {
        // The command alone: a payload could be made to look like the room's lines.
        if (logFrom(slot, msg::BadCommandIgnored, true)) logFrom(slot, command);
    }
}

void GameServer::lobbyNotice(const QString &text)
{
    m_log.from(msg::LobbySource, loggedText(text));
    Reachability state = Reachability::Unknown;
    if (text == msg::ReachableNotice)
        state = Reachability::Reachable;
    else if (text.startsWith(msg::UnreachableNoticePrefix))
        state = Reachability::Unreachable;
    if (state != Reachability::Unknown) {
        m_reachability = state;
        emit reachabilityChanged(state, text);
    }
}

} // namespace zb
