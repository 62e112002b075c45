// Client replay cost: a received 5000-point, width-28 stroke decoded and
// drawn onto the 640 x 480 canvas the way the client does it, against the
// floor of painting the same points with one QPainter::drawPolyline call.
// Prints RESULT lines like zbload.

#include "shared/gui/canvasimage.h"
#include "shared/stroke.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A hand-drawn scribble: consecutive points a few pixels apart, looping over the canvas.
QList<QPointF> scribble(int count)
{
    QList<QPointF> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.004;
        const double x = 320 + 280 * std::sin(3 * t) * std::cos(0.7 * t);
        const double y = 240 + 200 * std::sin(2 * t + 0.5);
        points.append(QPointF(std::round(x), std::round(y)));
    }
    // The press point is sent twice at the start.
    points.prepend(points.first());
    points.removeLast();
    return points;
}

struct Figures {
    double median;
    double p99;
};

Figures measure(int runs, const std::function<void()> &work)
{
    work(); // warm caches and lazy initialisation
    std::vector<double> ms;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const size_t p99 = std::min(ms.size() - 1, static_cast<size_t>(std::ceil(0.99 * ms.size())) - 1);
    return {ms[ms.size() / 2], ms[p99]};
}

void report(const char *scenario, const Figures &f)
{
    std::printf("RESULT %s median_ms %.6g\nRESULT %s p99_ms %.6g\n", scenario, f.median, scenario, f.p99);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(5, atoi(argv[1])) : 100;

    const QList<QPointF> points = scribble(zb::MaxStrokePoints);
    const int color = zb::PaletteValues[2];
    const int width = 28;
    const QString payload = zb::encodeStroke(color, width, points);

    zb::CanvasImage canvas;
    const Figures replay = measure(runs, [&] {
        const zb::Stroke s = zb::decodeStroke(payload);
        canvas.drawStroke(s);
    });
    const zb::Stroke decoded = zb::decodeStroke(payload);
    const Figures draw = measure(runs, [&] { canvas.drawStroke(decoded); });
    const Figures decode = measure(runs, [&] { (void)zb::decodeStroke(payload); });

    QImage floorImage(zb::CanvasWidth, zb::CanvasHeight, QImage::Format_RGB32);
    floorImage.fill(Qt::white);
    QPen pen(zb::colorFromValue(color));
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    const Figures floor = measure(runs, [&] {
        QPainter p(&floorImage);
        p.setPen(pen);
        p.drawPolyline(points.constData(), static_cast<int>(points.size()));
    });
    // What painting point to point would cost, for scale.
    const Figures segments = measure(std::max(5, runs / 10), [&] {
        for (qsizetype i = 1; i < decoded.points.size(); ++i)
            canvas.drawSegment(decoded.points[i - 1], decoded.points[i], color, width);
    });

    std::printf("RESULT replay/stroke payload_bytes %lld\n", static_cast<long long>(payload.size()));
    report("replay/decode+draw", replay);
    report("replay/draw", draw);
    report("replay/decode", decode);
    report("replay/floor-polyline", floor);
    report("replay/per-segment", segments);
    return 0;
}
