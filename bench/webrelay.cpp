// What a browser seat costs the room against a player's program: one writer
// sends strokes outside a game, READERS seats of one kind read them all, and
// the room's CPU time is read from /proc before and after. The same with no
// reader gives the writer's share, so that each reader's share is
//   (cpu(readers) - cpu(none)) / readers.
// Prints the median over RUNS per kind, the bytes each reader received per
// stroke and the browser-to-TCP ratio, as RESULT lines:
//   webrelay --zbserverd PATH [--strokes N] [--readers N] [--runs N]
// The room runs with the stroke budget raised (ZB_BENCH_STROKE_BUDGET_KIB),
// so that the relay is measured rather than the flood limit.

#include "bench/process.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectFrom(const std::string &from, int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) return -1;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

void sendAll(int fd, const std::string &bytes)
{
    size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) return;
        at += size_t(n);
    }
}

// One client frame: text, masked as a client must (with a zero mask).
std::string clientFrame(const std::string &text)
{
    std::string f;
    f += char(0x81);
    if (text.size() < 126) {
        f += char(0x80 | text.size());
    } else {
        f += char(0x80 | 126);
        f += char(text.size() >> 8);
        f += char(text.size() & 0xff);
    }
    f.append(4, '\0');
    return f + text;
}

struct Reader {
    int fd = -1;
    bool web = false;
    std::string in;
    size_t scan = 0;
    long strokes = 0;
    unsigned long long bytes = 0;
    bool upgraded = false;

    // Counts the strokes in what arrived.
    void take(const char *data, size_t size)
    {
        bytes += size;
        in.append(data, size);
        if (web && !upgraded) {
            const size_t end = in.find("\r\n\r\n");
            if (end == std::string::npos) return;
            upgraded = true;
            in.erase(0, end + 4);
        }
        if (!web) {
            size_t nl;
            while ((nl = in.find("\r\n", scan)) != std::string::npos) {
                if (in.compare(scan, 4, "STK ") == 0) ++strokes;
                scan = nl + 2;
            }
            in.erase(0, scan);
            scan = 0;
            return;
        }
        // Server frames are not masked: 2 bytes, or 4 with a 16-bit length.
        size_t at = 0;
        while (in.size() - at >= 2) {
            size_t len = static_cast<unsigned char>(in[at + 1]) & 0x7f;
            size_t head = 2;
            if (len == 126) {
                if (in.size() - at < 4) break;
                len = (size_t(static_cast<unsigned char>(in[at + 2])) << 8) |
                      static_cast<unsigned char>(in[at + 3]);
                head = 4;
            } else if (len == 127) {
                std::fprintf(stderr, "unexpected frame\n");
                std::exit(1);
            }
            if (in.size() - at < head + len) break;
            if (in.compare(at + head, 4, "STK ") == 0) ++strokes;
            at += head + len;
        }
        in.erase(0, at);
    }
};

// Reads from every reader until each has `want` strokes; false on time-out.
bool readUntil(std::vector<Reader> &readers, long want, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        bool done = true;
        for (const Reader &r : readers)
            done = done && r.strokes >= want;
        if (done) return true;
        if (Clock::now() > deadline) return false;
        std::vector<pollfd> fds;
        for (const Reader &r : readers)
            fds.push_back({r.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), 50);
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(readers[i].fd, buffer, sizeof buffer);
            if (n > 0) readers[i].take(buffer, size_t(n));
        }
    }
}

// Reads whatever comes for `ms`.
void settle(std::vector<Reader> &readers, int ms)
{
    readUntil(readers, 1L << 40, ms);
}

struct Run {
    double cpuMs = 0;
    double bytesPerStroke = 0;
};

bool runOnce(const std::string &zbserverd, const std::string &work, int kind, int readerCount, long strokes,
             Run &out)
{
    zbbench::ServerProcess room;
    if (!room.start(
            {zbserverd, "--port", "{port}", "--no-lobby", "--players", "8", "--data-dir", work},
            work + "/zbserverd.log",
            {"ZB_NO_ROUTER_SEARCH=1", "XDG_CONFIG_HOME=" + work, "ZB_BENCH_STROKE_BUDGET_KIB=100000000"}))
        return false;
    const int writer = connectFrom("127.0.0.2", room.port());
    sendAll(writer, "PSW \r\nVER 1.16\r\nNAM writer\r\n");
    std::vector<Reader> readers;
    for (int i = 0; i < (kind == 0 ? 0 : readerCount); ++i) {
        Reader r;
        r.web = kind == 2;
        r.fd = connectFrom("127.0.0." + std::to_string(10 + i), room.port());
        const std::string host = "127.0.0.1:" + std::to_string(room.port());
        const std::string name = "reader" + std::to_string(i);
        if (r.web) {
            sendAll(r.fd, "GET /ws HTTP/1.1\r\nHost: " + host + "\r\nOrigin: http://" + host +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
            // The frames follow once the upgrade is answered.
            char c;
            std::string head;
            while (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
                if (read(r.fd, &c, 1) != 1) return false;
                head += c;
            }
            if (head.compare(0, 12, "HTTP/1.1 101") != 0) return false;
            r.upgraded = true;
            sendAll(r.fd, clientFrame("PSW ") + clientFrame("VER 1.16") + clientFrame("NAM " + name));
        } else {
            sendAll(r.fd, "PSW \r\nVER 1.16\r\nNAM " + name + "\r\n");
        }
        readers.push_back(std::move(r));
    }
    // Joins and their announcements are over before the count starts.
    settle(readers, 1000);
    for (Reader &r : readers)
        r.bytes = 0;
    std::string batch;
    for (int p = 0; p < 20; ++p)
        batch += std::to_string(100 + p * 7) + "," + std::to_string(200 + p * 3) + ";";
    const std::string stroke = "STK 0:3:" + batch + "\r\n";
    const double before = zbbench::cpuSeconds(room.pid());
    std::string all;
    for (long i = 0; i < strokes; ++i)
        all += stroke;
    sendAll(writer, all);
    bool ok = true;
    if (readers.empty()) {
        // Nobody reads: wait until the room has taken every byte and gone idle.
        double last = -1;
        for (int i = 0; i < 200; ++i) {
            usleep(50000);
            const double now = zbbench::cpuSeconds(room.pid());
            if (now == last) break;
            last = now;
        }
    } else {
        ok = readUntil(readers, strokes, 120000);
    }
    const double after = zbbench::cpuSeconds(room.pid());
    out.cpuMs = (after - before) * 1000.0;
    unsigned long long bytes = 0;
    for (const Reader &r : readers)
        bytes += r.bytes;
    out.bytesPerStroke = readers.empty() ? 0 : double(bytes) / double(readers.size()) / double(strokes);
    for (Reader &r : readers)
        close(r.fd);
    close(writer);
    room.stop();
    return ok;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    std::string zbserverd;
    long strokes = 20000;
    int readers = 4;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const std::string v = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--zbserverd")
            zbserverd = v;
        else if (a == "--strokes")
            strokes = std::max(1000L, std::atol(v.c_str()));
        else if (a == "--readers")
            readers = std::clamp(std::atoi(v.c_str()), 1, 7);
        else if (a == "--runs")
            runs = std::max(1, std::atoi(v.c_str()));
        else
            continue;
        ++i;
    }
    if (zbserverd.empty()) {
        std::fprintf(stderr, "usage: webrelay --zbserverd PATH [--strokes N] [--readers N] [--runs N]\n");
        return 2;
    }
    char work[] = "/tmp/zbwebrelay-XXXXXX";
    if (!mkdtemp(work)) return 1;
    std::ofstream(std::string(work) + "/default.dat") << "cat\r\n";

    const char *names[] = {"none", "tcp", "web"};
    std::vector<double> cpu[3], bytes[3];
    for (int r = 0; r < runs; ++r) {
        for (int kind = 0; kind < 3; ++kind) {
            Run run;
            if (!runOnce(zbserverd, work, kind, readers, strokes, run)) {
                std::fprintf(stderr, "run %d of %s failed (see %s/zbserverd.log)\n", r, names[kind], work);
                return 1;
            }
            cpu[kind].push_back(run.cpuMs);
            bytes[kind].push_back(run.bytesPerStroke);
        }
    }
    const double base = median(cpu[0]);
    double perReader[3] = {0, 0, 0};
    for (int kind = 1; kind < 3; ++kind) {
        perReader[kind] = (median(cpu[kind]) - base) / readers / (double(strokes) / 1000.0);
        std::printf("RESULT webrelay-%s cpu-ms-per-1000-strokes-per-reader %.3f\n", names[kind],
                    perReader[kind]);
        std::printf("RESULT webrelay-%s bytes-per-stroke %.1f\n", names[kind], median(bytes[kind]));
        std::printf("RESULT webrelay-%s room-cpu-ms %.1f\n", names[kind], median(cpu[kind]));
    }
    std::printf("RESULT webrelay-none room-cpu-ms %.1f\n", base);
    if (perReader[1] > 0) std::printf("RESULT webrelay web-to-tcp-ratio %.2f\n", perReader[2] / perReader[1]);
    return 0;
}
