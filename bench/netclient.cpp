#include "bench/netclient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zbbench {

NetClient::~NetClient()
{
    close();
}

bool NetClient::connectTo(const char *bindAddress, int port)
{
    close();
    // Not inherited by the servers the tools start.
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, bindAddress, &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_fd = fd;
    m_in.clear();
    m_scan = 0;
    m_out.clear();
    m_outPos = 0;
    return true;
}

void NetClient::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool NetClient::flush()
{
    const size_t before = m_outPos;
    while (m_fd >= 0 && m_outPos < m_out.size()) {
        const ssize_t n = send(m_fd, m_out.data() + m_outPos, m_out.size() - m_outPos, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) close();
            break;
        }
        m_outPos += static_cast<size_t>(n);
    }
    if (m_outPos == m_out.size()) {
        if (m_outPos > before) m_drainedAt = Clock::now();
        m_out.clear();
        m_outPos = 0;
        return true;
    }
    return false;
}

bool NetClient::readAvailable(bool drain)
{
    static char buf[512 * 1024];
    while (m_fd >= 0) {
        const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
        if (n == 0) {
            close();
            return false;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                close();
                return false;
            }
            return true;
        }
        const Clock::time_point at = Clock::now();
        m_bytesRead += static_cast<uint64_t>(n);
        m_in.append(buf, static_cast<size_t>(n));
        size_t start = 0;
        for (;;) {
            const size_t cr = m_in.find("\r\n", m_scan);
            if (cr == std::string::npos) break;
            if (m_handler) m_handler(m_in.data() + start, cr - start, at);
            start = cr + 2;
            m_scan = start;
        }
        m_in.erase(0, start);
        m_scan = m_in.empty() ? 0 : m_in.size() - 1;
        if (!drain) return true;
    }
    return false;
}

bool pump(std::vector<NetClient *> &clients, const std::function<bool()> &done, Clock::duration timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    std::vector<pollfd> fds;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        fds.clear();
        for (NetClient *c : clients) {
            if (c->connected())
                fds.push_back({c->fd(), static_cast<short>(POLLIN | (c->hasOutput() ? POLLOUT : 0)), 0});
        }
        if (fds.empty()) return done();
        if (poll(fds.data(), fds.size(), 20) <= 0) continue;
        size_t k = 0;
        for (NetClient *c : clients) {
            if (!c->connected()) continue;
            const short re = fds[k++].revents;
            if (re & POLLOUT) c->flush();
            if (re & (POLLIN | POLLHUP | POLLERR)) c->readAvailable();
        }
    }
    return true;
}

} // namespace zbbench
