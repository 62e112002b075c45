// The smallest correct CR LF line relay: every complete line a client sends
// goes to every other client, nothing else. It is the floor the game server's
// relay is measured against, so it does no more work than relaying needs.
//   barerelay PORT [--nagle]
// --nagle leaves Nagle's algorithm on, as a socket does by default, to show
// what that alone costs.

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

struct Client {
    int fd = -1;
    std::string in;
    std::string out;
    size_t outPos = 0;
    bool wantWrite = false;
};

int g_epoll = -1;
std::unordered_map<int, Client> g_clients;

void setWatch(Client &c, bool write)
{
    if (c.wantWrite == write) return;
    c.wantWrite = write;
    epoll_event ev{};
    ev.events = EPOLLIN | (write ? EPOLLOUT : 0u);
    ev.data.fd = c.fd;
    epoll_ctl(g_epoll, EPOLL_CTL_MOD, c.fd, &ev);
}

void closeClient(int fd)
{
    epoll_ctl(g_epoll, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    g_clients.erase(fd);
}

// Returns false when the peer is gone.
bool flush(Client &c)
{
    while (c.outPos < c.out.size()) {
        const ssize_t n = send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            if (errno == EINTR) continue;
            return false;
        }
        c.outPos += static_cast<size_t>(n);
    }
    if (c.outPos == c.out.size()) {
        c.out.clear();
        c.outPos = 0;
    } else if (c.outPos > (1u << 20)) {
        c.out.erase(0, c.outPos);
        c.outPos = 0;
    }
    setWatch(c, !c.out.empty());
    return true;
}

void relay(int from, const char *data, size_t size)
{
    std::vector<int> gone;
    for (auto &[fd, c] : g_clients) {
        if (fd == from) continue;
        c.out.append(data, size);
        if (!flush(c)) gone.push_back(fd);
    }
    for (int fd : gone)
        closeClient(fd);
}

void readFrom(int fd)
{
    char buf[256 * 1024];
    for (;;) {
        auto it = g_clients.find(fd);
        if (it == g_clients.end()) return;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            closeClient(fd);
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        std::string &in = it->second.in;
        // Only the new bytes (and a CR left at the end) can complete a line.
        const size_t scanFrom = in.empty() ? 0 : in.size() - 1;
        in.append(buf, static_cast<size_t>(n));
        size_t end = in.size();
        while (end > scanFrom + 1 && !(in[end - 2] == '\r' && in[end - 1] == '\n'))
            --end;
        if (end >= scanFrom + 2) {
            // Everything up to the last CR LF goes out in one piece.
            relay(fd, in.data(), end);
            in.erase(0, end);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--nagle") != 0)) {
        std::fprintf(stderr, "usage: barerelay PORT [--nagle]\n");
        return 2;
    }
    const bool noDelay = argc == 2;
    std::signal(SIGPIPE, SIG_IGN);
    const int port = std::atoi(argv[1]);
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(listener, 64) != 0) {
        std::perror("barerelay: listen");
        return 1;
    }
    g_epoll = epoll_create1(0);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = listener;
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, listener, &ev);

    epoll_event events[64];
    for (;;) {
        const int n = epoll_wait(g_epoll, events, 64, -1);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listener) {
                for (int c; (c = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
                    if (noDelay) setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    Client &client = g_clients[c];
                    client.fd = c;
                    epoll_event cev{};
                    cev.events = EPOLLIN;
                    cev.data.fd = c;
                    epoll_ctl(g_epoll, EPOLL_CTL_ADD, c, &cev);
                }
                continue;
            }
            if (events[i].events & EPOLLOUT) {
                auto it = g_clients.find(fd);
                if (it != g_clients.end() && !flush(it->second)) {
                    closeClient(fd);
                    continue;
                }
            }
            if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) readFrom(fd);
        }
    }
}
