// Lobby load: game servers register rooms and lobby players connect and read,
// in steps of rooms/players. Per step it times a room's status change from the
// moment its STS went into the socket to the moment the last player holds a
// room list with it, and reads the lobby's CPU time, peak memory, the bytes it
// sent and the players it cut. Starts zblobby itself, fresh for every step:
//   RESULT lobby-<rooms>x<players> <metric> <value>
// usage: lobbyload --zblobby PATH [--work-dir DIR] [--samples N] [--quick]

#include "bench/netclient.h"
#include "bench/process.h"
#include "shared/textutil.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace zbbench;

namespace {

// What zblobby allows one address; the load stays within it, as real peers do.
constexpr int RoomsPerAddress = 4;
constexpr int PlayersPerAddress = 8;
// A game server reports at its 30-second check when its player count changed:
// at most one change per room every 30 s.
constexpr double ChangesPerRoomPerSecond = 1.0 / 30;
constexpr auto SampleTimeout = std::chrono::seconds(10);

struct Options {
    std::string zblobby;
    std::string workDir = "/tmp";
    int samples = 100;
};

void result(const std::string &scenario, const char *metric, double value)
{
    std::printf("RESULT %s %s %.6g\n", scenario.c_str(), metric, value);
    std::fflush(stdout);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

std::string address(int base, int index)
{
    // 127.<base>.x.y, y from 1: plenty of distinct loopback addresses, each in
    // a /24 of its own while there are up to 256, as peers from many homes are.
    return "127." + std::to_string(base) + "." + std::to_string(index % 256) + "." +
           std::to_string(index / 256 + 1);
}

std::string encode(const QString &text)
{
    return zb::urlEncode(text).toStdString();
}

// A room as a game server reports it: half full, names and comment in Japanese.
std::string roomStatus(int room, int count, const std::string &marker)
{
    const QString players = QStringLiteral("部屋主%1:さくら:たろう:はなこ:::::").arg(room % 100);
    const QString text =
        QStringLiteral("port=27064&password=&roomname=部屋%1&comment=初心者歓迎！まったり遊びましょう%2&"
                       "gametype=0&zbq=内蔵辞書:&version=1.16&players=%3&playercount=%4&playermax=8&"
                       "playername=ZBSERVER&")
            .arg(room)
            .arg(QString::fromStdString(marker), players)
            .arg(count);
    return "STS " + encode(text) + "\r\n";
}

long cpuTicks(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < all.size()) {
        const size_t space = all.find(' ', at);
        fields.push_back(all.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    // Fields from the state on; utime and stime are fields 14 and 15 of the line.
    return fields.size() > 13 ? std::stol(fields[11]) + std::stol(fields[12]) : -1;
}

class Step {
  public:
    Step(const Options &o, int rooms, int players) : m_o(o), m_rooms(rooms), m_players(players)
    {
        m_name = "lobby-" + std::to_string(rooms) + "x" + std::to_string(players);
        m_ep = epoll_create1(EPOLL_CLOEXEC);
    }
    ~Step() { ::close(m_ep); }

    bool run()
    {
        const std::string log = m_o.workDir + "/zblobby-" + m_name + ".log";
        std::remove(log.c_str());
        // Samples change rooms far more often than game servers do: no change waits.
        if (!m_server.start({m_o.zblobby, "--port", "{port}", "--room-hold-ms", "0"}, log, {})) {
            std::fprintf(stderr, "%s: zblobby did not start\n", m_name.c_str());
            return false;
        }
        const Clock::time_point setupStart = Clock::now();
        if (!connectAll()) return false;
        result(m_name, "setup_s", std::chrono::duration<double>(Clock::now() - setupStart).count());

        const long ticks0 = cpuTicks(m_server.pid());
        const uint64_t bytes0 = bytesRead();
        const Clock::time_point t0 = Clock::now();
        std::vector<double> latencies;
        int timeouts = 0;
        for (int k = 0; k < m_o.samples; ++k) {
            const double ms = sample(k);
            if (ms < 0)
                ++timeouts;
            else
                latencies.push_back(ms);
            // A random pause, so that changes fall anywhere within the lobby's update interval.
            idle(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 1000)(m_rng)));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        const long ticks = cpuTicks(m_server.pid()) - ticks0;
        const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));

        result(m_name, "samples", double(latencies.size()));
        result(m_name, "timeouts", timeouts);
        result(m_name, "latency_p50_ms", percentile(latencies, 0.5));
        result(m_name, "latency_p99_ms", percentile(latencies, 0.99));
        result(m_name, "latency_max_ms", percentile(latencies, 1.0));
        // How long writing one list to every player takes, the coalescing wait left out.
        result(m_name, "spread_p50_ms", percentile(m_spreads, 0.5));
        result(m_name, "spread_p99_ms", percentile(m_spreads, 0.99));
        result(m_name, "cpu_s", ticks / ticksPerSecond);
        result(m_name, "cpu_percent", 100.0 * ticks / ticksPerSecond / seconds);
        result(m_name, "measured_s", seconds);
        result(m_name, "total_cpu_s", cpuTicks(m_server.pid()) / ticksPerSecond);
        result(m_name, "peak_rss_mb", statusKiB(m_server.pid(), "VmHWM") / 1024.0);
        result(m_name, "mb_sent_per_s", double(bytesRead() - bytes0) / seconds / 1e6);
        result(m_name, "lists_per_player_per_s", double(m_listsSeen - m_listsAtStart) / m_players / seconds);
        result(m_name, "players_cut",
               double(std::count_if(m_clients.begin(), m_clients.end(),
                                    [](const auto &c) { return !c->isRoom && !c->net.connected(); })));
        result(m_name, "rooms_cut",
               double(std::count_if(m_clients.begin(), m_clients.end(),
                                    [](const auto &c) { return c->isRoom && !c->net.connected(); })));
        m_server.stop();
        return true;
    }

  private:
    struct Client {
        NetClient net;
        bool isRoom = false;
        int room = 0;
        int count = 1;
        bool served = false;    // players: page and list received
        size_t roomsListed = 0; // players: rooms in the last list
        size_t namesListed = 0; // players: names in the last name list
        bool sawMarker = false; // players: the current sample has arrived
        Clock::time_point markerAt{};
    };

    static size_t entries(const char *line, size_t size)
    {
        return static_cast<size_t>(std::count(line + 4, line + size, ':'));
    }

    void onLine(Client &c, const char *line, size_t size, Clock::time_point at)
    {
        if (size < 4) return;
        if (std::memcmp(line, "SRV", 3) == 0) {
            c.served = true;
            ++m_listsSeen;
            if (!m_marker.empty() && !c.sawMarker &&
                memmem(line, size, m_marker.data(), m_marker.size()) != nullptr) {
                c.sawMarker = true;
                if (m_markerSeen++ == 0) m_firstMarkerAt = at;
                m_lastMarkerAt = std::max(m_lastMarkerAt, at);
            }
            c.roomsListed = entries(line, size);
        } else if (std::memcmp(line, "NMS", 3) == 0) {
            c.namesListed = entries(line, size);
        }
    }

    Client &add(const std::string &from)
    {
        m_clients.push_back(std::make_unique<Client>());
        Client *c = m_clients.back().get();
        c->net.setHandler(
            [this, c](const char *line, size_t size, Clock::time_point at) { onLine(*c, line, size, at); });
        if (!c->net.connectTo(from.c_str(), m_server.port())) {
            std::fprintf(stderr, "%s: connect from %s failed\n", m_name.c_str(), from.c_str());
            return *c;
        }
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.ptr = c;
        epoll_ctl(m_ep, EPOLL_CTL_ADD, c->net.fd(), &e);
        return *c;
    }

    // Reads whatever arrives until the condition holds or the time is up.
    template <typename Done> bool pumpUntil(Done done, Clock::duration timeout)
    {
        const Clock::time_point end = Clock::now() + timeout;
        epoll_event events[512];
        while (!done()) {
            if (Clock::now() > end) return false;
            const int n = epoll_wait(m_ep, events, 512, 2);
            for (int i = 0; i < n; ++i) {
                auto *c = static_cast<Client *>(events[i].data.ptr);
                if (!c->net.connected()) continue;
                if (!c->net.readAvailable()) epoll_ctl(m_ep, EPOLL_CTL_DEL, c->net.fd(), nullptr);
            }
        }
        return true;
    }

    void idle(Clock::duration d)
    {
        const Clock::time_point end = Clock::now() + d;
        pumpUntil(
            [&] {
                churn();
                return Clock::now() >= end;
            },
            d + std::chrono::seconds(1));
    }

    void send(Client &c, const std::string &bytes)
    {
        c.net.queue(bytes);
        // Status lines are small: the socket takes them whole.
        c.net.flush();
    }

    // Rooms whose player count changes in the background, as game servers report them.
    void churn()
    {
        const Clock::time_point now = Clock::now();
        if (m_nextChurn == Clock::time_point{}) m_nextChurn = now;
        const double perSecond = m_rooms * ChangesPerRoomPerSecond;
        while (m_nextChurn <= now) {
            Client &room =
                *m_roomClients[std::uniform_int_distribution<size_t>(0, m_roomClients.size() - 1)(m_rng)];
            if (&room == m_sampleRoom) continue;
            room.count = room.count % 7 + 1;
            send(room, roomStatus(room.room, room.count, std::string()));
            m_nextChurn += std::chrono::microseconds(
                static_cast<long>(std::exponential_distribution<double>(perSecond)(m_rng) * 1e6));
        }
    }

    bool connectAll()
    {
        for (int r = 0; r < m_rooms; ++r) {
            Client &c = add(address(1, r / RoomsPerAddress));
            c.isRoom = true;
            c.room = r;
            send(c, "NAM ZBSERVER\r\n" + roomStatus(r, c.count, std::string()));
            m_roomClients.push_back(&c);
        }
        // Players arrive in groups that the lobby's listen queue holds easily.
        const int group = 100;
        for (int p = 0; p < m_players; p += group) {
            const size_t first = m_clients.size();
            for (int i = p; i < std::min(m_players, p + group); ++i) {
                Client &c = add(address(2, i / PlayersPerAddress));
                char name[32];
                std::snprintf(name, sizeof name, "%04d", i);
                send(c, "STS " +
                            encode(QStringLiteral("version=1.16&playername=参加者") + QLatin1String(name) +
                                   "&") +
                            "\r\n");
            }
            if (!pumpUntil(
                    [&] {
                        return std::all_of(m_clients.begin() + long(first), m_clients.end(),
                                           [](const auto &c) { return c->served || !c->net.connected(); });
                    },
                    std::chrono::seconds(30))) {
                std::fprintf(stderr, "%s: players %d.. were not served\n", m_name.c_str(), p);
                return false;
            }
        }
        // Everybody holds the whole room list and the whole name list.
        const bool settled = pumpUntil(
            [&] {
                // A player the lobby cut is counted at the end, not waited for.
                return std::all_of(m_clients.begin(), m_clients.end(), [&](const auto &c) {
                    return c->isRoom || !c->net.connected() ||
                           (c->roomsListed == size_t(m_rooms) && c->namesListed == size_t(m_players));
                });
            },
            std::chrono::seconds(60));
        if (!settled) std::fprintf(stderr, "%s: lists did not settle\n", m_name.c_str());
        m_listsAtStart = m_listsSeen;
        return settled;
    }

    // One room changes; milliseconds until the last player holds the list with the change, -1 on time-out.
    double sample(int k)
    {
        char marker[16];
        std::snprintf(marker, sizeof marker, "smp%06dx", k);
        m_marker = marker;
        m_markerSeen = 0;
        m_lastMarkerAt = {};
        for (auto &c : m_clients)
            c->sawMarker = false;
        Client &room =
            *m_roomClients[std::uniform_int_distribution<size_t>(0, m_roomClients.size() - 1)(m_rng)];
        m_sampleRoom = &room;
        send(room, roomStatus(room.room, room.count, m_marker));
        const Clock::time_point sent = room.net.drainedAt();
        const bool ok = pumpUntil(
            [&] {
                churn();
                return m_markerSeen >= livePlayers();
            },
            SampleTimeout);
        m_marker.clear();
        m_sampleRoom = nullptr;
        if (!ok) return -1;
        m_spreads.push_back(
            std::chrono::duration<double, std::milli>(m_lastMarkerAt - m_firstMarkerAt).count());
        return std::chrono::duration<double, std::milli>(m_lastMarkerAt - sent).count();
    }

    int livePlayers() const
    {
        return int(std::count_if(m_clients.begin(), m_clients.end(),
                                 [](const auto &c) { return !c->isRoom && c->net.connected(); }));
    }

    uint64_t bytesRead() const
    {
        uint64_t n = 0;
        for (const auto &c : m_clients)
            n += c->net.bytesRead();
        return n;
    }

    const Options &m_o;
    int m_rooms;
    int m_players;
    std::string m_name;
    int m_ep;
    ServerProcess m_server;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<Client *> m_roomClients;
    std::mt19937 m_rng{12345};
    Clock::time_point m_nextChurn{};
    Client *m_sampleRoom = nullptr; // kept out of the background changes while its sample runs
    std::string m_marker;
    int m_markerSeen = 0;
    Clock::time_point m_firstMarkerAt{};
    Clock::time_point m_lastMarkerAt{};
    std::vector<double> m_spreads; // first to last player, per sample
    uint64_t m_listsSeen = 0;
    uint64_t m_listsAtStart = 0;
};

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--zblobby" && i + 1 < argc)
            o.zblobby = argv[++i];
        else if (a == "--work-dir" && i + 1 < argc)
            o.workDir = argv[++i];
        else if (a == "--samples" && i + 1 < argc)
            o.samples = std::atoi(argv[++i]);
        else if (a == "--quick")
            o.samples = 20;
    }
    if (o.zblobby.empty() || o.samples <= 0) {
        std::fprintf(stderr, "usage: lobbyload --zblobby PATH [--work-dir DIR] [--samples N] [--quick]\n");
        return 2;
    }
    // 2200 sockets at the top step: more than the usual soft limit.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2400) {
        std::fprintf(stderr, "lobbyload: only %ld descriptors allowed\n", long(files.rlim_cur));
        return 1;
    }

    int failed = 0;
    for (const auto &[rooms, players] : {std::pair{50, 500}, std::pair{100, 1000}, std::pair{200, 2000}}) {
        Step step(o, rooms, players);
        if (!step.run()) {
            result("lobby-" + std::to_string(rooms) + "x" + std::to_string(players), "failed", 1);
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
