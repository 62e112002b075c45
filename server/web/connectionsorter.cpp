#include "server/web/connectionsorter.h"

#include "shared/addresskey.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpSocket>

namespace zb {

ConnectionKind classifyFirstBytes(QByteArrayView bytes)
{
    constexpr QByteArrayView get("GET ");
    const qsizetype n = qMin(bytes.size(), get.size());
    if (bytes.first(n) != get.first(n)) return ConnectionKind::GameProtocol;
    return n == get.size() ? ConnectionKind::WebRequest : ConnectionKind::Undecided;
}

ConnectionSorter::ConnectionSorter(QObject *parent) : QObject(parent) {}

ConnectionSorter::~ConnectionSorter()
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
}

void ConnectionSorter::sort(QTcpSocket *socket)
{
    const QString address = addressKey(socket->peerAddress());
    if (m_perAddress.value(address) >= MaxPendingPerAddress) dropOldest(address);
    if (m_pending.size() >= MaxPending) dropOldest(QString());
    Pending p;
    p.address = address;
    p.order = ++m_sorted;
    p.timer = new QTimer(this);
    p.timer->setSingleShot(true);
    m_pending.insert(socket, p);
    ++m_perAddress[address];
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { check(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (release(socket)) socket->deleteLater();
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { release(socket); });
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool browser = m_browsers.value(address) > now;
    connect(p.timer, &QTimer::timeout, this, [this, socket, browser] {
        if (!release(socket)) return;
        if (!browser) {
            emit gameConnection(socket);
            return;
        }
        socket->abort();
        socket->deleteLater();
    });
    p.timer->start(browser ? m_browserWaitMs : m_waitMs);
    check(socket);
}

void ConnectionSorter::check(QTcpSocket *socket)
{
    if (!m_pending.contains(socket)) return;
    const QByteArray first = socket->peek(4);
    const ConnectionKind kind = classifyFirstBytes(first);
    if (kind == ConnectionKind::Undecided) return;
    const QString address = m_pending.value(socket).address;
    release(socket);
    if (kind == ConnectionKind::WebRequest) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        // Bounded: forgotten addresses only make a spare connection go the old way.
        if (m_browsers.size() >= 4096) {
            m_browsers.removeIf([now](const auto &entry) { return entry.value() <= now; });
            if (m_browsers.size() >= 4096) m_browsers.clear();
        }
        m_browsers.insert(address, now + BrowserMemoryMs);
        emit httpRequest(socket);
    } else
        emit gameConnection(socket);
}

void ConnectionSorter::dropOldest(const QString &address)
{
    QTcpSocket *oldest = nullptr;
    quint64 order = 0;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (!address.isEmpty() && it->address != address) continue;
        if (!oldest || it->order < order) {
            oldest = it.key();
            order = it->order;
        }
    }
    if (!oldest || !release(oldest)) return;
    oldest->abort();
    oldest->deleteLater();
}

bool ConnectionSorter::release(QTcpSocket *socket)
{
    const auto it = m_pending.find(socket);
    if (it == m_pending.end()) return false;
    disconnect(socket, nullptr, this, nullptr);
    it->timer->deleteLater();
    if (--m_perAddress[it->address] <= 0) m_perAddress.remove(it->address);
    m_pending.erase(it);
    return true;
}

} // namespace zb
