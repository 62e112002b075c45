#pragma once

#include "admission.h"
#include "floodguard.h"
#include "lobbylink.h"
#include "protocol.h"
#include "questionbank.h"
#include "roomconfig.h"
#include "roomfullsocket.h"
#include "roomlog.h"
#include "roundhost.h"
#include "seats.h"
#include "serversettings.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <array>
#include <memory>

namespace zb {

class LineRelay;
class RoundAnnouncer;
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
// round clock and the moderation clock tick once per tick, as does the lobby
// link's own clock. The console's receive lamps fade on their own timer.
class GameServer : public QObject, private RoundHost, private AdmissionHost {
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
    void setRunOptions(const ServerSettings &values, int fields) { m_config.setRunOptions(values, fields); }
    // Off for the dedicated server: it neither reads nor writes what the
    // console stored; its options come from its command line alone.
    void setStoredSettings(bool used) { m_config.setStoredSettings(used); }
    // Stored settings over the defaults, the run's options over them: what
    // the panels show at start.
    ServerSettings loadSettings() const { return m_config.load(); }
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
    void setLobbyAddressOverride(const QString &hostPort) { m_config.setLobbyOverride(hostPort); }
    QString lobbyAddressOverride() const { return m_config.lobbyOverride(); }
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
    QString playerName(int slot) const { return m_seats.name(slot); }
    QString playerReady(int slot) const { return m_seats.mark(slot); }
    int playerScore(int slot) const;
    int joinTimer(int slot) const { return m_seats.busy(slot) ? m_seats.at(slot)->joinTicks : -1; }
    // The player label: "name Score: n", or "接続有 Name,Ver待ち" while joining.
    QString playerLabel(int slot) const { return m_seats.label(slot); }
    // The label's tooltip: the slot's remote address (empty when free).
    QString remoteAddress(int slot) const { return m_seats.addressText(slot); }
    bool slotBusy(int slot) const { return m_seats.busy(slot); }
    const PlayerTable &table() const { return m_seats.table(); }
    int playerCount() const { return m_seats.playerCount(); }

    int drawerSlot() const;
    bool gameRunning() const override;
    int timeLeft() const;
    int roundMax() const;
    QString questionLabel() const;
    int highlightedSlot() const;
    // The game as it stands, and its events.
    const RoundEngine &round() const { return *m_engine; }

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

    void onNewConnection();
    // Frees the slot of the oldest connection that has not named itself;
    // the slot, or -1 when there is none.
    int makeRoomForJoiner();
    void seat(int slot, Transport *transport);
    // The one way a connection leaves, whatever ended it: the log, the reason
    // line when there is one (then the close waits for it to go out), the
    // close, and for a seated player the departure the others hear.
    void release(int slot, bool graceful, const QString &reason = QString());
    void onModerationTick();
    void updateCaption();
    // Takes what every connection has waiting, the drawer's last: a guess that
    // came with the drawer's strokes is judged before them.
    void scheduleStep();
    void handleWaitingLines();
    void takeLines(int slot);
    // A decoded line from a connection other than a stroke or a fill.
    void handleLine(int slot, const QString &command, const QString &payload);
    void dispatch(const QString &command, int slot, const QString &payload);
    // A notice from the lobby: the host's log, and the lobby's answer to its
    // try to connect back to the room.
    void lobbyNotice(const QString &text);
    bool listenOn(const QString &portText);
    RoomStatus roomStatus() const;
    void logLines(const QStringList &texts);
    void broadcastPlayers();
    void updatePlayerLabels();
    // playersChanged, once for everything that changes in one event.
    void markPlayersChanged();
    bool logFrom(int slot, const QString &text, bool chat);

    // What the round's announcer sends and logs through.
    void broadcast(const QString &command, const QString &text) override { m_seats.broadcast(command, text); }
    void sendTo(const QString &command, const QString &text, int slot) override
    {
        m_seats.sendTo(slot, command, text);
    }
    void broadcastReadys() override;
    void broadcastScores() override;
    void roundLog(const QString &text) override { appendSystemLine(text); }
    void refreshPlayerList() override { updatePlayerLabels(); }
    // What the joining exchange needs.
    const ServerSettings &roomSettings() const override { return m_settings; }
    Seat *seatAt(int slot) const override { return m_seats.at(slot); }
    int seatedCount() const override { return playerCount(); }
    void setMark(int slot, const QString &mark) override { m_seats.table().readiness[slot] = mark; }
    void sendMarks(int joiningSlot) override;
    void sendTo(int slot, const QString &command, const QString &text) override
    {
        m_seats.sendTo(slot, command, text);
    }
    void noticeToSeated(const QString &text) override { m_seats.broadcast(cmd::System, text); }
    bool logFrom(int slot, const QString &text) override { return logFrom(slot, text, false); }
    void turnAway(int slot, const QString &reason) override { release(slot, true, reason); }
    void seatPlayer(int slot, const QString &name) override;

    int m_tickMs;
    Seats m_seats;
    RoomLog m_log;
    QuestionBank m_bank;
    RoundEngine *m_engine;
    RoundAnnouncer *m_announcer;
    LineRelay *m_relay;
    Admission m_admission{*this};
    LobbyLink m_lobby;
    RoomConfig m_config;
    ServerSettings m_settings;
    QTcpServer m_listen;
    RoomFullSocket m_roomFull;
    QTimer m_roundClock;
    QTimer m_moderationClock;
    quint64 m_acceptCount = 0;
    qint64 m_strokeBudget = FloodGuard::MaxCanvasBytes;
    QString m_startError;
    QString m_caption;
    bool m_serverStarted = false;
    // Connections with lines waiting, and whether the step that takes them is due.
    std::array<bool, Slots> m_waiting{};
    bool m_stepDue = false;
    bool m_playersDue = false;
    Reachability m_reachability = Reachability::Unknown;

    // Tests step the round clock by hand and set up games through it.
    friend class RoomInternals;
};

} // namespace zb
