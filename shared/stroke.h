#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace zb {

// The nine drawing colours; values are red + 256 * green + 65536 * blue.
inline constexpr int PaletteSize = 9;
inline constexpr int PaletteValues[PaletteSize] = {0,     16777215, 255,      33023,   65535,
                                                   65280, 16776960, 16711680, 16711935};
inline constexpr int PenWidths[4] = {3, 8, 16, 28};
inline constexpr int MaxStrokePoints = 5000;

// The highest palette index whose colour equals the value; 0 when none does.
int paletteIndexOf(int value);
inline int colorRed(int value)
{
    return value & 0xFF;
}
inline int colorGreen(int value)
{
    return (value >> 8) & 0xFF;
}
inline int colorBlue(int value)
{
    return (value >> 16) & 0xFF;
}
inline int colorValue(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

// A coordinate as the wire writes it: a whole number without a decimal point.
QString formatCoord(double v);
QString formatPoint(double x, double y);

// STK payload: colour, ":", width, ":", then "x,y;" for every point.
QString encodeStroke(int color, int width, const QList<QPointF> &points);

struct Stroke {
    int color = 0;
    int width = 0;
    QList<QPointF> points;
    // False when the payload broke off; points then holds what could be read
    // before the fault, to be drawn as far as it goes.
    bool ok = false;
};

// Reads an STK payload. A point list without its final ";" is read leniently.
Stroke decodeStroke(const QString &payload);

// Reads a CLS payload: a palette index 0 to 8.
bool decodeFill(const QString &payload, int &index);

} // namespace zb
