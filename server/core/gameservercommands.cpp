// GameServer, second half: the connections of the eight slots, the line
// dispatcher and moderation.
#include "gameserver.h"

#include "addresskey.h"
#include "banlist.h"
#include "cp932.h"
#include "messages.h"
#include "protocol.h"
#include "roundengine.h"
#include "socketerror.h"
#include "stroke.h"
#include "strokecheck.h"
#include "textclean.h"
#include "version.h"

#include <QMetaMethod>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>

#include <sys/ioctl.h>

namespace zb {

namespace {
const QString kVersion = QString::fromLatin1(ProtocolVersion);
const QString kNull = QStringLiteral("null");
// How long a closing peer may take to accept what is still queued for it.
constexpr int CloseGraceMs = 5000;
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
// The room hears of refused passwords at most once in this many ticks.
constexpr int PasswordNoticeTicks = 10;
} // namespace

// ---------------------------------------------------------------- slots

void GameServer::onNewConnection()
{
    while (QTcpSocket *socket = m_listen.nextPendingConnection()) {
        // A banned address is told nothing; an address joins one connection
        // at a time, so that it cannot hold every free slot, and only so often.
        // An IPv6 address counts as its /64, which its owner holds whole.
        const QHostAddress peer = socket->peerAddress();
        const QString address = addressText(peer);
        const QString key = addressKey(peer);
        const int connects = m_connects.take(key);
        QString refusal;
        if (connects > ConnectGuard::MaxConnects)
            refusal = msg::TooManyConnections;
        else if (BanList::isBanned(peer))
            refusal = msg::BannedKick;
        else if (joiningFrom(key))
            refusal = msg::SameAddressKick;
        if (!refusal.isEmpty()) {
            // A program reconnecting in a loop is logged once, not at every attempt.
            if (connects <= ConnectGuard::MaxConnects + 1) {
                appendSystemLine(address);
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
                if (!m_slots[i]) slot = i;
            }
            if (slot < 0) slot = makeRoomForJoiner();
        }
        if (slot >= 0) {
            seat(slot, socket);
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
        if (m_slots[i] && !m_table.occupied(i) &&
            (oldest < 0 || m_peers[i].acceptedAt < m_peers[oldest].acceptedAt))
            oldest = i;
    }
    if (oldest < 0) return -1;
    logFrom(oldest, msg::joinerGaveWay(oldest));
    dropSocket(oldest, false);
    onConnectionClosed(oldest);
    return m_slots[oldest] ? -1 : oldest;
}

void GameServer::seat(int slot, QTcpSocket *socket)
{
    // Strokes and chat are relayed line by line as they come: waiting to
    // coalesce small writes only adds latency.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A peer that vanished without a word is found by the kernel's probes.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    auto *line = new LineSocket(socket, this);
    m_slots[slot] = line;
    m_peers[slot] = Peer();
    m_peers[slot].budget = FloodGuard(m_strokeBudget);
    m_peers[slot].key = addressKey(socket->peerAddress());
    m_peers[slot].acceptedAt = ++m_acceptCount;
    m_table.versions[slot].clear();
    line->setRawLines(true);
    connect(line, &LineSocket::linesReceived, this,
            [this, slot, line](const QByteArray &block, const QList<QByteArrayView> &lines) {
                if (m_slots[slot] == line) receiveLines(slot, block, lines);
            });
    connect(socket, &QTcpSocket::readyRead, this, [this, slot] {
        m_peers[slot].idleTicks = 0;
        emit dataArrived(slot);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, slot, line] {
        if (m_slots[slot] == line) onConnectionClosed(slot);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, slot, line](QAbstractSocket::SocketError error) {
        if (m_slots[slot] == line) onConnectionError(slot, error);
    });
    connect(line, &LineSocket::inputOverflow, this, [this, slot, line] {
        if (m_slots[slot] == line) releaseOverflow(slot, true);
    });
    // Reported from inside a send, possibly in the middle of a broadcast: the
    // release waits until that broadcast is over.
    connect(
        line, &LineSocket::outputOverflow, this,
        [this, slot, line] {
            if (m_slots[slot] == line) releaseOverflow(slot, false);
        },
        Qt::QueuedConnection);

    logFrom(slot, msg::clientConnected(slot));
    m_labels[slot] = msg::JoiningLabel;
    m_table.joinTimers[slot] = qMax(3, (MinJoinMs + m_tickMs - 1) / m_tickMs);
    emit playersChanged();
}

void GameServer::dropSocket(int slot, bool graceful)
{
    LineSocket *line = m_slots[slot];
    if (!line) return;
    m_slots[slot] = nullptr;
    disconnect(line, nullptr, this, nullptr);
    disconnect(line->socket(), nullptr, this, nullptr);
    line->clearBuffer();
    QTcpSocket *socket = line->socket();
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        connect(socket, &QTcpSocket::disconnected, line, &QObject::deleteLater);
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            QTimer::singleShot(CloseGraceMs, line, [line] {
                line->socket()->abort();
                line->deleteLater();
            });
            return;
        }
    } else {
        socket->abort();
    }
    line->deleteLater();
}

bool GameServer::joiningFrom(const QString &key) const
{
    for (int i = 0; i < Slots; ++i) {
        if (m_slots[i] && !m_table.occupied(i) && m_peers[i].key == key) return true;
    }
    return false;
}

void GameServer::onConnectionClosed(int slot)
{
    logFrom(slot, msg::clientDisconnected(slot));
    if (m_peers[slot].ignoredLines > 1) logFrom(slot, msg::ignoredTotal(slot, m_peers[slot].ignoredLines));
    m_peers[slot].ignoredLines = 0;
    if (!m_table.occupied(slot)) {
        // Nobody was told it came, so nobody is told it leaves.
        m_table.clearRow(slot);
        updatePlayerLabels();
        dropSocket(slot, true);
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
    dropSocket(slot, true);
}

void GameServer::onConnectionError(int slot, QAbstractSocket::SocketError error)
{
    // A peer's orderly close also arrives as disconnected, which releases the slot.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    const QString description = m_slots[slot] ? m_slots[slot]->socket()->errorString() : QString();
    appendSystemLine(msg::clientError(slot, socketErrorNumber(error), description));
    dropSocket(slot, false);
    onConnectionClosed(slot);
}

void GameServer::releaseOverflow(int slot, bool input)
{
    appendSystemLine(input ? msg::clientLineTooLong(slot) : msg::clientNotReading(slot));
    dropSocket(slot, false);
    onConnectionClosed(slot);
}

// ---------------------------------------------------------------- timers

void GameServer::onClockTick()
{
    updateCaption();
    m_engine->onClockTick();
}

void GameServer::onJoinTimeoutTick()
{
    m_lobby.tick(m_serverStarted, m_settings.lobbyRegister);
    m_connects.tick();
    for (const LogGate::Omitted &omitted : m_logGate.tick())
        appendSystemLine(msg::linesOmitted(omitted.source, omitted.lines));
    if (m_passwordNoticeTicks > 0 && --m_passwordNoticeTicks == 0 && m_passwordsRefused > 0) {
        noticeToSeated(msg::passwordMismatchNotice(m_passwordsRefused));
        m_passwordsRefused = 0;
        m_passwordNoticeTicks = PasswordNoticeTicks;
    }
    for (int i = 0; i < Slots; ++i) {
        if (m_table.joinTimers[i] == -1) continue;
        if (--m_table.joinTimers[i] > 0) continue;
        logFrom(i, msg::strangerKicked(i));
        logFrom(i, remoteAddress(i));
        dropSocket(i, false);
        onConnectionClosed(i);
    }
    // A silent seat holds up every game, which needs everybody ready; while a
    // player is alone nobody waits for him, as his own program sees it too.
    const bool othersWait = playerCount() >= 2;
    for (int i = 0; i < Slots; ++i) {
        if (!m_slots[i] || !m_table.occupied(i) || !othersWait) continue;
        if (++m_peers[i].idleTicks < IdleTicks) continue;
        logFrom(i, msg::clientIdle(i, IdleMinutes));
        closeWithReason(i, msg::IdleReason);
    }
    for (int i = 0; i < Slots; ++i) {
        // The flooder goes, before the players who read him fall behind.
        if (m_slots[i] && m_peers[i].budget.tick()) {
            appendSystemLine(msg::clientFlooding(i));
            closeWithReason(i, msg::FloodedReason);
        }
    }
    m_roomFull.tick();
}

// ---------------------------------------------------------------- moderation

void GameServer::kick(int slot, bool withBan)
{
    if (!valid(slot)) return;
    if (withBan && m_slots[slot] &&
        !BanList::add(m_table.names[slot], m_slots[slot]->socket()->peerAddress()))
        appendSystemLine(msg::BanFileUnwritable);
    closeWithReason(slot, withBan ? msg::BannedReason : msg::KickedReason);
}

void GameServer::closeWithReason(int slot, const QString &reason)
{
    sendTo(cmd::System, reason, slot);
    // Graceful: the socket closes once the reason has been written.
    dropSocket(slot, true);
    onConnectionClosed(slot);
}

// ---------------------------------------------------------------- commands

void GameServer::takeWaitingGuesses(int drawer)
{
    const QScopedValueRollback<bool> busy(m_takingGuesses, true);
    for (int i = 0; i < Slots; ++i) {
        LineSocket *other = m_slots[i];
        if (i == drawer || !other) continue;
        int waiting = 0;
        const qintptr fd = other->socket()->socketDescriptor();
        if (fd < 0 || ::ioctl(int(fd), FIONREAD, &waiting) != 0 || waiting <= 0) continue;
        // Reads what has arrived and hands it out at once; a connection that
        // turns out closed is released as usual.
        other->socket()->waitForReadyRead(0);
    }
}

void GameServer::receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines)
{
    if (!valid(slot) || !m_slots[slot]) return;
    const LineSocket *const from = m_slots[slot];
    // Qt hands out reads in descriptor order, so a guess could wait behind a
    // drawer's whole read of strokes; whatever the others have sent goes first.
    if (!m_takingGuesses && gameRunning() && slot == drawerSlot() &&
        std::any_of(lines.cbegin(), lines.cend(), [](QByteArrayView line) {
            return line.startsWith(cmd::bytes(cmd::Stroke)) || line.startsWith(cmd::bytes(cmd::Fill));
        })) {
        takeWaitingGuesses(slot);
        if (m_slots[slot] != from) return;
    }
    // Relayed lines that lie back to back in block go out as one write.
    const char *runBegin = nullptr;
    const char *runEnd = nullptr;
    const auto flushRun = [&] {
        if (runBegin == runEnd) return;
        const bool whole = runBegin == block.constData() && runEnd == block.constData() + block.size();
        // The sockets share the bytes of one QByteArray: a run is copied once at most.
        sendEncoded(whole ? block : QByteArray(runBegin, runEnd - runBegin), slot);
        runBegin = runEnd = nullptr;
    };
    for (const QByteArrayView line : lines) {
        const QByteArrayView command = line.first(qMin<qsizetype>(3, line.size()));
        const bool stroke = command == cmd::bytes(cmd::Stroke);
        const bool fill = command == cmd::bytes(cmd::Fill);
        const FloodGuard::Kind kind =
            stroke ? FloodGuard::Kind::Stroke : (fill ? FloodGuard::Kind::Fill : FloodGuard::Kind::Line);
        if (!m_peers[slot].budget.take(kind, line.size() + 2)) continue;
        if (stroke || fill) {
            if (!mayDraw(slot)) continue;
            if (!canvasLineAcceptable(slot, stroke, line)) continue;
            if (line.size() > 3 && line[3] == ' ') {
                if (runEnd != line.data()) {
                    flushRun();
                    runBegin = line.data();
                }
                runEnd = line.data() + line.size() + 2;
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
        dispatch(decoded.command, slot, decoded.payload);
        // The line may have closed this connection.
        if (m_slots[slot] != from) break;
    }
    flushRun();
    // What the pass wrote leaves now, in one write per reader, rather than
    // after another turn of the event loop.
    for (LineSocket *reader : m_slots) {
        if (reader) reader->flush();
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
    if (m_peers[slot].ignoredLines++ == 0) logFrom(slot, msg::ignoredFromClient(slot, what));
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
    if (!valid(slot) || !m_slots[slot]) return;
    if (!m_table.occupied(slot)) {
        handshake(command, slot, payload);
        return;
    }
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

void GameServer::handshake(const QString &command, int slot, const QString &payload)
{
    const QScopedValueRollback<int> cause(m_handshakeSlot, slot);
    Peer &peer = m_peers[slot];
    if (command == cmd::Password && !peer.passwordSent) {
        peer.passwordSent = true;
        handlePassword(slot, payload);
    } else if (command == cmd::Version && !peer.versionSent) {
        peer.versionSent = true;
        handleVersion(slot, payload);
    } else if (command == cmd::Name) {
        admit(slot, payload);
    }
}

void GameServer::admit(int slot, const QString &payload)
{
    const QString cleaned = cleanName(payload);
    // Nothing usable: the connection stays joining until its time-out.
    if (cleaned.isEmpty()) return;
    m_table.joinTimers[slot] = -1;
    if (playerCount() >= m_settings.playerMax()) {
        // Joins that arrive in a burst were all accepted while seats were free.
        logFrom(slot, msg::RoomFullSent);
        m_slots[slot]->sendRaw(RoomFullSocket::notice());
        dropSocket(slot, true);
        onConnectionClosed(slot);
        return;
    }
    // Every refusal comes before the name is taken: a connection that was
    // never seated makes the room announce nothing.
    const QString refusal = admissionRefusal(slot);
    if (!refusal.isEmpty()) {
        logFrom(slot, msg::clientName(slot, cleaned));
        logFrom(slot, remoteAddress(slot));
        logFrom(slot, refusal);
        QString reason;
        if (refusal == msg::BannedKick)
            reason = msg::BannedReason;
        else if (refusal == msg::SameAddressKick)
            reason = msg::SameAddressReason;
        if (!reason.isEmpty()) sendTo(cmd::System, reason, slot);
        dropSocket(slot, true);
        onConnectionClosed(slot);
        return;
    }
    QStringList seated;
    for (const QString &name : m_table.names) {
        if (!name.isEmpty()) seated << name;
    }
    const QString name = uniqueName(cleaned, seated);
    m_table.names[slot] = name;
    m_table.scores[slot] = 0;
    m_peers[slot].idleTicks = 0;
    logFrom(slot, msg::clientName(slot, name));
    logFrom(slot, remoteAddress(slot));

    broadcast(cmd::System, msg::playerJoined(name));
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

QString GameServer::admissionRefusal(int slot)
{
    if (BanList::isBanned(m_slots[slot]->socket()->peerAddress())) return msg::BannedKick;
    if (!m_settings.allowSameAddress) {
        for (int i = 0; i < Slots; ++i) {
            if (i != slot && m_slots[i] && m_slots[i]->isConnected() && m_peers[i].key == m_peers[slot].key)
                return msg::SameAddressKick;
        }
    }
    if (m_table.versions[slot] != kVersion) return msg::VersionKick;
    Peer &peer = m_peers[slot];
    if (!m_settings.password.isEmpty() && !peer.passwordSent) {
        // No password at all is a wrong one.
        peer.passwordSent = true;
        handlePassword(slot, QString());
    }
    return peer.passwordRefused ? msg::PasswordKick : QString();
}

void GameServer::handleVersion(int slot, const QString &version)
{
    logFrom(slot, msg::clientVersion(slot, loggedText(version)));
    m_table.versions[slot] = version;
    if (version != kVersion) {
        // Told to the connection alone: a stranger makes the room say nothing.
        logFrom(slot, msg::VersionMismatch);
        sendTo(cmd::System, msg::versionAdvice(kVersion), slot);
        m_table.readiness[slot] = cmd::Version;
        sendTo(cmd::WrongVersion, kNull, slot);
        return;
    }
    logFrom(slot, msg::versionMatched(slot));
    sendTo(cmd::SlotNumber, QString::number(slot), slot);
    if (gameRunning()) {
        // A newcomer to a running game is drawn into the turn order at once.
        sendTo(cmd::GameRunning, kNull, slot);
        m_table.readiness[slot] = QStringLiteral("OK");
        broadcastReadys();
    }
}

void GameServer::handlePassword(int slot, const QString &password)
{
    if (m_settings.password.isEmpty()) return;
    if (password == m_settings.password) {
        logFrom(slot, msg::passwordMatched(slot));
        return;
    }
    m_peers[slot].passwordRefused = true;
    logFrom(slot, msg::passwordWrong(slot));
    // The room hears of it, but a program guessing in a loop cannot make it
    // speak more than once a window; the refused player reads NSP instead.
    if (m_passwordNoticeTicks == 0) {
        noticeToSeated(msg::PasswordMismatchNotice);
        m_passwordNoticeTicks = PasswordNoticeTicks;
    } else {
        ++m_passwordsRefused;
    }
    m_table.readiness[slot] = cmd::Password;
    sendTo(cmd::WrongPassword, kNull, slot);
}

void GameServer::noticeToSeated(const QString &text)
{
    const QByteArray line = LineSocket::encodeLine(cmd::System, text);
    for (int i = 0; i < Slots; ++i) {
        if (m_slots[i] && m_table.occupied(i)) m_slots[i]->sendRaw(line);
    }
}

void GameServer::lobbyLine(const QString &command, const QString &payload)
{
    // A lobby keeps the link alive and may leave the host a notice; it is
    // never a player.
    if (command == cmd::Check) {
        m_lobby.noteCheck();
    } else if (command == cmd::System) {
        if (m_logGate.admit(msg::LobbySource)) appendSystemLine(loggedText(payload));
        // The lobby's answer to its try to connect back to the room.
        Reachability state = Reachability::Unknown;
        if (payload == msg::ReachableNotice)
            state = Reachability::Reachable;
        else if (payload.startsWith(msg::UnreachableNoticePrefix))
            state = Reachability::Unreachable;
        if (state != Reachability::Unknown) {
            m_reachability = state;
            emit reachabilityChanged(state, payload);
        }
    }
}

} // namespace zb
