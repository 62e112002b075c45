#include "shared/gui/canvasimage.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace zb {

QColor colorFromValue(int value)
{
    return QColor(colorRed(value), colorGreen(value), colorBlue(value));
}

int valueFromColor(QRgb rgb)
{
    return colorValue(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

CanvasImage::CanvasImage() : m_image(CanvasWidth, CanvasHeight, QImage::Format_RGB32)
{
    clear(1);
}

void CanvasImage::clear(int paletteIndex)
{
    if (paletteIndex < 0 || paletteIndex >= PaletteSize) return;
    m_image.fill(colorFromValue(PaletteValues[paletteIndex]));
}

namespace {
QPen penFor(int color, int width)
{
    QPen pen(colorFromValue(color));
    pen.setWidth(qBound(1, width, 1000));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}
} // namespace

void CanvasImage::drawSegment(const QPointF &from, const QPointF &to, int color, int width)
{
    QPainter p(&m_image);
    p.setPen(penFor(color, width));
    if (from == to)
        p.drawPoint(from);
    else
        p.drawLine(from, to);
}

QPointF CanvasImage::drawStroke(const Stroke &stroke)
{
    if (stroke.points.isEmpty()) return {};
    QPainter p(&m_image);
    p.setPen(penFor(stroke.color, stroke.width));
    // Segments with round ends joined end to end are exactly a polyline with
    // round joins, and one call is far cheaper than thousands.
    const QPointF first = stroke.points.first();
    const bool dot = std::all_of(stroke.points.cbegin(), stroke.points.cend(),
                                 [&](const QPointF &q) { return q == first; });
    if (dot)
        p.drawPoint(first);
    else
        p.drawPolyline(stroke.points.constData(), static_cast<int>(stroke.points.size()));
    return stroke.points.last();
}

int CanvasImage::pixelValue(int x, int y) const
{
    if (!m_image.valid(x, y)) return -1;
    return valueFromColor(m_image.pixel(x, y));
}

} // namespace zb
