#pragma once

#include "shared/gui/canvasimage.h"

#include <QObject>
#include <QPointF>
#include <QStringList>

namespace zb {

class RoundState;

// The shared canvas and the local pen: who may draw, the stroke being drawn
// and its point buffer, received strokes and fills, colour and width choice.
// Mouse events come in from the window; what must go to the server leaves
// as strokeFinished / filled, sounds as soundRequested.
class CanvasModel : public QObject {
    Q_OBJECT
  public:
    // One entry more than a stroke may hold, as the buffer always had.
    static constexpr int BufferEntries = MaxStrokePoints + 1;

    // Without a round, drawing is always free.
    explicit CanvasModel(const RoundState *round = nullptr, QObject *parent = nullptr);

    const QImage &image() const { return m_canvas.image(); }
    CanvasImage &canvas() { return m_canvas; }

    void setColorChangeWidth(bool on) { m_colorChangeWidth = on; }

    int drawColor() const { return m_drawColor; }
    int penWidth() const { return m_penWidth; }
    int penWidthIndex() const { return m_penWidthIndex; }
    int colorIndex() const { return m_colorIndex; }
    bool penDown() const { return m_penDown; }
    int pointCount() const { return m_pointCount; }

    // Mouse on the canvas, in canvas pixels.
    void beginStroke(Qt::MouseButton button, const QPointF &p);
    void extendStroke(const QPointF &p);
    void finishStroke();

    // A received stroke; false when its numbers do not read (what could be
    // read is drawn).
    bool drawStroke(const QString &payload);
    // A received or local fill, without sound or sending.
    void fill(int paletteIndex);
    void setColor(int value);
    void setPenWidth(int width);

    void pickColor(int index);
    void fillWithColor(int index);
    void pickPenWidth(int index);
    void clearCanvas() { fillWithColor(1); }

    // Pen, buffer and last points as after start-up.
    void reset();
    // White canvas, black pen of width 3 with both markers reset.
    void resetForTurn();

  signals:
    void imageChanged();
    void soundRequested(const QString &name);
    void colorSelected(int index);
    void widthSelected(int index);
    // A finished local stroke that may be sent (STK payload).
    void strokeFinished(const QString &payload);
    // A fill chosen by the player, to be sent.
    void filled(int index);
    // Any mouse press on the canvas: the player is active.
    void pressed();

  private:
    // What the round allows; the round is the one place that decides it.
    bool mayDraw() const;
    bool mayFill() const;
    // One segment of the local stroke to p, recorded for the stroke line.
    void addPoint(const QPointF &p);
    void resetPoints();

    const RoundState *m_round;
    CanvasImage m_canvas;
    QList<QPointF> m_points; // the stroke's points so far, in order
    int m_pointCount = 0;
    int m_drawColor = 0;
    int m_colorIndex = 0;
    int m_penWidth = PenWidths[0];
    int m_penWidthIndex = 0;
    bool m_penDown = false;
    bool m_colorChangeWidth = false;
    QPointF m_last{-1, -1};
};

} // namespace zb
