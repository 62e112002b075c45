#pragma once

#include "shared/stroke.h"

#include <QColor>
#include <QImage>

namespace zb {

inline constexpr int CanvasWidth = 640;
inline constexpr int CanvasHeight = 480;

QColor colorFromValue(int value);
int valueFromColor(QRgb rgb);

// The shared picture: pen lines with round ends, no smoothing, so that every
// pixel keeps one of the palette colours and colour picking finds them again.
class CanvasImage {
  public:
    CanvasImage();

    QImage &image() { return m_image; }
    const QImage &image() const { return m_image; }

    // Fills the whole canvas with a palette colour.
    void clear(int paletteIndex);
    // One straight segment of the given colour value and width.
    void drawSegment(const QPointF &from, const QPointF &to, int color, int width);
    // A whole received stroke; returns its last point (a null point when it has none).
    QPointF drawStroke(const Stroke &stroke);
    // The colour value of a pixel; -1 outside the canvas.
    int pixelValue(int x, int y) const;

  private:
    QImage m_image;
};

} // namespace zb
