// STK and CLS payloads as a client receives them: decoding never yields a point
// the canvas cannot take, a decoded stroke survives a round trip, and drawing
// a short one never faults.

#include "tests/fuzz/fuzzcheck.h"

#include "shared/cp932.h"
#include "shared/gui/canvasimage.h"
#include "shared/stroke.h"

#include <QGuiApplication>
#include <cmath>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_stroke";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

namespace {

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-3 * std::max(1.0, std::fabs(a));
}

zb::CanvasImage &canvas()
{
    static zb::CanvasImage image;
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString payload =
        zb::fromCp932(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));

    const zb::Stroke s = zb::decodeStroke(payload);
    for (const QPointF &p : s.points) {
        ZB_FUZZ_CHECK(std::isfinite(p.x()) && std::isfinite(p.y()));
        ZB_FUZZ_CHECK(std::fabs(p.x()) <= 10000 && std::fabs(p.y()) <= 10000);
    }
    ZB_FUZZ_CHECK(s.points.size() <= payload.size());

    if (s.ok) {
        const zb::Stroke again = zb::decodeStroke(zb::encodeStroke(s.color, s.width, s.points));
        ZB_FUZZ_CHECK(again.ok);
        ZB_FUZZ_CHECK(again.color == s.color && again.width == s.width);
        ZB_FUZZ_CHECK(again.points.size() == s.points.size());
        for (qsizetype i = 0; i < s.points.size(); ++i) {
            ZB_FUZZ_CHECK(near(again.points[i].x(), s.points[i].x()));
            ZB_FUZZ_CHECK(near(again.points[i].y(), s.points[i].y()));
        }
    }

    // Wide pens over many far-off points are slow to paint, not wrong; keep runs short.
    if (s.points.size() <= 64 && std::abs(s.width) <= 64) canvas().drawStroke(s);

    int index = -1;
    if (zb::decodeFill(payload, index)) {
        ZB_FUZZ_CHECK(index >= 0 && index < zb::PaletteSize);
        canvas().clear(index);
        ZB_FUZZ_CHECK(canvas().pixelValue(0, 0) == zb::PaletteValues[index]);
    }
    return 0;
}
