#pragma once

#include "server/core/floodguard.h"
#include "server/core/seat.h"

#include <QHostAddress>
#include <QString>

namespace zb {

struct ServerSettings;

// What the joining exchange needs of the room it runs in.
class AdmissionHost {
  public:
    virtual const ServerSettings &roomSettings() const = 0;
    virtual Seat *seatAt(int slot) = 0;
    virtual int seatedCount() const = 0;
    virtual bool gameRunning() const = 0;
    // A readiness mark the room keeps for the slot ("PSW", "VER", "OK").
    virtual void setMark(int slot, const QString &mark) = 0;
    // Everybody's marks to every seated player, and to the slot while it joins.
    virtual void sendMarks(int joiningSlot) = 0;
    virtual void sendTo(int slot, const QString &command, const QString &text) = 0;
    // A SYM line to the seated players only.
    virtual void noticeToSeated(const QString &text) = 0;
    // A line of the host's log that the slot's connection caused.
    virtual bool logFrom(int slot, const QString &text) = 0;
    // The connection is turned away: told `reason` first when there is one,
    // then closed; the room says nothing of it.
    virtual void turnAway(int slot, const QString &reason) = 0;
    // The connection becomes the player `name`: the room announces it.
    virtual void seatPlayer(int slot, const QString &name) = 0;

  protected:
    ~AdmissionHost() = default;
};

// Runs the joining exchange of a new connection and hands the room a player,
// or nothing. A player's program sends three lines at once when it has
// connected, and the room answers them so:
//
//   PSW password  Compared with the room's password; with none set, nothing
//                 happens. Wrong: the host's log says so, the seated players
//                 hear "パスワード不一致の接続がありました" (once in ten ticks
//                 at most, then with the count of refusals since), the mark
//                 becomes "PSW" and the connection alone gets NSP. It is never
//                 seated: its NAM is refused.
//   VER 1.16      Recorded. Anything else: the connection alone is told which
//                 version to use (SYM) and gets NST, the mark becomes "VER",
//                 and its NAM is refused. The right version: NUM with its slot
//                 and, while a game runs, RST, the mark "OK" and everybody's
//                 marks, so that it is drawn into the turn order.
//   NAM name      Cleaned to at most twelve characters; a name that cleans to
//                 nothing is ignored and the connection goes on joining. Then,
//                 before the name is taken, the checks: the player limit (a
//                 burst of joins accepted while seats were free gets the
//                 room-full notice), the ban list ("ホストにBANされました"), one
//                 seat per address, an IPv6 address counting as its /64
//                 ("同じIPアドレスからすでに参加しています", unless the host
//                 allows it), the version, the password (a connection that
//                 sent none is refused as a wrong one). A connection turned
//                 away is closed and the room says nothing of it. Otherwise the
//                 name is made unique among the seated ("name(2)") and the
//                 room announces the player.
//
// Only the first PSW and the first VER count, and nothing but these three
// lines is heard from a joining connection. Before any of it, at accept,
// screen() turns away an address that connects too often, is banned, or has
// another connection joining already.
class Admission {
  public:
    // The room hears of refused passwords at most once in this many ticks.
    static constexpr int PasswordNoticeTicks = 10;

    explicit Admission(AdmissionHost &host) : m_host(host) {}

    // The log line of the rule that turns a new connection away, or empty.
    // `logIt` is false once an address keeps coming back: logged once.
    QString screen(const QHostAddress &peer, bool &logIt);
    // A line from a joining connection.
    void handle(int slot, const QString &command, const QString &payload);
    // One tick of the moderation clock.
    void tick();

  private:
    void password(int slot, const QString &text);
    void version(int slot, const QString &text);
    void name(int slot, const QString &payload);
    // The log line of the check that refuses the slot's name, or empty.
    QString refusal(int slot);
    bool joiningFrom(const QString &key) const;

    AdmissionHost &m_host;
    ConnectGuard m_connects;
    // Ticks until the room may hear of a refused password again, and the
    // refusals since it last did.
    int m_passwordNoticeTicks = 0;
    int m_passwordsRefused = 0;
};

} // namespace zb
