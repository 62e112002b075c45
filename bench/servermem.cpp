// Resident memory of a game server with 8 seated players while one of them
// draws: VmRSS when seated, after half of the strokes and after all of them,
// and VmHWM, from /proc/PID/status; split into anonymous memory and mapped
// files at the end. Each server runs several times, the servers taking turns,
// and the median of each figure is printed:
//   RESULT memory/<label> <metric> <value>
// usage: servermem --data-dir DIR [--work-dir DIR] [--runs N] [--strokes N] [--points N]
//                  [--env NAME=VALUE]... LABEL=PATH[,raw] ...
// A server marked ",raw" is a plain relay (no join handshake; qtrelay, barerelay).

#include "bench/netclient.h"
#include "bench/process.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace zbbench;

namespace {

constexpr int Players = 8;

struct Server {
    std::string label;
    std::string path;
    bool raw = false;
};

struct Options {
    std::string dataDir;
    std::string workDir = "/tmp";
    int runs = 5;
    int strokes = 1000;
    int points = 5000;
    std::vector<std::string> env;
    std::vector<Server> servers;
};

std::string strokeLine(int points)
{
    std::string s = "STK 0:28:";
    for (int i = 0; i < points; ++i)
        s += std::to_string(20 + (i * 7) % 600) + "," + std::to_string(20 + (i * 13) % 440) + ";";
    return s + "\r\n";
}

double median(std::vector<double> v)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Player {
    NetClient net;
    int slot = -1;
    int names = 0;
    bool greeted = false;
    uint64_t strokes = 0;
};

// One run: seat eight players, let player 0 draw, read the figures. An empty
// map when the run stalled.
std::map<std::string, double> runOnce(const Options &o, const Server &s)
{
    std::map<std::string, double> figures;
    std::vector<std::string> argv{s.path, "{port}"};
    if (!s.raw)
        argv = {s.path, "--headless", "--port",     "{port}",  "--players", "8",   "--rounds",
                "5",    "--no-lobby", "--data-dir", o.dataDir, "--tick-ms", "1000"};
    std::vector<std::string> env{"XDG_CONFIG_HOME=" + o.workDir + "/config"};
    env.insert(env.end(), o.env.begin(), o.env.end());
    ServerProcess server;
    if (!server.start(argv, o.workDir + "/" + s.label + "-memory.log", env)) {
        std::fprintf(stderr, "%s did not start\n", s.label.c_str());
        return figures;
    }
    std::vector<std::unique_ptr<Player>> players;
    std::vector<NetClient *> all;
    for (int i = 0; i < Players; ++i) {
        auto p = std::make_unique<Player>();
        Player *raw = p.get();
        p->net.setHandler([raw](const char *line, size_t size, Clock::time_point) {
            if (size < 3) return;
            if (std::memcmp(line, "STK", 3) == 0) {
                ++raw->strokes;
            } else if (std::memcmp(line, "NUM", 3) == 0 && size > 4) {
                raw->slot = line[4] - '0';
            } else if (std::memcmp(line, "NMS", 3) == 0) {
                int names = 0;
                size_t entry = 4;
                for (size_t k = 4; k < size; ++k) {
                    if (line[k] != ':') continue;
                    names += k > entry;
                    entry = k + 1;
                }
                raw->names = names;
            } else if (std::memcmp(line, "HEY", 3) == 0) {
                raw->greeted = true;
            }
        });
        const std::string address = "127.0.0." + std::to_string(2 + i);
        if (!p->net.connectTo(address.c_str(), server.port())) return figures;
        if (!s.raw) p->net.queue("PSW \r\nVER 1.16\r\nNAM p" + std::to_string(i) + "\r\n");
        all.push_back(&p->net);
        players.push_back(std::move(p));
    }
    auto seated = [&] {
        if (!s.raw)
            return std::all_of(players.begin(), players.end(),
                               [](const auto &p) { return p->slot >= 0 && p->names == Players; });
        // A plain relay has no join: greet until every other player hears it.
        if (std::all_of(players.begin() + 1, players.end(), [](const auto &p) { return p->greeted; }))
            return true;
        players[0]->net.queue("HEY\r\n");
        players[0]->net.flush();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return false;
    };
    if (!pump(all, seated, std::chrono::seconds(20))) return figures;

    const pid_t pid = server.pid();
    figures["rss_seated_mb"] = statusKiB(pid, "VmRSS") / 1024.0;
    const std::string line = strokeLine(o.points);
    const uint64_t total = static_cast<uint64_t>(o.strokes);
    auto received = [&] {
        uint64_t m = UINT64_MAX;
        for (size_t i = 1; i < players.size(); ++i)
            m = std::min(m, players[i]->strokes);
        return m;
    };
    uint64_t sent = 0;
    bool half = false;
    const bool ok = pump(
        all,
        [&] {
            const uint64_t got = received();
            if (!half && got >= total / 2) {
                half = true;
                figures["rss_half_mb"] = statusKiB(pid, "VmRSS") / 1024.0;
            }
            while (sent < total && sent - got < 8) {
                players[0]->net.queue(line);
                ++sent;
            }
            players[0]->net.flush();
            return got >= total;
        },
        std::chrono::seconds(300));
    if (!ok) return {};
    figures["rss_end_mb"] = statusKiB(pid, "VmRSS") / 1024.0;
    figures["rss_anon_end_mb"] = statusKiB(pid, "RssAnon") / 1024.0;
    figures["rss_file_end_mb"] = statusKiB(pid, "RssFile") / 1024.0;
    figures["peak_rss_mb"] = statusKiB(pid, "VmHWM") / 1024.0;
    figures["growth_second_half_mb"] = figures["rss_end_mb"] - figures["rss_half_mb"];
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--data-dir") {
            o.dataDir = next();
        } else if (a == "--work-dir") {
            o.workDir = next();
        } else if (a == "--runs") {
            o.runs = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--strokes") {
            o.strokes = std::max(2, std::atoi(next().c_str()));
        } else if (a == "--points") {
            o.points = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--env") {
            o.env.push_back(next());
        } else if (a.find('=') != std::string::npos && a[0] != '-') {
            Server s;
            s.label = a.substr(0, a.find('='));
            s.path = a.substr(a.find('=') + 1);
            const size_t comma = s.path.rfind(",raw");
            if (comma != std::string::npos && comma + 4 == s.path.size()) {
                s.raw = true;
                s.path.erase(comma);
            }
            o.servers.push_back(s);
        } else {
            std::fprintf(stderr, "usage: servermem --data-dir DIR [--work-dir DIR] [--runs N] [--strokes N] "
                                 "[--points N] [--env NAME=VALUE]... LABEL=PATH[,raw] ...\n");
            return 2;
        }
    }
    if (o.servers.empty() || o.dataDir.empty()) return 2;

    std::map<std::string, std::map<std::string, std::vector<double>>> samples;
    std::map<std::string, int> stalled;
    for (int run = 0; run < o.runs; ++run) {
        for (const Server &s : o.servers) {
            const std::map<std::string, double> f = runOnce(o, s);
            if (f.empty()) ++stalled[s.label];
            for (const auto &[metric, value] : f)
                samples[s.label][metric].push_back(value);
        }
    }
    for (const Server &s : o.servers) {
        const std::string scenario = "memory/" + s.label;
        std::printf("RESULT %s strokes %d\n", scenario.c_str(), o.strokes);
        std::printf("RESULT %s runs %zu\n", scenario.c_str(), samples[s.label]["rss_end_mb"].size());
        if (stalled.count(s.label))
            std::printf("RESULT %s failed %d\n", scenario.c_str(), stalled.at(s.label));
        for (const auto &[metric, values] : samples[s.label])
            std::printf("RESULT %s %s %.2f\n", scenario.c_str(), metric.c_str(), median(values));
    }
    for (const auto &[label, runs] : stalled)
        std::fprintf(stderr, "servermem: %s stalled or did not start in %d of %d runs\n", label.c_str(), runs,
                     o.runs);
    return stalled.empty() ? 0 : 1;
}
