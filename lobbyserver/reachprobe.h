#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QTcpSocket;
class QTimer;

namespace zb {

// Finds out whether players can reach a room: a TCP connection to the room's
// port at the address its lobby connection comes from (never an address the
// room names), closed as soon as it is made, nothing sent. A room is checked
// once at a time and at most once an interval; one found unreachable is tried
// again each interval, so that a host who opens the port hears of it; and only
// a few checks run at once, the rest wait their turn.
class ReachProbe : public QObject {
    Q_OBJECT
  public:
    static constexpr int DefaultIntervalMs = 60000;
    static constexpr int DefaultTimeoutMs = 3000;
    static constexpr int DefaultMaxRunning = 16;

    explicit ReachProbe(QObject *parent = nullptr);
    ~ReachProbe() override;

    void setLimits(int intervalMs, int timeoutMs, int maxRunning);

    // The room (any object that stands for it while it is registered) listens
    // on port at address. A new port is checked now, or when the room's
    // interval since its last check is up.
    void watch(const QObject *room, const QHostAddress &address, quint16 port);
    // The room is gone: its check is dropped and nothing more is reported.
    void forget(const QObject *room);
    int running() const { return m_running; }

  signals:
    void checked(const QObject *room, quint16 port, bool reachable);

  private:
    struct Room {
        QHostAddress address;
        quint16 port = 0;        // the port to check
        quint16 checkedPort = 0; // the port of the running or last check
        QElapsedTimer sinceStart;
        QTcpSocket *probe = nullptr;
        QTimer *due = nullptr;
        bool queued = false;
    };

    void schedule(const QObject *room, Room &r);
    void start(const QObject *room, Room &r);
    void finish(const QObject *room, const QTcpSocket *probe, bool reachable);
    void startQueued();
    void stopProbe(Room &r);

    QHash<const QObject *, Room> m_rooms;
    QList<const QObject *> m_queue;
    int m_running = 0;
    int m_intervalMs = DefaultIntervalMs;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_maxRunning = DefaultMaxRunning;
};

} // namespace zb
