#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace zb {

// What the first bytes of a new connection on the room's port make it.
enum class ConnectionKind {
    Undecided,    // too few bytes yet
    WebRequest,   // "GET ": a browser
    GameProtocol, // anything else: a player's program, as ever
};
ConnectionKind classifyFirstBytes(QByteArrayView bytes);

// Sorts accepted connections of the room's port by their first bytes, which
// it only peeks at: whoever gets the socket reads it from its first byte.
// A connection that stays silent for waitMs goes to the game path, whose own
// join time-out deals with it, as it always has. From an address that has
// just loaded the page, though, a silent connection is a browser's spare one
// (browsers open them ahead of need): it waits up to BrowserWaitMs and is then
// closed, so that it never holds a joining seat that would turn away the
// WebSocket of the same address. A connection that closes while waiting is
// deleted.
//
// Waiting costs a socket each, so the sorter holds at most MaxPending
// connections, MaxPendingPerAddress from one address (an IPv6 address counts
// as its /64). Beyond that the oldest waiting one (of that address, when it
// is the address that is over) is closed for the newcomer: a program or a
// browser speaks as soon as it has connected, so only silent connections
// wait long, and they cannot keep anybody out.
class ConnectionSorter : public QObject {
    Q_OBJECT
  public:
    static constexpr int DefaultWaitMs = 200;
    static constexpr int BrowserWaitMs = 30000;
    // How long an address counts as a browser's after its last request.
    static constexpr int BrowserMemoryMs = 60000;
    static constexpr int MaxPending = 64;
    static constexpr int MaxPendingPerAddress = 8;

    explicit ConnectionSorter(QObject *parent = nullptr);
    ~ConnectionSorter() override;

    void setWaitMs(int ms) { m_waitMs = ms; }
    void setBrowserWaitMs(int ms) { m_browserWaitMs = ms; }
    // Takes an accepted socket; it is handed on through one of the signals
    // (possibly before this returns) or closed.
    void sort(QTcpSocket *socket);
    int pending() const { return int(m_pending.size()); }

  signals:
    void httpRequest(QTcpSocket *socket);
    void gameConnection(QTcpSocket *socket);

  private:
    struct Pending {
        QString address;
        QTimer *timer = nullptr;
        quint64 order = 0;
    };
    // Closes the longest waiting connection, of `address` when it is not empty.
    void dropOldest(const QString &address);
    void check(QTcpSocket *socket);
    // Forgets the socket; true when it was still waiting.
    bool release(QTcpSocket *socket);

    QHash<QTcpSocket *, Pending> m_pending;
    QHash<QString, int> m_perAddress;
    int m_waitMs = DefaultWaitMs;
    quint64 m_sorted = 0;
    int m_browserWaitMs = BrowserWaitMs;
    // Addresses that sent a request lately, and until when they count.
    QHash<QString, qint64> m_browsers;
};

} // namespace zb
