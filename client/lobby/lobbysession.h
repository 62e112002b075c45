#pragma once

#include "client/lobby/serverinfo.h"
#include "client/lobby/serverlistpage.h"
#include "shared/logbuffer.h"

#include <QAbstractSocket>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace zb {

class LineSocket;

// The player's side of the lobby: the connection, the announcement, the
// dispatcher of what the lobby sends, the chat log, the room table and page,
// the name list and the reload limit. The lobby window only shows this state.
class LobbySession : public QObject {
    Q_OBJECT
  public:
    static constexpr int DefaultTickMs = 1000;
    // Connection attempts end after three ticks (3000 ms).
    static constexpr int ConnectTicks = 3;

    explicit LobbySession(QObject *parent = nullptr);
    ~LobbySession() override;

    // Lobby address from the command line; wins over the setting and is never saved.
    static void setAddressOverride(const QString &hostPort);
    // The override, else the setting "LobbyServerAddress", else the built-in default.
    static QString lobbyAddress();
    // True when lobbyAddress() is the player's setting (neither the override nor the default).
    static bool addressIsSetting();

    // Host and port of "host:port" ("[v6]:port" for an IPv6 address); false
    // when the port is missing or out of range.
    static bool splitAddress(const QString &address, QString &host, quint16 &port);

    // Length of one timer tick (1000 ms); tests shorten it.
    void setTickMs(int ms);
    int tickMs() const { return m_tickMs; }
    // Name announced to the lobby; empty reads the setting "Name" at each connect.
    void setPlayerName(const QString &name) { m_playerNameOverride = name; }
    // Where the page file goes; empty means beside the program.
    void setPageFile(const QString &path) { m_pageFile = path; }
    // The least time between two renderings of the page (1000 ms); tests change it.
    void setRenderIntervalMs(int ms) { m_renderTimer.setInterval(ms); }

    // Starts the once-a-second timer and the first connection.
    void start();
    // Ends the connection and the timer (the window is closing).
    void stop();

    void connectToLobby();
    void reloadRoomList();
    void onReloadLimitTick();
    void onLobbyClosed();
    void dispatch(const QString &command, const QString &payload);
    // Echoes the line locally, then sends it. False when not connected.
    bool sendChat(const QString &text);
    void appendChatLine(const QString &text);
    void appendSystemLine(const QString &text);

    // Connection state as the caption shows it: 0 closed, 7 connected.
    int socketState() const;
    bool isConnected() const { return socketState() == 7; }
    bool isConnecting() const { return m_connectTimer.isActive(); }

    QString windowCaption() const { return m_caption; }
    QString reloadCaption() const { return m_reloadCaption; }
    bool reloadEnabled() const { return m_reloadEnabled; }
    int reloadLimit() const { return m_reloadLimit; }
    const QList<ServerInfo> &rooms() const { return m_serverList; }
    const ServerListPage &page() const { return m_page; }
    QString pageShown() const { return m_pageShown; }
    QStringList names() const { return m_names; }
    const LogBuffer &log() const { return m_log; }

    // The room a link of the page points at; Ignore for anything else.
    LinkTarget resolveLink(const QUrl &url) const { return zb::resolveLink(url, m_serverList); }
    QString serverInfoText(int index) const;

  signals:
    // One log line was added; when the log was cut, show log().text() anew.
    void logAppended(const QString &line, bool trimmed);
    void namesChanged(const QStringList &names);
    void pageChanged(const QString &html);
    void captionChanged(const QString &caption);
    void reloadChanged(const QString &caption, bool enabled);
    void connectingChanged(bool connecting);

  private:
    void onConnected();
    void onConnectTimeout();
    void onSocketError(QAbstractSocket::SocketError error);
    // Room lists are rendered at most once per interval: a list that comes
    // sooner waits, and a newer one takes its place.
    void queueRoomList(const QString &payload);
    void renderPendingRoomList();
    void setReload(const QString &caption, bool enabled);
    QString playerName() const;

    LineSocket *m_socket;
    QTimer m_reloadTimer;
    QTimer m_connectTimer;
    QTimer m_renderTimer; // running: a page was rendered less than an interval ago
    bool m_renderPending = false;
    QString m_pendingRoomList; // the newest "SRV" payload not rendered yet; empty: no rooms
    int m_tickMs = DefaultTickMs;
    QString m_playerNameOverride;
    QString m_announcedName; // the lobby relays chat under this name
    QString m_pageFile;
    // The attempt under way: the address tried and the last socket error it met (0: none).
    QString m_attemptAddress;
    bool m_attemptAddressIsSetting = false;
    int m_attemptError = 0;

    QString m_caption;
    QString m_reloadCaption;
    bool m_reloadEnabled = true;
    int m_reloadLimit = -1;
    QList<ServerInfo> m_serverList;
    ServerListPage m_page;
    QString m_pageShown;
    QStringList m_names;
    LogBuffer m_log;
};

} // namespace zb
