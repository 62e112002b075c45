#pragma once

#include "shared/gui/canvasimage.h"

#include <QWidget>

namespace zb {

// The host's copy of the picture being drawn. Strokes and fills are drawn
// with the same decoding and pen as the players' canvases, so the host sees
// what they see. The picture keeps the canvas's 640 × 480 pixels and is shown
// at most at that size, smaller when the window has less room.
class CanvasMirror : public QWidget {
    Q_OBJECT
  public:
    explicit CanvasMirror(QWidget *parent = nullptr);

    // Draws a whole STK payload; a payload without a readable point draws
    // nothing. Returns false when the payload could not be read to its end.
    bool drawStroke(const QString &stroke);
    // The same for a payload as it came from the network (code page 932).
    bool drawStroke(const QByteArray &stroke);
    // One segment from the pen position to (x, y).
    void drawSegment(double x, double y, int color, int width);
    // Fills the mirror with a palette colour; indexes outside the palette are ignored.
    void fill(int paletteIndex);

    const QImage &image() const { return m_canvas.image(); }
    int pixelValue(int x, int y) const { return m_canvas.pixelValue(x, y); }
    QPoint penPosition() const { return {m_lastX, m_lastY}; }
    // Where the picture is shown inside the widget.
    QRect pictureRect() const;

    QSize sizeHint() const override { return {CanvasWidth, CanvasHeight}; }
    QSize minimumSizeHint() const override { return {CanvasWidth / 4, CanvasHeight / 4}; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void movePen(const QPointF &to);

    CanvasImage m_canvas;
    int m_lastX = 0;
    int m_lastY = 0;
};

} // namespace zb
