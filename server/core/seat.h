#pragma once

#include "server/core/floodguard.h"
#include "server/transport/transport.h"

#include <QHostAddress>
#include <QPointer>
#include <QString>

namespace zb {

// One slot's connection: what carries it, who it is on the network, how far
// it has come in joining, what it may still send and its clocks. The room
// keeps one per busy slot and lets it go through a single release.
class Seat {
  public:
    enum class State {
        Joining, // accepted; its lines go to the joining exchange
        Seated,  // named and announced: a player
    };
    // What the joining exchange has heard from it, and what it refused.
    enum class Refusal { None, Password, Version };

    Seat(Transport *transport, const FloodGuard &budget, quint64 order, int joinTicks);
    // Closes the connection at once if it is still held.
    ~Seat();
    Seat(const Seat &) = delete;
    Seat &operator=(const Seat &) = delete;

    Transport *transport() const { return m_transport; }
    bool isOpen() const { return m_transport && m_transport->isOpen(); }
    // The transport closes itself (gracefully: after what is queued for it)
    // and the seat forgets it; nothing it does reaches the room afterwards.
    void close(bool graceful);

    const QHostAddress &address() const { return m_address; }
    // Dotted for IPv4, as logs and the ban list write it.
    const QString &addressText() const { return m_addressText; }
    // What the per-address rules count it as (an IPv6 address as its /64).
    const QString &key() const { return m_key; }
    // Order of acceptance: the oldest joining connection gives way first.
    quint64 order() const { return m_order; }

    State state = State::Joining;
    bool heardPassword = false;
    bool heardVersion = false;
    Refusal refusal = Refusal::None;
    // The version text its VER carried.
    QString version;
    FloodGuard budget;
    // Clock ticks left to send its name while joining; -1 once seated.
    int joinTicks;
    // Clock ticks since anything arrived.
    int idleTicks = 0;
    // Lines dropped without a word to anybody.
    int ignoredLines = 0;

  private:
    QPointer<Transport> m_transport;
    QHostAddress m_address;
    QString m_addressText;
    QString m_key;
    quint64 m_order;
};

} // namespace zb
