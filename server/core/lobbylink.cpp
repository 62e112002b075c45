#include "server/core/lobbylink.h"

#include "server/texts/messages.h"
#include "shared/hostport.h"
#include "shared/protocol.h"
#include "shared/socketerror.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "shared/version.h"

namespace zb {

RoomStatus RoomStatus::of(const ServerSettings &settings, const QString &dictionaryList,
                          const QStringList &playerNames)
{
    RoomStatus r;
    r.port = settings.port;
    // The lobby only shows whether there is one: the password stays here.
    r.password = settings.password.isEmpty() ? QString() : QStringLiteral("*");
    r.roomName = settings.roomName;
    r.comment = settings.comment;
    r.gameType = settings.gameType;
    r.dictionaryList = dictionaryList;
    r.playerNames = playerNames;
    r.playerMax = settings.playerMax();
    return r;
}

LobbyLink::LobbyLink(QObject *parent) : QObject(parent), m_socket(new LineSocket(this))
{
    m_address = QString::fromLatin1(DefaultLobbyAddress);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &LobbyLink::onConnectTimeout);
    connect(&m_clock, &QTimer::timeout, this, &LobbyLink::tick);
    connect(&m_statusClock, &QTimer::timeout, this, &LobbyLink::statusCheck);
    setTickMs(m_tickMs);
    connect(m_socket->socket(), &QTcpSocket::connected, this, &LobbyLink::onConnected);
    connect(m_socket->socket(), &QTcpSocket::disconnected, this, [this] {
        if (!m_connecting) onLobbyClosed();
    });
    connect(m_socket->socket(), &QTcpSocket::errorOccurred, this, &LobbyLink::onError);
    connect(m_socket, &LineSocket::lineReceived, this, &LobbyLink::onLine);
    // A lobby that floods us or stops reading is treated like one that fell silent.
    connect(m_socket, &LineSocket::inputOverflow, this, &LobbyLink::onLobbyClosed);
    connect(m_socket, &LineSocket::outputOverflow, this, &LobbyLink::onLobbyClosed);
}

void LobbyLink::setTickMs(int ms)
{
    m_tickMs = qMax(1, ms);
    m_clock.setInterval(m_tickMs);
    m_statusClock.setInterval(30 * m_tickMs);
}

void LobbyLink::start()
{
    m_registering = true;
    m_clock.start();
    m_statusClock.start();
    connectToLobby();
}

void LobbyLink::setStatus(const RoomStatus &status, bool now)
{
    m_status = status;
    m_hasStatus = true;
    if (now && isConnected() && !m_connecting) sendRoomStatus();
}

void LobbyLink::onLine(const QString &command, const QString &payload)
{
    // A lobby keeps the link alive and may leave the host a notice; nothing
    // else it sends means anything to the room.
    if (command == cmd::Check) {
        noteCheck();
        return;
    }
    if (command != cmd::System) return;
    emit notice(payload);
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

void LobbyLink::setAddress(const QString &hostPort)
{
    m_address = hostPort.trimmed().isEmpty() ? QString::fromLatin1(DefaultLobbyAddress) : hostPort.trimmed();
}

QString LobbyLink::buildRecord(const RoomStatus &s)
{
    QString players;
    for (int i = 0; i < 8; ++i)
        players += s.playerNames.value(i) + QLatin1Char(':');
    int count = 0;
    for (int i = 0; i < 8; ++i)
        count += s.playerNames.value(i).isEmpty() ? 0 : 1;
    StatusRecord r;
    r.add(QStringLiteral("port="), s.port)
        .add(QStringLiteral("password="), s.password)
        .add(QStringLiteral("roomname="), s.roomName)
        .add(QStringLiteral("comment="), s.comment)
        .add(QStringLiteral("gametype="), QString::number(s.gameType == 0 ? 0 : 1))
        .add(QStringLiteral("zbq="), s.dictionaryList)
        .add(QStringLiteral("version="), QString::fromLatin1(ProtocolVersion))
        .add(QStringLiteral("players="), players)
        .add(QStringLiteral("playercount="), QString::number(count))
        .add(QStringLiteral("playermax="), QString::number(s.playerMax))
        .add(QStringLiteral("playername="), QStringLiteral("ZBSERVER"));
    return r.text();
}

void LobbyLink::setStatusText(const QString &text)
{
    m_statusText = text;
    emit statusTextChanged(text);
}

void LobbyLink::connectToLobby()
{
    m_connecting = true;
    HostPortRules rules;
    rules.ignoreExtraPieces = true;
    const HostPort address = parseHostPort(m_address, rules);
    emit systemText(msg::LobbyConnecting);
    setStatusText(msg::LobbyConnectingStatus);
    m_connectTimer.start(5 * m_tickMs);
    if (!address.ok) {
        // An address that cannot be used fails like an unreachable lobby.
        connectFailed(socketErrorNumber(QAbstractSocket::HostNotFoundError));
        return;
    }
    m_socket->clearBuffer();
    m_socket->socket()->abort();
    m_socket->socket()->connectToHost(address.host, address.port);
}

void LobbyLink::onConnected()
{
    if (!m_connecting) return;
    m_connectTimer.stop();
    emit systemText(msg::LobbyConnected);
    setStatusText(msg::LobbyConnectedStatus);
    m_silence = 0;
    emit silenceChanged(m_silence);
    m_connecting = false;
    sendToLobby(cmd::Name, QStringLiteral("ZBSERVER"));
    sendRoomStatus();
}

void LobbyLink::onConnectTimeout()
{
    connectFailed(socketErrorNumber(QAbstractSocket::SocketTimeoutError));
}

void LobbyLink::connectFailed(int errorNumber)
{
    if (!m_connecting) return;
    m_connectTimer.stop();
    m_socket->socket()->abort();
    emit systemText(msg::LobbyUnreachable);
    emit systemText(msg::LobbySeemsDown);
    // Which lobby, and where to choose another: the host may have mistyped it.
    emit systemText(msg::lobbyUnreachableAt(m_address, errorNumber));
    emit systemText(msg::LobbyAddressHint);
    m_connecting = false;
}

void LobbyLink::onError()
{
    if (m_connecting) {
        // A refused connection needs no five-second wait to be known as failed,
        // and is reported like any other error of the link.
        const int number = socketErrorNumber(m_socket->socket()->error());
        emit systemText(msg::socketErrorLine(number));
        setStatusText(msg::LobbyDisconnected);
        emit systemText(msg::LobbyDisconnected);
        connectFailed(number);
        return;
    }
    const auto error = m_socket->socket()->error();
    if (error == QAbstractSocket::RemoteHostClosedError)
        return; // an orderly close: handled by the disconnected signal
    if (m_socket->socket()->state() == QAbstractSocket::UnconnectedState && m_silence == -1) return;
    emit systemText(msg::socketErrorLine(socketErrorNumber(error)));
    onLobbyClosed();
}

void LobbyLink::onLobbyClosed()
{
    if (m_closing) return;
    m_closing = true;
    m_socket->clearBuffer();
    m_socket->socket()->abort();
    setStatusText(msg::LobbyDisconnected);
    emit systemText(msg::LobbyDisconnected);
    m_silence = -1;
    emit silenceChanged(m_silence);
    m_closing = false;
}

void LobbyLink::sendRoomStatus()
{
    if (!m_hasStatus) return;
    sendToLobby(cmd::Status, urlEncode(buildRecord(m_status)));
}

void LobbyLink::sendToLobby(const QString &command, const QString &text)
{
    if (m_connecting || !m_socket->isConnected()) return;
    m_socket->sendLine(command, text);
}

void LobbyLink::statusCheck()
{
    int playerCount = 0;
    for (const QString &name : std::as_const(m_status.playerNames))
        playerCount += name.isEmpty() ? 0 : 1;
    if (playerCount == m_lastPlayerCount) return;
    m_lastPlayerCount = playerCount;
    if (isConnected() && !m_connecting) sendRoomStatus();
}

void LobbyLink::tick()
{
    if (m_registering && !m_connecting && m_socket->socket()->state() == QAbstractSocket::UnconnectedState) {
        --m_retryWait;
        setStatusText(msg::lobbyRetryStatus(m_retryWait));
        if (m_retryWait <= 0) {
            m_retryWait = RetryWait;
            onLobbyClosed();
            connectToLobby();
        }
    }
    if (m_silence != -1) {
        ++m_silence;
        emit silenceChanged(m_silence);
        if (m_silence == 60) sendToLobby(cmd::Check, QStringLiteral("null"));
        if (m_silence >= 80) {
            emit systemText(msg::LobbySilent);
            onLobbyClosed();
        }
    }
}

void LobbyLink::shortenWait()
{
    if (m_retryWait > 5) m_retryWait = 1;
}

void LobbyLink::reset()
{
    m_retryWait = RetryWait;
    m_socket->clearBuffer();
}

void LobbyLink::noteCheck()
{
    // Only the lobby's own answer counts; a CHK from a player's slot means nothing.
    if (m_silence == -1) return;
    m_silence = 0;
    emit silenceChanged(m_silence);
}

} // namespace zb
