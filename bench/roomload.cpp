// Rooms per machine: starts N dedicated rooms (zbserverd) of eight players
// each and steps N up until the p99 stroke latency passes the limit or a room
// stalls. In every room the players join as the player's program does (PSW,
// VER 1.16, NAM, each from its own loopback address), all press ready once the
// eighth has joined, and the game runs: the turn's drawer draws at a human
// rate (strokes of 10 points, 60 points a second) and every guesser says
// something every few seconds. A stroke's latency runs from its send to the
// moment the last of the seven others has read it.
//
// One thread, epoll, no Qt: the generator must cost little beside the rooms.
// Prints, per step and in total:
//   RESULT rooms-<N> <metric> <value>
//   RESULT rooms <metric> <value>
// usage: roomload --zbserverd PATH --data-dir DIR [--work-dir DIR] [--steps N,N,...]
//                 [--measure-s S] [--tick-ms MS] [--p99-ms MS] [--quick]

#include "bench/netclient.h"
#include "bench/process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <queue>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace zbbench;
using namespace std::chrono_literals;

namespace {

constexpr int Players = 8;
constexpr int PointsPerStroke = 10;
// 60 points a second in strokes of 10: a stroke every 167 ms.
constexpr Clock::duration StrokeEvery = std::chrono::microseconds(1'000'000 * PointsPerStroke / 60);
// Each guesser says something every 2 to 6 seconds.
constexpr int ChatMinMs = 2000;
constexpr int ChatMaxMs = 6000;
// A stroke that has not reached every reader after this long: the room stalls.
constexpr Clock::duration StallAfter = 5s;
// Rooms are started this many at a time, each batch seated before the next.
constexpr int StartBatch = 25;
// The generator's nice value; the rooms run at 0.
constexpr int LoadNice = -10;

struct Options {
    std::string zbserverd;
    std::string dataDir;
    std::string workDir = "/tmp";
    std::vector<int> steps{50, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1200, 1500, 2000};
    int measureSeconds = 20;
    int tickMs = 1000;
    double p99LimitMs = 50;
};

void result(const std::string &scenario, const char *metric, double value)
{
    std::printf("RESULT %s %s %.6g\n", scenario.c_str(), metric, value);
    std::fflush(stdout);
}

double percentile(std::vector<double> &v, double p)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

bool startsWith(const char *line, size_t size, const char *cmd)
{
    const size_t n = std::strlen(cmd);
    return size >= n && std::memcmp(line, cmd, n) == 0;
}

// Busy and total jiffies of the whole machine, from the first line of /proc/stat.
std::pair<double, double> machineTicks()
{
    std::ifstream f("/proc/stat");
    std::string cpu;
    f >> cpu;
    double total = 0;
    double idle = 0;
    for (int i = 0; i < 8; ++i) {
        double v = 0;
        if (!(f >> v)) break;
        total += v;
        if (i == 3 || i == 4) idle += v; // idle, iowait
    }
    return {total - idle, total};
}

double ownCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long memAvailableKiB()
{
    std::ifstream f("/proc/meminfo");
    std::string key;
    while (f >> key) {
        if (key == "MemAvailable:") {
            long v = -1;
            f >> v;
            return v;
        }
        std::getline(f, key);
    }
    return -1;
}

// A port that nothing listens on, outside the range the kernel hands out to
// outgoing connections.
bool portFree(int port)
{
    for (const int family : {AF_INET, AF_INET6}) {
        const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        int rc = 0;
        if (family == AF_INET) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            rc = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        } else {
            const int one = 1;
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_port = htons(static_cast<uint16_t>(port));
            rc = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        ::close(fd);
        if (rc != 0) return false;
    }
    return true;
}

struct Room;

struct Player {
    Room *room = nullptr;
    int index = 0;
    NetClient net;
    bool registered = false;
    bool wantsOut = false;
    int slot = -1;
    bool readySent = false;
    int turnsSeen = 0;
    int endsSeen = 0;
};

struct Pending {
    uint32_t seq = 0;
    Clock::time_point sentAt;
    unsigned waiting = 0; // bit per player index still to read it
    bool aborted = false; // the turn ended before some reader had it
};

struct Room {
    int index = 0;
    int port = 0;
    pid_t pid = -1;
    std::array<Player, Players> players;
    bool joined = false;  // every player connected
    bool playing = false; // a first turn has started
    int turnsSeen = 0;
    int endsSeen = 0;
    int drawerSlot = -1;
    bool turnActive = false;
    uint32_t seq = 0;
    std::deque<Pending> pending;
    std::string failure; // why the room stalled; empty while it runs
    int strokesDelivered = 0;
    int chatsSent = 0;
    int chatsRead = 0;

    Player *drawer()
    {
        for (Player &p : players) {
            if (p.slot == drawerSlot) return &p;
        }
        return nullptr;
    }
};

struct Event {
    enum Kind { Join, Stroke, Chat };
    Clock::time_point at;
    Room *room;
    Kind kind;
    int player; // whose chat clock
    bool operator>(const Event &o) const { return at > o.at; }
};

// The rooms' processes, for a signal handler that must not leave them behind.
constexpr int MaxRooms = 4096;
pid_t g_pids[MaxRooms];
volatile sig_atomic_t g_pidCount = 0;

void killRoomsAndExit(int)
{
    for (int i = 0; i < g_pidCount; ++i) {
        if (g_pids[i] > 0) kill(g_pids[i], SIGKILL);
    }
    _exit(1);
}

class Load {
  public:
    explicit Load(const Options &o) : m_o(o), m_ep(epoll_create1(EPOLL_CLOEXEC)) {}
    ~Load()
    {
        stopAll();
        ::close(m_ep);
    }

    int rooms() const { return static_cast<int>(m_rooms.size()); }

    // Starts rooms until there are `total`, a batch at a time, each batch
    // seated and ready before the next starts, then waits for every game to
    // start. False (with the reason) when a room does not.
    bool grow(int total, std::string &why)
    {
        while (rooms() < total) {
            const int first = rooms();
            const int batch = std::min(StartBatch, total - first);
            for (int k = 0; k < batch; ++k) {
                if (!spawn(why)) return false;
            }
            // The next batch once this one's players are all seated and ready.
            if (!waitFor(
                    first, "seat eight players",
                    [](const Room &room) {
                        return std::all_of(room.players.begin(), room.players.end(),
                                           [](const Player &p) { return p.readySent; });
                    },
                    why))
                return false;
        }
        // A game starts five ticks after the last player is ready.
        return waitFor(
            0, "start a game", [](const Room &room) { return room.playing; }, why);
    }

    struct Figures {
        std::vector<double> latencies;
        int strokes = 0;
        int chats = 0;
        double roomsCpu = 0;
        double ownCpu = 0;
        double machineBusy = 0;
        double seconds = 0;
        int stalled = 0;
        std::string why;
        double pssMb = 0;
        double rssMb = 0;
    };

    Figures measure(Clock::duration window)
    {
        Figures f;
        // Settle: strokes queued while rooms were starting leave first.
        run([] { return false; }, 2s);
        std::vector<double> cpu0(m_rooms.size());
        for (size_t r = 0; r < m_rooms.size(); ++r)
            cpu0[r] = cpuSeconds(m_rooms[r]->pid);
        const double own0 = ownCpuSeconds();
        const auto machine0 = machineTicks();
        int chats0 = 0;
        for (const auto &room : m_rooms)
            chats0 += room->chatsSent;
        m_latencies = &f.latencies;
        m_windowStart = Clock::now();
        m_windowEnd = m_windowStart + window;
        m_checkStalls = true;
        run([] { return false; }, window);
        const Clock::time_point end = Clock::now();
        f.seconds = std::chrono::duration<double>(end - m_windowStart).count();
        for (size_t r = 0; r < m_rooms.size(); ++r)
            f.roomsCpu += cpuSeconds(m_rooms[r]->pid) - cpu0[r];
        f.ownCpu = ownCpuSeconds() - own0;
        const auto machine1 = machineTicks();
        f.machineBusy = (machine1.first - machine0.first) / (machine1.second - machine0.second) *
                        std::thread::hardware_concurrency();
        for (const auto &room : m_rooms)
            f.chats += room->chatsSent;
        f.chats -= chats0;
        f.strokes = static_cast<int>(f.latencies.size());
        // Strokes of the window still on their way a second later count with their age so far.
        run([] { return false; }, 1s);
        m_latencies = nullptr;
        const Clock::time_point now = Clock::now();
        for (const auto &room : m_rooms) {
            for (const Pending &p : room->pending) {
                if (p.waiting && !p.aborted && p.sentAt >= m_windowStart && p.sentAt < m_windowEnd)
                    f.latencies.push_back(ms(now - p.sentAt));
            }
        }
        checkStalls();
        m_checkStalls = false;
        for (const auto &room : m_rooms) {
            if (room->failure.empty()) continue;
            if (f.stalled++ == 0) f.why = "room " + std::to_string(room->index) + ": " + room->failure;
        }
        long pss = 0;
        long rss = 0;
        for (const auto &room : m_rooms) {
            pss += std::max(0L, pssKiB(room->pid));
            rss += std::max(0L, statusKiB(room->pid, "VmRSS"));
        }
        f.pssMb = static_cast<double>(pss) / 1024.0 / static_cast<double>(m_rooms.size());
        f.rssMb = static_cast<double>(rss) / 1024.0 / static_cast<double>(m_rooms.size());
        return f;
    }

    void stopAll()
    {
        for (const auto &room : m_rooms) {
            for (Player &p : room->players)
                p.net.close();
            if (room->pid > 0) kill(room->pid, SIGTERM);
        }
        const Clock::time_point deadline = Clock::now() + 5s;
        for (const auto &room : m_rooms) {
            while (room->pid > 0) {
                if (waitpid(room->pid, nullptr, WNOHANG) == room->pid) {
                    room->pid = -1;
                } else if (Clock::now() > deadline) {
                    kill(room->pid, SIGKILL);
                    waitpid(room->pid, nullptr, 0);
                    room->pid = -1;
                } else {
                    std::this_thread::sleep_for(10ms);
                }
            }
        }
        m_rooms.clear();
    }

  private:
    template <typename Ready> bool waitFor(int first, const char *what, Ready ready, std::string &why)
    {
        const bool ok = run(
            [&] {
                for (int r = first; r < rooms(); ++r) {
                    const Room &room = *m_rooms[size_t(r)];
                    if (!room.failure.empty() || !ready(room)) return false;
                }
                return true;
            },
            60s);
        if (ok) return true;
        for (int r = first; r < rooms(); ++r) {
            const Room &room = *m_rooms[size_t(r)];
            if (!room.failure.empty() || !ready(room)) {
                why = "room " + std::to_string(r) + " (port " + std::to_string(room.port) + ") did not " +
                      what + " within 60 s" + (room.failure.empty() ? "" : ": " + room.failure) +
                      "; its log is " + m_o.workDir + "/room-" + std::to_string(r) + "/zbserverd.log";
                return false;
            }
        }
        return false;
    }

    bool spawn(std::string &why)
    {
        auto room = std::make_unique<Room>();
        room->index = rooms();
        while (!portFree(m_nextPort)) {
            if (++m_nextPort >= 32768) {
                why = "no free port below 32768";
                return false;
            }
        }
        room->port = m_nextPort++;
        const std::string dir = m_o.workDir + "/room-" + std::to_string(room->index);
        mkdir(dir.c_str(), 0755);
        std::vector<std::string> args{m_o.zbserverd, "--port",     std::to_string(room->port),
                                      "--players",   "8",          "--rounds",
                                      "5",           "--no-lobby", "--data-dir",
                                      m_o.dataDir,   "--tick-ms",  std::to_string(m_o.tickMs)};
        // Each room its own settings folder, as each service instance has.
        std::vector<std::string> env{"ZB_NO_ROUTER_SEARCH=1", "XDG_CONFIG_HOME=" + dir, "LANG=C.UTF-8",
                                     "PATH=/usr/bin:/bin"};
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (std::string &e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string log = dir + "/zbserverd.log";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Nothing else of ours: not the players' sockets, not run_all.sh's lock.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        const int rc = posix_spawn(&room->pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            why = "zbserverd did not start: " + std::string(std::strerror(rc));
            return false;
        }
        // The room at the usual priority, not at the generator's.
        setpriority(PRIO_PROCESS, static_cast<id_t>(room->pid), 0);
        Room *raw = room.get();
        for (int i = 0; i < Players; ++i) {
            Player &p = raw->players[size_t(i)];
            p.room = raw;
            p.index = i;
            p.net.setHandler([this, &p](const char *line, size_t size, Clock::time_point at) {
                onLine(p, line, size, at);
            });
        }
        if (raw->index < MaxRooms) {
            g_pids[raw->index] = raw->pid;
            g_pidCount = raw->index + 1;
        }
        m_rooms.push_back(std::move(room));
        // The players knock until the room listens.
        schedule(Clock::now() + 50ms, raw, Event::Join);
        return true;
    }

    // 127.<10 + r / 250>.<r % 250 + 1>.<10 + i>: every connection from an
    // address of its own, as players at home are.
    static std::string address(int room, int player)
    {
        return "127." + std::to_string(10 + room / 250) + "." + std::to_string(room % 250 + 1) + "." +
               std::to_string(10 + player);
    }

    void schedule(Clock::time_point at, Room *room, Event::Kind kind, int player = 0)
    {
        m_events.push({at, room, kind, player});
    }

    void fail(Room &room, const std::string &why)
    {
        if (room.failure.empty()) room.failure = why;
    }

    void send(Player &p, const std::string &bytes)
    {
        p.net.queue(bytes);
        // Lines are small: the socket nearly always takes them at once.
        const bool drained = p.net.flush();
        if (!drained && !p.wantsOut && p.net.connected()) {
            epoll_event e{EPOLLIN | EPOLLOUT, {}};
            e.data.ptr = &p;
            epoll_ctl(m_ep, EPOLL_CTL_MOD, p.net.fd(), &e);
            p.wantsOut = true;
        }
    }

    bool connect(Player &p)
    {
        if (!p.net.connectTo(address(p.room->index, p.index).c_str(), p.room->port)) return false;
        epoll_event e{EPOLLIN, {}};
        e.data.ptr = &p;
        epoll_ctl(m_ep, EPOLL_CTL_ADD, p.net.fd(), &e);
        p.registered = true;
        // As the player's program does: all three at once.
        send(p, "PSW \r\nVER 1.16\r\nNAM p" + std::to_string(p.index) + "\r\n");
        return true;
    }

    void onEvent(const Event &ev)
    {
        Room &room = *ev.room;
        if (!room.failure.empty()) return;
        const Clock::time_point now = Clock::now();
        if (ev.kind == Event::Join) {
            // Joining: connect whoever has not yet; a refused connect means the room is not listening yet.
            bool all = true;
            for (Player &p : room.players) {
                if (!p.registered && !connect(p)) all = false;
            }
            if (!all) {
                int status = 0;
                if (waitpid(room.pid, &status, WNOHANG) == room.pid) {
                    room.pid = -1;
                    fail(room, "zbserverd exited at start (see its log)");
                    return;
                }
                schedule(now + 50ms, &room, Event::Join);
                return;
            }
            // Joined: from now on the stroke clock and each guesser's chat clock.
            std::uniform_int_distribution<int> phase(0, 166);
            schedule(now + std::chrono::milliseconds(phase(m_rng)), &room, Event::Stroke);
            for (int i = 0; i < Players; ++i)
                schedule(now + std::chrono::milliseconds(chatGap()), &room, Event::Chat, i);
            room.joined = true;
            return;
        }
        if (ev.kind == Event::Stroke) {
            schedule(ev.at + StrokeEvery, &room, Event::Stroke);
            Player *drawer = room.turnActive ? room.drawer() : nullptr;
            if (drawer) sendStroke(room, *drawer, now);
            return;
        }
        Player &p = room.players[size_t(ev.player)];
        schedule(now + std::chrono::milliseconds(chatGap()), &room, Event::Chat, ev.player);
        if (room.playing && p.slot != room.drawerSlot) {
            send(p, "MSG hmm " + std::to_string(room.chatsSent) + "\r\n");
            ++room.chatsSent;
        }
    }

    int chatGap() { return std::uniform_int_distribution<int>(ChatMinMs, ChatMaxMs)(m_rng); }

    // Ten points with the press point twice, as the player's program sends
    // them; the first point carries the stroke's number within the room.
    void sendStroke(Room &room, Player &drawer, Clock::time_point now)
    {
        const uint32_t seq = room.seq++;
        const int x = 10 + static_cast<int>(seq % 600);
        const int y = 10 + static_cast<int>((seq / 600) % 440);
        static const int widths[] = {3, 8, 16, 28};
        std::string line = "STK 0:" + std::to_string(widths[seq % 4]) + ":";
        line += std::to_string(x) + "," + std::to_string(y) + ";";
        for (int i = 0; i < PointsPerStroke - 1; ++i)
            line += std::to_string(x + i) + "," + std::to_string(y + i / 2) + ";";
        line += "\r\n";
        Pending p;
        p.seq = seq;
        p.sentAt = now;
        for (const Player &other : room.players) {
            if (&other != &drawer) p.waiting |= 1u << other.index;
        }
        room.pending.push_back(p);
        send(drawer, line);
    }

    static bool strokeNumber(const char *line, size_t size, uint32_t &seq)
    {
        // "STK colour:width:x,y;..."
        const char *end = line + size;
        const char *c = static_cast<const char *>(std::memchr(line, ':', size));
        if (!c) return false;
        c = static_cast<const char *>(std::memchr(c + 1, ':', size_t(end - c - 1)));
        if (!c) return false;
        char *after = nullptr;
        const long x = std::strtol(c + 1, &after, 10);
        if (after >= end || *after != ',') return false;
        const long y = std::strtol(after + 1, nullptr, 10);
        seq = static_cast<uint32_t>((x - 10) + (y - 10) * 600);
        return true;
    }

    void retire(Room &room, Pending &p, Clock::time_point at)
    {
        if (p.aborted) return;
        ++room.strokesDelivered;
        if (m_latencies && p.sentAt >= m_windowStart && p.sentAt < m_windowEnd)
            m_latencies->push_back(ms(at - p.sentAt));
    }

    // What a reader will never get once its turn has ended (the room drops a
    // stroke that comes after the clock ran out) is not waited for.
    void turnOver(Player &reader, Clock::time_point at)
    {
        Room &room = *reader.room;
        for (Pending &p : room.pending) {
            if (!(p.waiting & (1u << reader.index))) continue;
            p.waiting &= ~(1u << reader.index);
            p.aborted = true;
            if (!p.waiting) retire(room, p, at);
        }
        while (!room.pending.empty() && !room.pending.front().waiting)
            room.pending.pop_front();
    }

    void onLine(Player &p, const char *line, size_t size, Clock::time_point at)
    {
        Room &room = *p.room;
        if (startsWith(line, size, "STK ")) {
            uint32_t seq = 0;
            if (!strokeNumber(line, size, seq)) return;
            for (Pending &pending : room.pending) {
                if (pending.seq != seq) continue;
                if (pending.waiting & (1u << p.index)) {
                    pending.waiting &= ~(1u << p.index);
                    if (!pending.waiting) retire(room, pending, at);
                }
                break;
            }
            while (!room.pending.empty() && !room.pending.front().waiting)
                room.pending.pop_front();
        } else if (startsWith(line, size, "MSG ")) {
            ++room.chatsRead;
        } else if (startsWith(line, size, "NUM ") && size > 4) {
            p.slot = line[4] - '0';
        } else if (startsWith(line, size, "NMS ")) {
            // Everybody presses ready once the room is full, as friends do.
            int names = 0;
            size_t entry = 4;
            for (size_t k = 4; k < size; ++k) {
                if (line[k] != ':') continue;
                names += k > entry;
                entry = k + 1;
            }
            if (names == Players && !p.readySent) {
                p.readySent = true;
                send(p, "RDY OK\r\n");
            }
        } else if (startsWith(line, size, "QST ") && size > 4) {
            if (++p.turnsSeen > room.turnsSeen) {
                room.turnsSeen = p.turnsSeen;
                room.drawerSlot = line[4] - '0';
                room.turnActive = true;
                room.playing = true;
            }
        } else if (startsWith(line, size, "SND ng") || startsWith(line, size, "QOK")) {
            if (++p.endsSeen > room.endsSeen) {
                room.endsSeen = p.endsSeen;
                room.turnActive = false;
            }
            turnOver(p, at);
        } else if (startsWith(line, size, "RET")) {
            // The game is over: ready again for the next.
            room.turnActive = false;
            turnOver(p, at);
            send(p, "RDY OK\r\n");
        }
    }

    void checkStalls()
    {
        const Clock::time_point now = Clock::now();
        for (const auto &room : m_rooms) {
            if (!room->failure.empty()) continue;
            for (const Player &p : room->players) {
                if (p.registered && !p.net.connected()) {
                    fail(*room, "player " + std::to_string(p.index) + " was cut");
                    break;
                }
            }
            if (m_checkStalls && !room->pending.empty() && now - room->pending.front().sentAt > StallAfter)
                fail(*room, "a stroke has not reached every reader after " +
                                std::to_string(
                                    std::chrono::duration_cast<std::chrono::seconds>(StallAfter).count()) +
                                " s");
            int status = 0;
            if (room->pid > 0 && waitpid(room->pid, &status, WNOHANG) == room->pid) {
                room->pid = -1;
                fail(*room, "zbserverd exited");
            }
        }
    }

    template <typename Done> bool run(Done done, Clock::duration timeout)
    {
        const Clock::time_point end = Clock::now() + timeout;
        Clock::time_point nextCheck = Clock::now() + 500ms;
        epoll_event events[512];
        for (;;) {
            if (done()) return true;
            Clock::time_point now = Clock::now();
            if (now >= end) return false;
            while (!m_events.empty() && m_events.top().at <= now) {
                const Event ev = m_events.top();
                m_events.pop();
                onEvent(ev);
            }
            if (now >= nextCheck) {
                checkStalls();
                nextCheck = now + 500ms;
            }
            Clock::time_point wake = std::min(end, nextCheck);
            if (!m_events.empty()) wake = std::min(wake, m_events.top().at);
            // Rounded up: a human rate needs no finer clock, and a spin would cost the rooms.
            const long micros =
                std::chrono::duration_cast<std::chrono::microseconds>(wake - Clock::now()).count();
            const int wait = static_cast<int>(std::max<long>(0, (micros + 999) / 1000));
            const int n = epoll_wait(m_ep, events, 512, wait);
            for (int i = 0; i < n; ++i) {
                auto *p = static_cast<Player *>(events[i].data.ptr);
                if (!p->net.connected()) continue;
                if ((events[i].events & EPOLLOUT) && p->net.flush() && p->net.connected()) {
                    epoll_event e{EPOLLIN, {}};
                    e.data.ptr = p;
                    epoll_ctl(m_ep, EPOLL_CTL_MOD, p->net.fd(), &e);
                    p->wantsOut = false;
                }
                // A closed connection leaves the epoll set with its descriptor.
                if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) p->net.readAvailable(false);
            }
        }
    }

    const Options &m_o;
    int m_ep;
    int m_nextPort = 21000;
    std::vector<std::unique_ptr<Room>> m_rooms;
    std::priority_queue<Event, std::vector<Event>, std::greater<>> m_events;
    std::mt19937 m_rng{12345};
    std::vector<double> *m_latencies = nullptr;
    Clock::time_point m_windowStart;
    Clock::time_point m_windowEnd;
    bool m_checkStalls = false;
};

std::vector<int> parseSteps(const std::string &text)
{
    std::vector<int> steps;
    size_t at = 0;
    while (at < text.size()) {
        const size_t comma = text.find(',', at);
        const int n = std::atoi(text.substr(at, comma - at).c_str());
        if (n > 0) steps.push_back(n);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    std::sort(steps.begin(), steps.end());
    return steps;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--zbserverd") {
            o.zbserverd = next();
        } else if (a == "--data-dir") {
            o.dataDir = next();
        } else if (a == "--work-dir") {
            o.workDir = next();
        } else if (a == "--steps") {
            o.steps = parseSteps(next());
        } else if (a == "--measure-s") {
            o.measureSeconds = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--tick-ms") {
            o.tickMs = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--p99-ms") {
            o.p99LimitMs = std::atof(next().c_str());
        } else if (a == "--quick") {
            o.steps = {5, 10};
            o.measureSeconds = 5;
        } else {
            o.zbserverd.clear();
            break;
        }
    }
    if (o.zbserverd.empty() || o.dataDir.empty() || o.steps.empty()) {
        std::fprintf(stderr,
                     "usage: roomload --zbserverd PATH --data-dir DIR [--work-dir DIR] [--steps N,N,...] "
                     "[--measure-s S] [--tick-ms MS] [--p99-ms MS] [--quick]\n");
        return 2;
    }
    // Eight sockets per room here; the usual soft limit of 1024 would stop at
    // about 120 rooms, so the soft limit goes up to the hard one.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t soft = files.rlim_cur;
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    getrlimit(RLIMIT_NOFILE, &files);
    result("rooms", "fd_limit_before", static_cast<double>(soft));
    result("rooms", "fd_limit", static_cast<double>(files.rlim_cur));
    const int fitting = static_cast<int>((files.rlim_cur - 64) / Players);
    if (o.steps.back() > fitting) {
        std::fprintf(stderr, "roomload: %ld descriptors allow %d rooms; steps above are left out\n",
                     long(files.rlim_cur), fitting);
        while (!o.steps.empty() && o.steps.back() > fitting)
            o.steps.pop_back();
        if (o.steps.empty()) return 1;
    }
    if (o.steps.back() > MaxRooms) return 2;
    result("rooms", "cores", std::thread::hardware_concurrency());
    // The players stand in for machines of their own: the generator runs
    // before the rooms when both are ready, so that its stroke times measure
    // the rooms' delay and not its own wait for a core. Its CPU still counts
    // against the machine. Needs root (or CAP_SYS_NICE); without, it says so.
    if (setpriority(PRIO_PROCESS, 0, LoadNice) != 0)
        std::fprintf(stderr, "roomload: could not raise the generator's priority (%s)\n",
                     std::strerror(errno));
    result("rooms", "load_nice", getpriority(PRIO_PROCESS, 0));
    signal(SIGINT, killRoomsAndExit);
    signal(SIGTERM, killRoomsAndExit);
    signal(SIGPIPE, SIG_IGN);
    result("rooms", "p99_limit_ms", o.p99LimitMs);

    Load load(o);
    int best = 0;
    int missed = 0;
    bool first = true;
    for (const int n : o.steps) {
        const std::string scenario = "rooms-" + std::to_string(n);
        if (memAvailableKiB() >= 0 && memAvailableKiB() < 1024 * 1024) {
            std::fprintf(stderr, "roomload: less than 1 GB of memory left; stopping before %d rooms\n", n);
            break;
        }
        std::string why;
        const Clock::time_point t0 = Clock::now();
        const bool grown = load.grow(n, why);
        result(scenario, "start_s", std::chrono::duration<double>(Clock::now() - t0).count());
        if (!grown) {
            std::fprintf(stderr, "roomload: %d rooms: %s\n", n, why.c_str());
            result(scenario, "failed", 1);
            missed = n;
            if (first) return 1;
            break;
        }
        std::fprintf(stderr, "roomload: %d rooms running, measuring for %d s\n", n, o.measureSeconds);
        Load::Figures f = load.measure(std::chrono::seconds(o.measureSeconds));
        const double p99 = percentile(f.latencies, 0.99);
        const bool met = f.stalled == 0 && !f.latencies.empty() && p99 <= o.p99LimitMs;
        result(scenario, "rooms", n);
        result(scenario, "samples", static_cast<double>(f.latencies.size()));
        result(scenario, "latency_p50_ms", percentile(f.latencies, 0.5));
        result(scenario, "latency_p99_ms", p99);
        result(scenario, "latency_max_ms", percentile(f.latencies, 1.0));
        result(scenario, "strokes_per_s", f.strokes / f.seconds);
        result(scenario, "chat_lines_per_s", f.chats / f.seconds);
        result(scenario, "rooms_cpu_cores", f.roomsCpu / f.seconds);
        result(scenario, "cpu_ms_per_room_s", 1000.0 * f.roomsCpu / f.seconds / n);
        result(scenario, "load_cpu_cores", f.ownCpu / f.seconds);
        result(scenario, "machine_busy_cores", f.machineBusy);
        result(scenario, "pss_per_room_mb", f.pssMb);
        result(scenario, "rss_per_room_mb", f.rssMb);
        result(scenario, "stalled", f.stalled);
        result(scenario, "met", met ? 1 : 0);
        if (f.stalled)
            std::fprintf(stderr, "roomload: %d rooms: %d stalled; %s\n", n, f.stalled, f.why.c_str());
        if (!met) {
            missed = n;
            break;
        }
        best = n;
        first = false;
    }
    result("rooms", "max_rooms_met", best);
    result("rooms", "first_missed", missed);
    return 0;
}
