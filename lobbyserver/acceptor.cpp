#include "lobbyserver/acceptor.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace zb {

namespace {
// Connections taken per wake-up, so that a crowd at the door cannot starve the rest.
constexpr int AcceptsPerWake = 64;
} // namespace

Acceptor::Acceptor(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_notifier) m_notifier->setEnabled(true);
    });
}

bool Acceptor::listen(const QHostAddress &address, quint16 port, int backlog)
{
    m_server.setListenBacklogSize(backlog);
    if (!m_server.listen(address, port)) return false;
    m_server.pauseAccepting();
    m_notifier = new QSocketNotifier(m_server.socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Acceptor::onReadable);
    return true;
}

void Acceptor::onReadable()
{
    for (int i = 0; i < AcceptsPerWake; ++i) {
        const int fd =
            accept4(int(m_server.socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            if (m_paused) {
                m_paused = false;
                emit resumed();
            }
            emit accepted(fd);
            continue;
        }
        const int error = errno;
        switch (error) {
        case EAGAIN:
#if EAGAIN != EWOULDBLOCK
        case EWOULDBLOCK:
#endif
            return;
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case EPERM:
            // Concerns that one connection only.
            continue;
        default:
            // Out of descriptors or memory: wait for some to be freed.
            m_notifier->setEnabled(false);
            m_retry.start(m_retryMs);
            if (!m_paused) {
                m_paused = true;
                emit paused(QString::fromLocal8Bit(std::strerror(error)));
            }
            return;
        }
    }
}

} // namespace zb
