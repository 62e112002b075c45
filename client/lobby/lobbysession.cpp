#include "client/lobby/lobbysession.h"

#include "client/core/messages.h"
#include "shared/hostport.h"
#include "shared/linesocket.h"
#include "shared/protocol.h"
#include "shared/settingsstore.h"
#include "shared/socketerror.h"
#include "shared/statusrecord.h"
#include "shared/textclean.h"
#include "shared/version.h"

#include <utility>

namespace zb {

namespace {
QString &addressOverride()
{
    static QString address;
    return address;
}

// Lobby lines carry at most a chat line or a room list; far less than this.
constexpr qsizetype LobbyInputCap = 1024 * 1024;
// A page takes the window tens of milliseconds to lay out; a lobby sending lists
// back to back must not keep it busy.
constexpr int RenderIntervalMs = 1000;
} // namespace

LobbySession::LobbySession(QObject *parent)
    : QObject(parent), m_socket(new LineSocket(this)), m_caption(msg::LobbyServer),
      m_reloadCaption(msg::ReloadServerList)
{
    m_socket->setInputCap(LobbyInputCap);
    m_reloadTimer.setInterval(m_tickMs);
    m_connectTimer.setSingleShot(true);
    m_renderTimer.setSingleShot(true);
    m_renderTimer.setInterval(RenderIntervalMs);
    connect(&m_renderTimer, &QTimer::timeout, this, [this] {
        if (m_renderPending) renderPendingRoomList();
    });
    connect(&m_reloadTimer, &QTimer::timeout, this, &LobbySession::onReloadLimitTick);
    connect(&m_connectTimer, &QTimer::timeout, this, &LobbySession::onConnectTimeout);
    connect(m_socket->socket(), &QTcpSocket::connected, this, &LobbySession::onConnected);
    connect(m_socket->socket(), &QTcpSocket::errorOccurred, this, &LobbySession::onSocketError);
    connect(m_socket, &LineSocket::lineReceived, this, &LobbySession::dispatch);
    connect(m_socket, &LineSocket::inputOverflow, this, [this] {
        m_socket->clearBuffer();
        onLobbyClosed();
    });
}

LobbySession::~LobbySession() = default;

void LobbySession::setAddressOverride(const QString &hostPort)
{
    addressOverride() = hostPort.trimmed();
}

namespace {
QString storedAddress()
{
    return SettingsStore::read(QStringLiteral("LobbyServerAddress")).trimmed();
}
} // namespace

QString LobbySession::lobbyAddress()
{
    if (!addressOverride().isEmpty()) return addressOverride();
    const QString stored = storedAddress();
    return stored.isEmpty() ? QString::fromLatin1(DefaultLobbyAddress) : stored;
}

bool LobbySession::addressIsSetting()
{
    return addressOverride().isEmpty() && !storedAddress().isEmpty();
}

void LobbySession::setTickMs(int ms)
{
    m_tickMs = ms > 0 ? ms : DefaultTickMs;
    m_reloadTimer.setInterval(m_tickMs);
}

void LobbySession::start()
{
    appendSystemLine(msg::ConnectingToLobby);
    appendSystemLine(msg::DirectConnectHint);
    m_reloadLimit = -1;
    m_reloadTimer.start();
    // The window is drawn before the first attempt starts.
    QTimer::singleShot(0, this, &LobbySession::reloadRoomList);
}

void LobbySession::stop()
{
    m_reloadTimer.stop();
    const bool wasConnecting = isConnecting();
    m_connectTimer.stop();
    m_socket->clearBuffer();
    // A chat line just sent still goes out before the connection ends, even
    // when the window and this session are deleted right after.
    if (m_socket->isConnected()) {
        m_socket->socket()->flush();
        m_socket->socket()->disconnectFromHost();
    } else {
        m_socket->socket()->abort();
    }
    if (wasConnecting) {
        emit connectingChanged(false);
    }
}

int LobbySession::socketState() const
{
    switch (m_socket->socket()->state()) {
    case QAbstractSocket::UnconnectedState:
        return 0;
    case QAbstractSocket::BoundState:
        return 1;
    case QAbstractSocket::ListeningState:
        return 2;
    case QAbstractSocket::HostLookupState:
        return 4;
    case QAbstractSocket::ConnectingState:
        return 6;
    case QAbstractSocket::ConnectedState:
        return 7;
    case QAbstractSocket::ClosingState:
        return 8;
    }
    return 0;
}

QString LobbySession::playerName() const
{
    return m_playerNameOverride.isEmpty() ? SettingsStore::read(QStringLiteral("Name"))
                                          : m_playerNameOverride;
}

bool LobbySession::splitAddress(const QString &address, QString &host, quint16 &port)
{
    HostPortRules rules;
    rules.ignoreExtraPieces = true;
    const HostPort parsed = parseHostPort(address, rules);
    if (!parsed.ok) return false;
    host = parsed.host;
    port = parsed.port;
    return true;
}

void LobbySession::connectToLobby()
{
    QString host;
    quint16 port = 0;
    appendSystemLine(msg::LobbyConnecting);
    emit connectingChanged(true);
    m_attemptAddress = lobbyAddress();
    m_attemptAddressIsSetting = addressIsSetting();
    m_attemptError = 0;
    // A useless address fails like an unreachable lobby, at the end of the wait.
    if (splitAddress(m_attemptAddress, host, port)) m_socket->socket()->connectToHost(host, port);
    m_connectTimer.start(ConnectTicks * m_tickMs);
}

void LobbySession::onConnected()
{
    if (!m_connectTimer.isActive()) return;
    m_connectTimer.stop();
    appendSystemLine(msg::LobbyConnected);
    appendSystemLine(msg::ReceivingServerList);
    m_announcedName = playerName();
    m_socket->sendLine(cmd::Status, announcementRecord(m_announcedName));
    emit connectingChanged(false);
    m_reloadLimit = 10;
    setReload(msg::reloadLimited(10), false);
}

void LobbySession::onConnectTimeout()
{
    m_socket->socket()->abort();
    appendSystemLine(msg::CannotConnectToLobby);
    appendSystemLine(msg::LobbyMayBeDown);
    // A lobby the player chose is named, with where to choose another; the
    // built-in lobby keeps the lines it always had.
    if (m_attemptAddressIsSetting) {
        const int error =
            m_attemptError != 0 ? m_attemptError : socketErrorNumber(QAbstractSocket::SocketTimeoutError);
        appendSystemLine(msg::lobbyUnreachable(removeControlChars(m_attemptAddress), error));
        appendSystemLine(msg::ChangeLobbyAddressHint);
    }
    emit connectingChanged(false);
}

void LobbySession::onSocketError(QAbstractSocket::SocketError error)
{
    // The lobby closing the connection is no error to report.
    if (error != QAbstractSocket::RemoteHostClosedError)
        appendSystemLine(msg::socketErrorLine(socketErrorNumber(error)));
    if (isConnecting()) m_attemptError = socketErrorNumber(error);
    onLobbyClosed();
}

void LobbySession::onLobbyClosed()
{
    m_socket->clearBuffer();
    m_socket->socket()->abort();
}

void LobbySession::reloadRoomList()
{
    // One attempt at a time; the running one ends by itself within the limit.
    if (isConnecting()) return;
    if (socketState() != 0) onLobbyClosed();
    connectToLobby();
}

void LobbySession::onReloadLimitTick()
{
    const QString caption = msg::lobbyCaption(socketState());
    if (caption != m_caption) {
        m_caption = caption;
        emit captionChanged(m_caption);
    }
    if (m_reloadLimit == -1) return;
    setReload(msg::reloadLimited(m_reloadLimit), false);
    --m_reloadLimit;
    if (m_reloadLimit == -1) setReload(msg::ReloadServerList, true);
}

void LobbySession::setReload(const QString &caption, bool enabled)
{
    if (caption == m_reloadCaption && enabled == m_reloadEnabled) return;
    m_reloadCaption = caption;
    m_reloadEnabled = enabled;
    emit reloadChanged(caption, enabled);
}

void LobbySession::dispatch(const QString &command, const QString &payload)
{
    if (command == cmd::Chat) {
        appendChatLine(payload);
    } else if (command == cmd::System) {
        appendSystemLine(payload);
    } else if (command == cmd::Names) {
        QStringList pieces = payload.split(QLatin1Char(':'));
        pieces.removeLast();
        m_names = pieces;
        emit namesChanged(m_names);
    } else if (command == cmd::PageHead) {
        m_page.setHeader(StatusRecord::decode(payload));
    } else if (command == cmd::PageFoot) {
        m_page.setFooter(StatusRecord::decode(payload));
    } else if (command == cmd::RoomList) {
        // A list of rooms holds a separator; without one it is no list (the
        // same test parseRoomList makes, done at once so that the player hears of it).
        if (!payload.isEmpty() && !payload.contains(QLatin1Char(':'))) {
            appendSystemLine(msg::UnknownError);
            return;
        }
        queueRoomList(payload);
    } else {
        appendSystemLine(msg::BadCommand);
    }
}

void LobbySession::queueRoomList(const QString &payload)
{
    m_pendingRoomList = payload;
    m_renderPending = true;
    if (!m_renderTimer.isActive()) renderPendingRoomList();
}

void LobbySession::renderPendingRoomList()
{
    m_renderPending = false;
    const QString payload = std::exchange(m_pendingRoomList, QString());
    m_renderTimer.start();
    // An empty list keeps the room table: only the page says there are none.
    const bool noRooms = payload.isEmpty();
    if (!noRooms) parseRoomList(payload, m_serverList);
    m_pageShown = m_page.renderRoomList(m_serverList, noRooms);
    // The file is a copy for the player; failing to write it changes nothing shown.
    ServerListPage::writePage(m_pageFile.isEmpty() ? ServerListPage::pageFile() : m_pageFile, m_pageShown);
    emit pageChanged(m_pageShown);
    if (!noRooms) appendSystemLine(msg::ServerListReceived);
}

QString LobbySession::serverInfoText(int index) const
{
    if (index < 0 || index >= m_serverList.size()) return {};
    return ServerListPage::roomDetailsText(m_serverList.at(index));
}

bool LobbySession::sendChat(const QString &text)
{
    if (!isConnected()) return false;
    QString line = text;
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    appendChatLine(m_announcedName + QStringLiteral("> ") + line);
    m_socket->sendLine(cmd::Chat, line);
    return true;
}

void LobbySession::appendChatLine(const QString &text)
{
    const QString line = LogBuffer::chatLine(text);
    const bool trimmed = m_log.append(line);
    emit logAppended(line, trimmed);
}

void LobbySession::appendSystemLine(const QString &text)
{
    const QString line = LogBuffer::systemLine(text);
    const bool trimmed = m_log.append(line);
    emit logAppended(line, trimmed);
}

} // namespace zb
