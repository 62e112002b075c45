// The room's transport against the bare epoll relay, in one process and one
// run: a drawer streams strokes of 100, 1000 and 5000 points with eight in
// flight, seven readers take them; the relay runs on the main thread and the
// players on a second one (epoll, plain sockets), so the main thread's CPU
// time is the relay's alone. Run by tst_fdtransport when ZB_RELAY_BENCH is set.

#include "server/core/fdtransport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zb;

namespace {

constexpr int Readers = 7;
constexpr int Window = 8;
using Clock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string strokeLine(int points)
{
    std::string s = "STK 0:28:";
    for (int i = 0; i < points; ++i)
        s += std::to_string(20 + (i * 7 + points) % 600) + "," +
             std::to_string(20 + (i * 13 + points) % 440) + ";";
    return s + "\r\n";
}

int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) qFatal("connect");
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// The players: the drawer keeps Window strokes ahead of the slowest reader.
// Returns the seconds from the first byte sent to the last stroke read.
double play(int drawer, const std::vector<int> &readers, const std::string &line, long strokes)
{
    const int ep = epoll_create1(0);
    for (size_t i = 0; i < readers.size(); ++i) {
        epoll_event ev{EPOLLIN, {}};
        ev.data.u64 = i;
        epoll_ctl(ep, EPOLL_CTL_ADD, readers[i], &ev);
    }
    std::vector<uint64_t> got(readers.size(), 0);
    std::vector<char> buffer(256 * 1024);
    std::string out;
    size_t outPos = 0;
    long sent = 0;
    const uint64_t want = uint64_t(strokes) * line.size();
    const Clock::time_point start = Clock::now();
    for (;;) {
        const uint64_t least = *std::min_element(got.begin(), got.end());
        if (least >= want) break;
        while (sent < strokes && sent - long(least / line.size()) < Window) {
            out += line;
            ++sent;
        }
        while (outPos < out.size()) {
            const ssize_t n = ::send(drawer, out.data() + outPos, out.size() - outPos, MSG_DONTWAIT);
            if (n <= 0) break;
            outPos += size_t(n);
        }
        if (outPos == out.size()) out.clear(), outPos = 0;
        epoll_event events[Readers];
        const int n = epoll_wait(ep, events, Readers, 1);
        for (int k = 0; k < n; ++k) {
            const size_t i = events[k].data.u64;
            ssize_t r;
            while ((r = ::recv(readers[i], buffer.data(), buffer.size(), MSG_DONTWAIT)) > 0)
                got[i] += uint64_t(r);
        }
        if (Clock::now() - start > std::chrono::seconds(120)) qFatal("relay stalled");
    }
    ::close(ep);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
    double seconds;
    double cpu;
};

// The bare relay's way: epoll, every complete line to every other client,
// appended to its output string and sent at once.
Figures bareRun(const std::string &line, long strokes)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr *>(&address), length);
    ::listen(listener, 16);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const int drawer = connectLoopback(ntohs(address.sin_port));
    std::vector<int> readers;
    for (int i = 0; i < Readers; ++i)
        readers.push_back(connectLoopback(ntohs(address.sin_port)));
    struct Client {
        std::string in, out;
        size_t outPos = 0;
        bool wantWrite = false;
    };
    std::map<int, Client> clients;
    const int ep = epoll_create1(0);
    const int stop = eventfd(0, EFD_NONBLOCK);
    epoll_event sev{EPOLLIN, {}};
    sev.data.fd = stop;
    epoll_ctl(ep, EPOLL_CTL_ADD, stop, &sev);
    const int one = 1;
    for (int i = 0; i <= Readers; ++i) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        clients[fd];
        epoll_event ev{EPOLLIN, {}};
        ev.data.fd = fd;
        epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    }
    const auto flush = [ep](int fd, Client &c) {
        while (c.outPos < c.out.size()) {
            const ssize_t n = ::send(fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
            if (n <= 0) break;
            c.outPos += size_t(n);
        }
        if (c.outPos == c.out.size()) c.out.clear(), c.outPos = 0;
        if (c.wantWrite == !c.out.empty()) return;
        c.wantWrite = !c.out.empty();
        epoll_event ev{EPOLLIN | (c.wantWrite ? uint32_t(EPOLLOUT) : 0u), {}};
        ev.data.fd = fd;
        epoll_ctl(ep, EPOLL_CTL_MOD, fd, &ev);
    };
    double seconds = 0;
    std::thread players([&] {
        seconds = play(drawer, readers, line, strokes);
        eventfd_write(stop, 1);
    });
    const double cpu0 = threadCpuSeconds();
    std::vector<char> buffer(256 * 1024);
    for (bool running = true; running;) {
        epoll_event events[16];
        const int n = epoll_wait(ep, events, 16, -1);
        for (int k = 0; k < n; ++k) {
            const int fd = events[k].data.fd;
            if (fd == stop) {
                running = false;
                continue;
            }
            if (events[k].events & EPOLLOUT) flush(fd, clients[fd]);
            if (!(events[k].events & EPOLLIN)) continue;
            ssize_t r;
            while ((r = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0) {
                std::string &in = clients[fd].in;
                in.append(buffer.data(), size_t(r));
                const size_t end = in.rfind("\r\n");
                if (end == std::string::npos) continue;
                for (auto &[other, c] : clients) {
                    if (other == fd) continue;
                    c.out.append(in, 0, end + 2);
                    flush(other, c);
                }
                in.erase(0, end + 2);
            }
        }
    }
    const double cpu = threadCpuSeconds() - cpu0;
    players.join();
    for (const auto &entry : clients)
        ::close(entry.first);
    for (int fd : readers)
        ::close(fd);
    for (int fd : {drawer, listener, ep, stop})
        ::close(fd);
    return {seconds, cpu};
}

// The same relay through the room's transport, as the room drives it: take the
// drawer's lines, send the block to every reader, then flush them all.
Figures transportRun(const std::string &line, long strokes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const int drawer = connectLoopback(server.serverPort());
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(drawer, reinterpret_cast<sockaddr *>(&local), &length);
    std::vector<int> readers;
    for (int i = 0; i < Readers; ++i)
        readers.push_back(connectLoopback(server.serverPort()));
    Transport *from = nullptr;
    std::vector<Transport *> to;
    while (int(to.size()) < Readers || !from) {
        server.waitForNewConnection(1000);
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            const bool isDrawer = socket->peerPort() == ntohs(local.sin_port);
            Transport *t = FdTransport::adopt(socket);
            if (isDrawer)
                from = t;
            else
                to.push_back(t);
        }
    }
    QObject::connect(from, &Transport::readyRead, [&] {
        QByteArray block;
        QList<QByteArrayView> lines;
        while (from->takeLines(block, lines)) {
            for (Transport *t : to)
                t->send(block);
            for (Transport *t : to)
                t->flush();
        }
    });
    QEventLoop loop;
    double seconds = 0;
    std::thread players([&] {
        seconds = play(drawer, readers, line, strokes);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const double cpu0 = threadCpuSeconds();
    loop.exec();
    const double cpu = threadCpuSeconds() - cpu0;
    players.join();
    from->close(false);
    for (Transport *t : to)
        t->close(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (int fd : readers)
        ::close(fd);
    ::close(drawer);
    return {seconds, cpu};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

void runRelayBenchmark()
{
    const int repeats = qEnvironmentVariableIntValue("ZB_RELAY_BENCH_RUNS") > 0
                            ? qEnvironmentVariableIntValue("ZB_RELAY_BENCH_RUNS")
                            : 5;
    const double bytesPerRun = 150e6; // delivered to the seven readers together
    const char *kinds[] = {"bare", "FdTransport"};
    std::printf("relay, 1 drawer -> %d readers, %d runs, medians\n", Readers, repeats);
    std::printf("%-6s %-13s %9s %9s %8s %8s\n", "points", "relay", "MB/s", "CPU s/GB", "MB/s x", "CPU x");
    for (const int points : {100, 1000, 5000}) {
        const std::string line = strokeLine(points);
        const long strokes = long(bytesPerRun / (double(line.size()) * Readers));
        const double gigabytes = double(line.size()) * double(strokes) * Readers / 1e9;
        std::vector<double> rate[2], cpu[2];
        for (int r = 0; r < repeats; ++r) {
            for (int k = 0; k < 2; ++k) {
                const Figures f = k == 0 ? bareRun(line, strokes) : transportRun(line, strokes);
                rate[k].push_back(gigabytes * 1000 / f.seconds);
                cpu[k].push_back(f.cpu / gigabytes);
            }
        }
        for (int k = 0; k < 2; ++k) {
            // Ratios against the bare relay of the same repeat.
            std::vector<double> rateRatio, cpuRatio;
            for (int r = 0; r < repeats; ++r) {
                rateRatio.push_back(rate[k][r] / rate[0][r]);
                cpuRatio.push_back(cpu[k][r] / cpu[0][r]);
            }
            std::printf("%-6d %-13s %9.0f %9.3f %8.2f %8.2f\n", points, kinds[k], median(rate[k]),
                        median(cpu[k]), median(rateRatio), median(cpuRatio));
        }
    }
    std::fflush(stdout);
}
