// The relay's stroke check alone: nanoseconds of CPU per KiB of payload for the
// strokes the load generator sends (whole numbers) and for strokes with
// fractions, as a program on a scaled screen may send. Prints RESULT lines
// like zbload.
//   strokecheckbench [milliseconds of CPU per figure]

#include "server/core/strokecheck.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// The thread's CPU time: the figure holds while other work shares the machine.
qint64 cpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QByteArray stroke(int points, bool fractions)
{
    QByteArray s = "0:28:";
    for (int i = 0; i < points; ++i) {
        const int x = 20 + (i * 7 + points) % 600;
        const int y = 20 + (i * 13 + points * 3) % 440;
        if (fractions)
            s += QByteArray::number(x + 0.25 * (i % 4), 'g', 7) + ',' + QByteArray::number(-y - 0.5, 'g', 7) +
                 ';';
        else
            s += QByteArray::number(x) + ',' + QByteArray::number(y) + ';';
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 budgetMs = argc > 1 ? std::atoll(argv[1]) : 2000;
    for (const bool fractions : {false, true}) {
        for (const int points : {100, 1000, 5000}) {
            const QByteArray payload = stroke(points, fractions);
            if (!zb::isPlausibleStroke(payload)) {
                std::fprintf(stderr, "strokecheckbench: the %d-point stroke is refused\n", points);
                return 1;
            }
            // Rounds of checks until the budget is spent; the result is kept
            // so that the check cannot be left out.
            qint64 checks = 0;
            int accepted = 0;
            const qint64 from = cpuNs();
            while (cpuNs() - from < budgetMs * 1000000) {
                for (int i = 0; i < 100; ++i)
                    accepted += zb::isPlausibleStroke(payload);
                checks += 100;
            }
            const double ns = double(cpuNs() - from);
            const double perKiB = ns / (double(checks) * double(payload.size()) / 1024.0);
            std::printf("RESULT strokecheck-%d%s ns_per_kib %.1f\n", points, fractions ? "-fractions" : "",
                        perKiB);
            if (accepted != checks) return 1;
        }
    }
    return 0;
}
