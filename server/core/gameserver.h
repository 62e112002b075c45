#pragma once

#include "floodguard.h"
#include "linesocket.h"
#include "lobbylink.h"
#include "logbuffer.h"
#include "playertable.h"
#include "questionbank.h"
#include "roomfullsocket.h"
#include "roundhost.h"
#include "serversettings.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <array>

namespace zb {

class RoundEngine;

// The game room: one listening port, eight player slots and a room-full
// socket, the player table, the line dispatcher `dispatch`, moderation, the round
// engine, the word pool and the lobby registration. No window: the console
// (or headless main) is a view over this object.
//
// Interface for a view:
//   - Call prepare() once after connecting logLine, fill the settings panels
//     from loadSettings(), and hand them back to startOrApply().
//   - Operator actions: kick(slot, withBan), announce(text), the dictionary
//     calls (setDictionaryMode(), rescanDictionaries(), tickDictionary()) and
//     shortenLobbyWait().
//   - State: the player accessors, drawerSlot(), gameRunning(), timeLeft(),
//     questionLabel(), highlightedSlot(), captionText(), lobbyStatus().
//   - Signals say when to redraw; logLine carries the finished console line.
//
// Time: every timer derives from one tick length (1000 ms normally): the
// round clock and the moderation timer tick once per tick, the lobby status
// check every 30 ticks. The console's receive lamps fade on their own timer.
class GameServer : public QObject, private RoundHost {
    Q_OBJECT
  public:
    static constexpr int Slots = PlayerTable::Slots;

    enum class StartResult {
        NoWords,     // show "なにも辞書が読み込まれていません！"; nothing changed
        PortRefused, // startError() says why; still configuring
        Started,     // first press: listening now
        Reapplied,   // later press: dictionaries and game settings applied
    };

    explicit GameServer(int tickMs = 1000, QObject *parent = nullptr);
    ~GameServer() override;

    int tickMs() const { return m_tickMs; }

    // ---- start-up and settings
    // Program start: creates the "zbq" folder, scans the dictionaries, greets.
    void prepare();
    // Values the command line gives for this run (`fields` says which). They
    // are shown and used instead of the stored ones and never saved; a field
    // is saved again once a start press carries another value for it (the
    // host changed it in the window).
    void setRunOptions(const ServerSettings &values, int fields);
    // Off for the dedicated server: it neither reads nor writes what the
    // console stored; its options come from its command line alone.
    void setStoredSettings(bool used) { m_storedSettings = used; }
    // Stored settings over the defaults, the run's options over them: what
    // the panels show at start.
    ServerSettings loadSettings() const;
    // The start button: the first press starts the server, later presses
    // reload the dictionaries and apply the game settings. Settings are saved
    // when the press gets past the dictionary check (and, at the first press,
    // the port).
    StartResult startOrApply(const ServerSettings &settings);
    QString startError() const { return m_startError; }
    bool serverStarted() const { return m_serverStarted; }
    // The settings as applied (texts cleaned, defaults filled in).
    const ServerSettings &settings() const { return m_settings; }
    // "host:port" that wins over the stored lobby address; empty: none.
    void setLobbyAddressOverride(const QString &hostPort) { m_lobbyOverride = hostPort; }
    // The lobby the room registers with, once started.
    QString lobbyAddress() const { return m_lobby.address(); }
    // Bytes of strokes and fills one connection may send in a flood window,
    // for connections accepted from now on (default FloodGuard::MaxCanvasBytes,
    // or ZB_BENCH_STROKE_BUDGET_KIB KiB from the environment).
    void setStrokeBudget(qint64 bytes) { m_strokeBudget = qMax<qint64>(1, bytes); }
    quint16 listeningPort() const;

    // ---- operator
    void kick(int slot, bool withBan);
    // The console's announcement line; an empty text does nothing.
    void announce(const QString &text);

    // ---- state for the console
    QString playerName(int slot) const { return valid(slot) ? m_table.names[slot] : QString(); }
    QString playerReady(int slot) const { return valid(slot) ? m_table.readiness[slot] : QString(); }
    int playerScore(int slot) const { return valid(slot) ? m_table.scores[slot] : 0; }
    QString playerVersion(int slot) const { return valid(slot) ? m_table.versions[slot] : QString(); }
    int joinTimer(int slot) const { return valid(slot) ? m_table.joinTimers[slot] : -1; }
    // The player label: "name Score: n", or "接続有 Name,Ver待ち" while joining.
    QString playerLabel(int slot) const { return valid(slot) ? m_labels[slot] : QString(); }
    // The label's tooltip: the slot's remote address (empty when free).
    QString remoteAddress(int slot) const;
    bool slotBusy(int slot) const { return valid(slot) && m_slots[slot]; }
    const PlayerTable &table() const { return m_table; }
    int playerCount() const { return m_table.playerCount(); }

    int drawerSlot() const;
    bool gameRunning() const;
    int timeLeft() const;
    int roundMax() const;
    QString questionLabel() const;
    int highlightedSlot() const;
    RoundEngine &engine() { return *m_engine; }

    QString captionText() const { return m_caption; }
    QString logText() const { return m_log.text(); }
    // Close guard: refused while the lobby connection is being made; asking
    // is needed while players are seated.
    bool closeRefused() const { return m_lobby.connecting(); }
    bool canCloseWithoutAsking() const { return playerCount() == 0; }

    const QuestionBank &questionBank() const { return m_bank; }
    const LobbyLink &lobbyLink() const { return m_lobby; }

    // ---- dictionaries and lobby, for the console
    // The mode a pool used up mid-game is rebuilt from (values outside 0..4 are ignored).
    void setDictionaryMode(int mode);
    // Refills the list of added dictionaries; ticks are lost.
    void rescanDictionaries();
    // Ticking runs the file checks: false, with one message text per failed
    // check in `failures`, when the file stays unticked.
    bool tickDictionary(const QString &entry, bool ticked, QStringList *failures = nullptr);
    // The lobby status for the console's caption; empty before the first attempt.
    QString lobbyStatus() const;
    // What the lobby last found when it tried to connect back to the room.
    enum class Reachability { Unknown, Reachable, Unreachable };
    Reachability reachability() const { return m_reachability; }
    // Connect to the lobby at the next tick instead of waiting out the retry.
    void shortenLobbyWait();

    // ---- protocol
    // The complete lines of one read from a player connection (as
    // LineSocket::linesReceived hands them out). Each meets the flood budgets
    // and, for strokes and fills, the rule that only the pen's holder draws,
    // on its command and size on the wire alone. Strokes and fills go to the
    // others as the bytes received, a run of them in one write per reader;
    // every other line is decoded and goes to dispatch.
    void receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines);
    // One line without its CR LF, as if it had arrived alone.
    void receiveLine(int slot, const QByteArray &line);
    void appendChatLine(const QString &text);
    void appendSystemLine(const QString &text);
    void reset();

  signals:
    // "hh:mm <system> text" or "hh:mm <name> message", CR LF included.
    void logLine(const QString &formattedLine);
    void playersChanged();
    void clockChanged(int timeLeft);
    void questionLabelChanged(const QString &text);
    // Every STK payload from a player, already relayed, as the bytes received
    // (code page 932). Nothing is copied while nobody listens; the view
    // decodes it only while its mirror is shown.
    void strokeReceived(const QByteArray &payload);
    // A CLS from a player (a valid index only), already relayed; the view
    // fills its mirror only while it is shown.
    void fillReceived(int paletteIndex);
    // The white clear at every turn start, which the mirror takes whether
    // shown or not.
    void turnCleared(int paletteIndex);
    // A slot's connection delivered data (its lamp lights up).
    void dataArrived(int slot);
    void captionChanged(const QString &caption);
    void lobbyStatusChanged(const QString &text);
    // The lobby's answer changed; `notice` is its text as the lobby sent it.
    void reachabilityChanged(Reachability state, const QString &notice);

  private:
    static bool valid(int slot) { return PlayerTable::validSlot(slot); }
    // Dotted text for IPv4, also when it arrives mapped into IPv6.
    static QString addressText(const QHostAddress &address);

    void onNewConnection();
    void seat(int slot, QTcpSocket *socket);
    void onConnectionClosed(int slot);
    void onConnectionError(int slot, QAbstractSocket::SocketError error);
    // Detaches the slot's connection and closes it (gracefully: after its
    // queued output); the slot is free afterwards.
    void dropSocket(int slot, bool graceful);
    void releaseOverflow(int slot, bool input);
    void onJoinTimeoutTick();
    void onClockTick();
    void updateCaption();
    // A decoded line other than a stroke or a fill. Until its NAM is accepted
    // a connection is joining: only its first PSW, its first VER and NAM are
    // taken from it.
    void dispatch(const QString &command, int slot, const QString &payload);
    // Whether a stroke or fill from the slot reaches the room.
    bool mayDraw(int slot) const;
    // Handles the lines already waiting on every connection but the drawer's.
    void takeWaitingGuesses(int drawer);
    // Hands a relayed stroke or fill to the console.
    void showCanvasLine(bool stroke, QByteArrayView payload);
    void handshake(const QString &command, int slot, const QString &payload);
    void admit(int slot, const QString &payload);
    // Tells the player why, then closes once that line is out.
    void closeWithReason(int slot, const QString &reason);
    bool joiningFrom(const QString &address) const;
    void lobbyLine(const QString &command, const QString &payload);
    void handleVersion(int slot, const QString &version);
    void handlePassword(int slot, const QString &password);
    void applyDictionaries(const ServerSettings &s);
    // Saves the settings as applied, but no option the host left as it was
    // among the `applied` fields of `pressed`.
    void saveSettings(const ServerSettings &pressed, int applied);
    bool listenOn(const QString &portText);
    RoomStatus roomStatus() const;
    void logLines(const QStringList &texts);
    void sendEncoded(const QByteArray &line, int exceptSlot);

    // To every seated player but the origin (-1: everybody).
    void relay(const QString &command, const QString &text, int originSlot);
    void broadcastPlayers();
    void updatePlayerLabels();
    // What the round engine sends and logs through.
    void broadcast(const QString &command, const QString &text) override;
    void sendTo(const QString &command, const QString &text, int slot) override;
    void broadcastReadys() override;
    void broadcastScores() override;
    void roundLog(const QString &text) override { appendSystemLine(text); }
    void refreshPlayerList() override { updatePlayerLabels(); }

    // What the room knows of a connection besides its row; new at every accept.
    struct Peer {
        bool passwordSent = false;
        bool passwordRefused = false;
        bool versionSent = false;
        FloodGuard budget;
    };

    int m_tickMs;
    PlayerTable m_table;
    std::array<Peer, Slots> m_peers{};
    ConnectGuard m_connects;
    // The joining connection whose handshake line is being handled: the only
    // one that hears what the room broadcasts meanwhile.
    int m_handshakeSlot = -1;
    std::array<QString, Slots> m_labels;
    std::array<LineSocket *, Slots> m_slots{};
    QTcpServer m_listen;
    RoomFullSocket m_roomFull;
    QTimer m_tmrTimelimit;
    QTimer m_tmrAutoKick;
    QTimer m_dimServerStatus;
    QuestionBank m_bank;
    LobbyLink m_lobby;
    RoundEngine *m_engine;
    LogBuffer m_log;
    ServerSettings m_settings;
    ServerSettings m_runOptions;
    int m_optionFields = 0;
    // Option fields the host has not changed yet: not saved.
    int m_heldFields = 0;
    QString m_lobbyOverride;
    qint64 m_strokeBudget = FloodGuard::MaxCanvasBytes;
    QString m_startError;
    QString m_caption;
    bool m_serverStarted = false;
    bool m_storedSettings = true;
    Reachability m_reachability = Reachability::Unknown;
    bool m_takingGuesses = false; // guards takeWaitingGuesses() against itself
};

} // namespace zb
