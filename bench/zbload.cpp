// Load generator: relay throughput and latency of zbserver against the bare
// relay, guess latency under stroke load, and the server's memory after many
// relayed strokes. Starts the servers itself and prints one result per line:
//   RESULT <scenario> <metric> <value>
// usage: zbload --zbserver PATH --bare PATH --data-dir DIR [--quick]
//   --nagle: also the bare relay with Nagle's algorithm left on;
//   --preload-nodelay LIB: also zbserver with TCP_NODELAY forced on its sockets.

#include "bench/netclient.h"
#include "bench/process.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zbbench;

namespace {

constexpr int Players = 8;

// Scenarios that failed (a server that did not start, players not seated, a
// stall); the exit status says so, so that run_all.sh cannot miss it.
int failures = 0;

struct Options {
    std::string zbserver;
    std::string bare;
    std::string dataDir;
    std::string workDir = "/tmp";
    bool quick = false;
    bool nagle = false;
    std::string preload;
};

void result(const std::string &scenario, const std::string &metric, double value)
{
    std::printf("RESULT %s %s %.6g\n", scenario.c_str(), metric.c_str(), value);
    std::fflush(stdout);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

double micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

std::string strokeLine(int points, int variant)
{
    std::string s = "STK 0:28:";
    s.reserve(static_cast<size_t>(points) * 9 + 16);
    for (int i = 0; i < points; ++i) {
        const int x = 20 + (i * 7 + variant) % 600;
        const int y = 20 + (i * 13 + variant * 3) % 440;
        s += std::to_string(x) + "," + std::to_string(y) + ";";
    }
    s += "\r\n";
    return s;
}

bool startsWith(const char *line, size_t size, const char *cmd)
{
    return size >= 3 && std::memcmp(line, cmd, 3) == 0;
}

// Eight players seated on one server, each counting what it receives.
class Room {
  public:
    struct Player {
        NetClient net;
        int slot = -1;
        uint64_t strokes = 0;
        Clock::time_point lastStroke;
        int namesSeen = 0;
        std::string lastQst;
        bool qst = false;
        bool qok = false;
        bool ret = false;
        Clock::time_point qokAt;
    };

    // handshake: false for the bare relay, which knows no joining.
    bool seat(int port, bool handshake)
    {
        for (int i = 0; i < Players; ++i) {
            auto p = std::make_unique<Player>();
            Player *raw = p.get();
            p->net.setHandler(
                [raw](const char *line, size_t size, Clock::time_point at) { onLine(*raw, line, size, at); });
            const std::string address = "127.0.0." + std::to_string(2 + i);
            if (!p->net.connectTo(address.c_str(), port)) return false;
            if (handshake) p->net.queue("PSW \r\nVER 1.16\r\nNAM p" + std::to_string(i) + "\r\n");
            m_players.push_back(std::move(p));
            m_all.push_back(&m_players.back()->net);
        }
        if (!handshake) return true;
        return pump(
            m_all,
            [this] {
                return std::all_of(m_players.begin(), m_players.end(),
                                   [](const auto &p) { return p->slot >= 0 && p->namesSeen == Players; });
            },
            std::chrono::seconds(10));
    }

    Player &player(int i) { return *m_players[static_cast<size_t>(i)]; }
    std::vector<NetClient *> &all() { return m_all; }

    uint64_t minStrokes(int except)
    {
        uint64_t m = UINT64_MAX;
        for (int i = 0; i < Players; ++i) {
            if (i != except) m = std::min(m, player(i).strokes);
        }
        return m;
    }

  private:
    static void onLine(Player &p, const char *line, size_t size, Clock::time_point at)
    {
        if (startsWith(line, size, "STK")) {
            ++p.strokes;
            p.lastStroke = at;
        } else if (startsWith(line, size, "NUM")) {
            p.slot = size > 4 ? line[4] - '0' : -1;
        } else if (startsWith(line, size, "NMS")) {
            // Eight entries each closed by ":"; a seated player's entry is not empty.
            int names = 0;
            size_t entryStart = 4;
            for (size_t k = 4; k < size; ++k) {
                if (line[k] == ':') {
                    names += k > entryStart;
                    entryStart = k + 1;
                }
            }
            p.namesSeen = names;
        } else if (startsWith(line, size, "QST")) {
            p.lastQst.assign(line + 4, size > 4 ? size - 4 : 0);
            p.qst = true;
        } else if (startsWith(line, size, "QOK")) {
            p.qok = true;
            p.qokAt = at;
        } else if (startsWith(line, size, "RET")) {
            p.ret = true;
        }
    }

    std::vector<std::unique_ptr<Player>> m_players;
    std::vector<NetClient *> m_all;
};

struct RelayFigures {
    double strokesPerSecond = NAN;
    double megabytesPerSecond = NAN;
    double latencyP50 = NAN;
    double latencyP99 = NAN;
    // Server CPU over the throughput run, and what it delivered meanwhile.
    double cpuSeconds = NAN;
    double bytesDelivered = 0;
};

// Player 0 sends, the seven others read. Throughput keeps `window` strokes in
// flight; latency sends one stroke at a time and times its last byte.
bool runRelay(Room &room, pid_t server, int points, int throughputStrokes, int latencyStrokes,
              RelayFigures &out)
{
    const std::string line = strokeLine(points, points);
    Room::Player &sender = room.player(0);
    auto received = [&room] { return room.minStrokes(0); };
    const uint64_t base = received();

    const int window = 8;
    uint64_t sent = 0;
    const double cpu0 = cpuSeconds(server);
    const Clock::time_point t0 = Clock::now();
    bool ok = pump(
        room.all(),
        [&] {
            while (sent < static_cast<uint64_t>(throughputStrokes) && sent - (received() - base) < window) {
                sender.net.queue(line);
                ++sent;
            }
            sender.net.flush();
            return received() - base >= static_cast<uint64_t>(throughputStrokes);
        },
        std::chrono::seconds(120));
    if (!ok) return false;
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    out.cpuSeconds = cpuSeconds(server) - cpu0;
    out.bytesDelivered = static_cast<double>(line.size()) * throughputStrokes * (Players - 1);
    out.strokesPerSecond = throughputStrokes / seconds;
    out.megabytesPerSecond = out.bytesDelivered / seconds / 1e6;

    std::vector<double> latencies;
    for (int k = 0; k < latencyStrokes; ++k) {
        const uint64_t target = received() + 1;
        sender.net.queue(line);
        sender.net.flush();
        ok = pump(
            room.all(), [&] { return received() >= target; }, std::chrono::seconds(30));
        const Clock::time_point lastByteSent = sender.net.drainedAt();
        if (!ok) return false;
        Clock::time_point last{};
        for (int i = 1; i < Players; ++i)
            last = std::max(last, room.player(i).lastStroke);
        latencies.push_back(micros(last - lastByteSent));
    }
    out.latencyP50 = percentile(latencies, 0.5);
    out.latencyP99 = percentile(latencies, 0.99);
    return true;
}

std::vector<std::string> serverArgs(const Options &o, int tickMs)
{
    return {o.zbserver,   "--headless", "--port",  "{port}",    "--players",           "8", "--rounds", "5",
            "--no-lobby", "--data-dir", o.dataDir, "--tick-ms", std::to_string(tickMs)};
}

// The stroke budget of a real room lets one drawer send 1 MiB in five ticks;
// runs that measure the relay rather than that limit raise it (2 GiB) through
// the server's benchmark-only environment variable.
std::vector<std::string> serverEnv(const Options &o, bool unlimitedStrokes = false)
{
    std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + o.workDir + "/config",
                                 "ZB_NO_ROUTER_SEARCH=1"};
    if (unlimitedStrokes) env.push_back("ZB_BENCH_STROKE_BUDGET_KIB=2097151");
    return env;
}

void relayBenchmark(const Options &o)
{
    struct Size {
        int points;
        int throughput;
        int latency;
    };
    // Each throughput run lasts about a second, so that the server's CPU
    // (counted in 10 ms clock ticks) is read to about 1 %.
    const std::vector<Size> sizes =
        o.quick ? std::vector<Size>{{100, 300, 50}, {1000, 100, 30}, {5000, 30, 20}}
                : std::vector<Size>{{100, 50000, 400}, {1000, 15000, 300}, {5000, 4000, 200}};
    const int repeats = o.quick ? 1 : 3;
    for (const char *which : {"zbserver", "bare", "bare-nagle", "zbserver-nodelay"}) {
        const bool nagle = std::strcmp(which, "bare-nagle") == 0;
        const bool preload = std::strcmp(which, "zbserver-nodelay") == 0;
        const bool zb = preload || std::strcmp(which, "zbserver") == 0;
        // The two diagnostic runs only when asked for.
        if ((nagle && !o.nagle) || (preload && o.preload.empty())) continue;
        ServerProcess server;
        std::vector<std::string> argv = zb ? serverArgs(o, 1000) : std::vector<std::string>{o.bare, "{port}"};
        if (nagle) argv.push_back("--nagle");
        std::vector<std::string> env = serverEnv(o, zb);
        if (preload) env.push_back("LD_PRELOAD=" + o.preload);
        if (!server.start(argv, o.workDir + "/" + which + "-relay.log", env)) {
            std::fprintf(stderr, "%s did not start\n", which);
            ++failures;
            continue;
        }
        Room room;
        if (!room.seat(server.port(), zb)) {
            std::fprintf(stderr, "%s: players not seated\n", which);
            ++failures;
            continue;
        }
        for (const Size &s : sizes) {
            // The median of a few runs; latency samples of all runs pooled.
            std::vector<double> rates, mbs;
            RelayFigures f;
            std::vector<double> p50, p99;
            // CPU is counted in clock ticks: summed over the runs, not a median.
            double cpu = 0;
            double bytes = 0;
            bool ok = true;
            for (int r = 0; r < repeats && ok; ++r) {
                ok = runRelay(room, server.pid(), s.points, s.throughput, s.latency, f);
                rates.push_back(f.strokesPerSecond);
                mbs.push_back(f.megabytesPerSecond);
                p50.push_back(f.latencyP50);
                p99.push_back(f.latencyP99);
                cpu += f.cpuSeconds;
                bytes += f.bytesDelivered;
            }
            const std::string scenario = std::string("relay-") + std::to_string(s.points) + "/" + which;
            if (!ok) {
                std::fprintf(stderr, "%s: relay of %d points stalled\n", which, s.points);
                result(scenario, "failed", 1);
                ++failures;
                break;
            }
            result(scenario, "strokes_per_s", percentile(rates, 0.5));
            result(scenario, "mb_per_s", percentile(mbs, 0.5));
            result(scenario, "latency_p50_us", percentile(p50, 0.5));
            result(scenario, "latency_p99_us", percentile(p99, 0.5));
            result(scenario, "cpu_s", cpu);
            result(scenario, "cpu_s_per_gb", cpu / (bytes / 1e9));
        }
    }
}

// Guess latency: a non-drawing player sends the word as soon as the turn
// clock allows a hit and times the QOK; optionally while the drawer streams
// 5000-point strokes with a few in flight. Only the drawer's strokes reach
// the room during a game, and the flood is as fast as the readers take it,
// so that run raises the stroke budget.
void guessBenchmark(const Options &o, bool load)
{
    const int tickMs = 20;
    const int samples = o.quick ? 8 : 40;
    const std::string scenario = load ? "guess/loaded" : "guess/idle";
    ServerProcess server;
    if (!server.start(serverArgs(o, tickMs), o.workDir + "/zbserver-guess.log", serverEnv(o, load))) {
        std::fprintf(stderr, "zbserver did not start\n");
        ++failures;
        return;
    }
    Room room;
    if (!room.seat(server.port(), true)) {
        std::fprintf(stderr, "guess: players not seated\n");
        ++failures;
        return;
    }
    const std::string stroke = strokeLine(5000, 1);
    // The drawer of the current turn streams; in flight is counted from the
    // turn's start, so strokes the room dropped at a change of drawer do not
    // stall the stream.
    int streamer = -1;
    uint64_t streamed = 0;
    uint64_t receivedBase = 0;
    auto startStream = [&](int drawerSlot) {
        if (!load) return;
        streamer = -1;
        for (int i = 0; i < Players; ++i) {
            if (room.player(i).slot == drawerSlot) streamer = i;
        }
        streamed = 0;
        receivedBase = room.minStrokes(streamer);
    };
    auto keepStreaming = [&] {
        if (streamer < 0) return;
        Room::Player &drawer = room.player(streamer);
        while (streamed < room.minStrokes(streamer) - receivedBase + 4) {
            drawer.net.queue(stroke);
            ++streamed;
        }
        drawer.net.flush();
    };
    auto allReady = [&] {
        for (int i = 0; i < Players; ++i) {
            room.player(i).ret = false;
            room.player(i).net.queue("RDY OK\r\n");
        }
    };
    allReady();

    std::vector<double> times;
    int misses = 0;
    while (static_cast<int>(times.size()) < samples && misses < 5) {
        for (int i = 0; i < Players; ++i)
            room.player(i).qst = room.player(i).qok = false;
        Room::Player *guesser = nullptr;
        bool ok = pump(
            room.all(),
            [&] {
                keepStreaming();
                if (room.player(1).ret) // the game ended: a new one starts when all are ready again
                    allReady();
                return room.player(1).qst && room.player(2).qst;
            },
            std::chrono::seconds(20));
        if (!ok) {
            ++misses;
            continue;
        }
        const int drawer = room.player(1).lastQst[0] - '0';
        const std::string word = room.player(1).lastQst.substr(2);
        startStream(drawer);
        guesser = room.player(1).slot == drawer ? &room.player(2) : &room.player(1);
        // A hit counts only once the clock has left 120: wait out two ticks.
        const Clock::time_point armed = Clock::now() + std::chrono::milliseconds(3 * tickMs);
        pump(
            room.all(),
            [&] {
                keepStreaming();
                return Clock::now() >= armed;
            },
            std::chrono::seconds(5));
        guesser->qok = false;
        guesser->net.queue("MSG " + word + "\r\n");
        guesser->net.flush();
        ok = pump(
            room.all(),
            [&] {
                keepStreaming();
                return guesser->qok;
            },
            std::chrono::seconds(10));
        const Clock::time_point sentAt = guesser->net.drainedAt();
        if (!ok) {
            ++misses;
            continue;
        }
        times.push_back(micros(guesser->qokAt - sentAt) / 1000.0);
    }
    if (misses >= 5) {
        std::fprintf(stderr, "%s: no QOK five times\n", scenario.c_str());
        result(scenario, "failed", 1);
        ++failures;
    }
    result(scenario, "qok_p50_ms", percentile(times, 0.5));
    result(scenario, "qok_p99_ms", percentile(times, 0.99));
    result(scenario, "samples", static_cast<double>(times.size()));
}

void memoryBenchmark(const Options &o)
{
    const int strokes = o.quick ? 200 : 1000;
    ServerProcess server;
    if (!server.start(serverArgs(o, 1000), o.workDir + "/zbserver-memory.log", serverEnv(o, true))) {
        std::fprintf(stderr, "zbserver did not start\n");
        ++failures;
        return;
    }
    Room room;
    if (!room.seat(server.port(), true)) {
        std::fprintf(stderr, "memory: players not seated\n");
        ++failures;
        return;
    }
    const long seated = statusKiB(server.pid(), "VmRSS");
    const std::string line = strokeLine(5000, 7);
    const uint64_t base = room.minStrokes(0);
    long atHalf = -1;
    uint64_t sent = 0;
    const bool ok = pump(
        room.all(),
        [&] {
            const uint64_t got = room.minStrokes(0) - base;
            if (atHalf < 0 && got >= static_cast<uint64_t>(strokes / 2))
                atHalf = statusKiB(server.pid(), "VmRSS");
            while (sent < static_cast<uint64_t>(strokes) && sent - got < 8) {
                room.player(0).net.queue(line);
                ++sent;
            }
            room.player(0).net.flush();
            return got >= static_cast<uint64_t>(strokes);
        },
        std::chrono::seconds(300));
    const long atEnd = statusKiB(server.pid(), "VmRSS");
    const long peak = statusKiB(server.pid(), "VmHWM");
    if (!ok) {
        std::fprintf(stderr, "memory: relay stalled\n");
        result("memory/zbserver", "failed", 1);
        ++failures;
    }
    result("memory/zbserver", "strokes", strokes);
    result("memory/zbserver", "rss_seated_mb", seated / 1024.0);
    result("memory/zbserver", "rss_half_mb", atHalf / 1024.0);
    result("memory/zbserver", "rss_end_mb", atEnd / 1024.0);
    result("memory/zbserver", "peak_rss_mb", peak / 1024.0);
    result("memory/zbserver", "growth_second_half_mb", (atEnd - atHalf) / 1024.0);
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--zbserver")
            o.zbserver = next();
        else if (a == "--bare")
            o.bare = next();
        else if (a == "--data-dir")
            o.dataDir = next();
        else if (a == "--work-dir")
            o.workDir = next();
        else if (a == "--only")
            only = next();
        else if (a == "--quick")
            o.quick = true;
        else if (a == "--nagle")
            o.nagle = true;
        else if (a == "--preload-nodelay")
            o.preload = next();
        else {
            std::fprintf(stderr, "usage: zbload --zbserver PATH --bare PATH --data-dir DIR [--work-dir DIR] "
                                 "[--only relay|guess|memory] [--quick] [--nagle] [--preload-nodelay LIB]\n");
            return 2;
        }
    }
    if (only.empty() || only == "relay") relayBenchmark(o);
    if (only.empty() || only == "guess") {
        guessBenchmark(o, false);
        guessBenchmark(o, true);
    }
    if (only.empty() || only == "memory") memoryBenchmark(o);
    return failures ? 1 : 0;
}
