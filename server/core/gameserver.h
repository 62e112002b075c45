#pragma once

#include "server/core/admission.h"
#include "server/core/lobbylink.h"
#include "server/core/questionbank.h"
#include "server/core/roomconfig.h"
#include "server/core/roomdoor.h"
#include "server/core/roomlog.h"
#include "server/core/seats.h"
#include "server/core/seatwatch.h"
#include "server/core/serversettings.h"
#include "shared/protocol.h"

#include <QObject>
#include <QTimer>

namespace zb {

class LineRelay;
class PlayerLines;
class Roster;
class RoundAnnouncer;
class RoundEngine;

// The game room: its door, eight seats and what happens in them. It joins the parts that do the work (the
// joining exchange, the relay of what players send, the round engine and its announcer, the log, the lobby
// link, the word pool) and owns the one way a connection leaves. No window: the console, the headless
// terminal and the dedicated server are views over it.
//
// A view: sets this run's options through config(), calls prepare() once its
// log is connected, fills its panels from config().load() and hands them back
// to startOrApply(). It reads the seats, the game and the log through their
// own objects and follows their signals; the host acts through kick(),
// announce(), dictionaries() and lobby().
//
// Time: every clock derives from one tick length (1000 ms normally): the round
// clock and the moderation clock tick once per tick, the lobby link's too.
class GameServer : public QObject, private AdmissionHost {
    Q_OBJECT
  public:
    enum class StartResult {
        NoWords,     // show "なにも辞書が読み込まれていません！"; nothing changed
        PortRefused, // startError() says why; still configuring
        Started,     // first press: listening now
        Reapplied,   // later press: dictionaries and game settings applied
    };

    explicit GameServer(int tickMs = 1000, QObject *parent = nullptr);
    ~GameServer() override;

    // This run's options and the stored settings; set before the start.
    RoomConfig &config() { return m_config; }
    // Program start: creates the "zbq" folder, scans the dictionaries, greets.
    void prepare();
    // The start button: the first press starts the server, later presses
    // reload the dictionaries and apply the game settings. Settings are saved
    // when the press gets past the dictionary check (and, at the first press,
    // the port).
    StartResult startOrApply(const ServerSettings &settings);
    QString startError() const { return m_startError; }
    // The settings as applied (texts cleaned, defaults filled in).
    const ServerSettings &settings() const { return m_settings; }
    // 0 until the server has started.
    quint16 listeningPort() const;

    void kick(int slot, bool withBan);
    // The console's announcement line; an empty text does nothing.
    void announce(const QString &text);

    const Seats &seats() const { return m_seats; }
    // The game as it stands, and its events.
    const RoundEngine &round() const { return *m_engine; }
    // What players send: the strokes and fills relayed, data arriving.
    const LineRelay &relay() const { return *m_relay; }
    RoomLog &log() { return m_log; }
    LobbyLink &lobby() { return m_lobby; }
    QuestionBank &dictionaries() { return m_bank; }
    // "zbserver Port:27064 [0] [-1]": the port, the room-full socket's state
    // and the lobby link's silence.
    QString captionText() const { return m_caption; }

  signals:
    // Names, marks, scores, labels or the drawer changed (once per event).
    void playersChanged();
    void captionChanged(const QString &caption);

  private:
    // The slot for a newcomer: a free one, or one a joiner gives up; -1 when full.
    int findSeat();
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
    // Back to an empty room (the last player left, or the start).
    void reset();
    void receiveLines(int slot, const QByteArray &block, const QList<QByteArrayView> &lines);
    // A decoded line from a connection other than a stroke or a fill.
    void handleLine(int slot, const QString &command, const QString &payload);
    RoomStatus roomStatus() const;
    bool logFrom(int slot, const QString &text, bool chat);

    // What the joining exchange needs.
    const ServerSettings &roomSettings() const override { return m_settings; }
    Seat *seatAt(int slot) override { return m_seats.at(slot); }
    int seatedCount() const override { return m_seats.playerCount(); }
    bool gameRunning() const override;
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

    Seats m_seats;
    RoomLog m_log;
    QuestionBank m_bank;
    RoundEngine *m_engine;
    Roster *m_roster;
    RoundAnnouncer *m_announcer;
    LineRelay *m_relay;
    PlayerLines *m_talk;
    Admission m_admission{*this};
    LobbyLink m_lobby;
    RoomConfig m_config;
    ServerSettings m_settings;
    RoomDoor m_door{m_admission, m_log, [this] { return findSeat(); }};
    SeatWatch m_watch{m_seats, m_log, [this](int slot, bool graceful, const QString &reason) {
                          release(slot, graceful, reason);
                      }};
    QTimer m_roundClock;
    QTimer m_moderationClock;
    quint64 m_acceptCount = 0;
    QString m_startError;
    QString m_caption;

    // Tests step the round clock by hand and feed lines straight in.
    friend class RoomInternals;
};

} // namespace zb
