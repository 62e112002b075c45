#include "lobbyserver/reachprobe.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace zb {

ReachProbe::ReachProbe(QObject *parent) : QObject(parent) {}

ReachProbe::~ReachProbe()
{
    for (Room &r : m_rooms)
        stopProbe(r);
}

void ReachProbe::setLimits(int intervalMs, int timeoutMs, int maxRunning)
{
    m_intervalMs = intervalMs;
    m_timeoutMs = timeoutMs;
    m_maxRunning = maxRunning;
}

void ReachProbe::watch(const QObject *room, const QHostAddress &address, quint16 port)
{
    Room &r = m_rooms[room];
    // The same port is checked already, being checked or due.
    if (r.port == port) return;
    r.address = address;
    r.port = port;
    schedule(room, r);
}

void ReachProbe::forget(const QObject *room)
{
    const auto it = m_rooms.find(room);
    if (it == m_rooms.end()) return;
    stopProbe(*it);
    delete it->due;
    m_queue.removeOne(room);
    m_rooms.erase(it);
    startQueued();
}

void ReachProbe::schedule(const QObject *room, Room &r)
{
    // A running or waiting check schedules the next one when it is done.
    if (r.probe || r.queued) return;
    const qint64 wait = r.sinceStart.isValid() ? m_intervalMs - r.sinceStart.elapsed() : 0;
    if (wait > 0) {
        if (!r.due) {
            r.due = new QTimer(this);
            r.due->setSingleShot(true);
            connect(r.due, &QTimer::timeout, this, [this, room] {
                const auto it = m_rooms.find(room);
                if (it != m_rooms.end()) schedule(room, *it);
            });
        }
        r.due->start(int(wait));
        return;
    }
    if (m_running < m_maxRunning) {
        start(room, r);
    } else {
        r.queued = true;
        m_queue.append(room);
    }
}

void ReachProbe::start(const QObject *room, Room &r)
{
    ++m_running;
    r.queued = false;
    r.checkedPort = r.port;
    r.sinceStart.start();
    auto *probe = new QTcpSocket(this);
    r.probe = probe;
    // The check is about the room's own address: no proxy stands in for it.
    probe->setProxy(QNetworkProxy::NoProxy);
    connect(probe, &QTcpSocket::connected, this, [this, room, probe] { finish(room, probe, true); });
    connect(probe, &QTcpSocket::errorOccurred, this, [this, room, probe] { finish(room, probe, false); });
    QTimer::singleShot(m_timeoutMs, probe, [this, room, probe] { finish(room, probe, false); });
    // Connecting may fail at once; the result is reported from the event loop, never from inside watch().
    const QHostAddress address = r.address;
    const quint16 port = r.port;
    QMetaObject::invokeMethod(
        probe, [probe, address, port] { probe->connectToHost(address, port); }, Qt::QueuedConnection);
}

void ReachProbe::finish(const QObject *room, const QTcpSocket *probe, bool reachable)
{
    // A probe already stopped may still be waiting for its deletion.
    const auto it = m_rooms.find(room);
    if (it == m_rooms.end() || it->probe != probe) return;
    stopProbe(*it);
    const quint16 port = it->checkedPort;
    // A room that changed its port meanwhile, or that could not be reached, is
    // checked again when its interval is up.
    if (it->port != port || !reachable) schedule(room, *it);
    startQueued();
    emit checked(room, port, reachable);
}

void ReachProbe::startQueued()
{
    while (m_running < m_maxRunning && !m_queue.isEmpty()) {
        const QObject *room = m_queue.takeFirst();
        const auto it = m_rooms.find(room);
        if (it != m_rooms.end()) start(room, *it);
    }
}

void ReachProbe::stopProbe(Room &r)
{
    if (!r.probe) return;
    --m_running;
    r.probe->disconnect(this);
    // Closed without a word: the room only sees a connection come and go.
    r.probe->abort();
    r.probe->deleteLater();
    r.probe = nullptr;
}

} // namespace zb
