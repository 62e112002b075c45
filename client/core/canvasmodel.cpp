#include "client/core/canvasmodel.h"

#include "client/core/roundstate.h"

#include <cmath>

namespace zb {

namespace {
QPointF rounded(const QPointF &p)
{
    return QPointF(std::round(p.x()), std::round(p.y()));
}
} // namespace

CanvasModel::CanvasModel(const RoundState *round, QObject *parent) : QObject(parent), m_round(round)
{
    m_points.reserve(BufferEntries);
}

bool CanvasModel::mayDraw() const
{
    return !m_round || m_round->mayDraw();
}

bool CanvasModel::mayFill() const
{
    return !m_round || m_round->mayFill();
}

void CanvasModel::reset()
{
    setColor(PaletteValues[0]);
    setPenWidth(PenWidths[0]);
    m_colorIndex = 0;
    m_penWidthIndex = 0;
    m_penDown = false;
    resetPoints();
    m_last = QPointF(-1, -1);
}

void CanvasModel::resetForTurn()
{
    fill(1);
    setColor(PaletteValues[0]);
    m_colorIndex = 0;
    emit colorSelected(0);
    setPenWidth(PenWidths[0]);
    m_penWidthIndex = 0;
    emit widthSelected(0);
}

void CanvasModel::beginStroke(Qt::MouseButton button, const QPointF &p)
{
    emit pressed();
    if (!mayDraw()) return;
    if (button == Qt::LeftButton) {
        m_penDown = true;
        m_last = rounded(p);
        resetPoints();
        m_points.append(p);
        m_pointCount = 1;
        addPoint(p);
    } else if (button == Qt::RightButton) {
        pickColor(paletteIndexOf(m_canvas.pixelValue(qRound(p.x()), qRound(p.y()))));
    } else if (button == Qt::MiddleButton) {
        pickPenWidth((m_penWidthIndex + 1) % 4);
    }
}

void CanvasModel::extendStroke(const QPointF &p)
{
    addPoint(p);
}

void CanvasModel::addPoint(const QPointF &p)
{
    // The pen may have gone down between games, when everybody draws, and a
    // turn of another drawer may have begun since.
    if (!m_penDown || !mayDraw()) return;
    m_canvas.drawSegment(p, m_last, m_drawColor, m_penWidth);
    m_last = rounded(p);
    emit imageChanged();
    m_points.append(p);
    ++m_pointCount;
    if (m_pointCount == MaxStrokePoints) finishStroke();
}

void CanvasModel::finishStroke()
{
    if (m_penDown) {
        m_penDown = false;
        if (mayDraw()) {
            // The one encoder of the wire format, the one the tests check.
            const QString payload = encodeStroke(m_drawColor, m_penWidth, m_points);
            emit strokeFinished(payload);
        }
    }
    resetPoints();
}

void CanvasModel::resetPoints()
{
    m_points.clear();
    m_pointCount = 0;
}

bool CanvasModel::drawStroke(const QString &payload)
{
    const Stroke stroke = decodeStroke(payload);
    if (!stroke.points.isEmpty()) {
        m_canvas.drawStroke(stroke);
        emit imageChanged();
    }
    return stroke.ok;
}

void CanvasModel::fill(int paletteIndex)
{
    if (paletteIndex < 0 || paletteIndex >= PaletteSize) return;
    m_canvas.clear(paletteIndex);
    emit imageChanged();
}

void CanvasModel::setColor(int value)
{
    m_drawColor = value;
}

void CanvasModel::setPenWidth(int width)
{
    m_penWidth = width;
}

void CanvasModel::pickColor(int index)
{
    if (index < 0 || index >= PaletteSize) return;
    m_colorIndex = index;
    emit colorSelected(index);
    emit soundRequested(QStringLiteral("click"));
    setColor(PaletteValues[index]);
    if (m_colorChangeWidth) pickPenWidth(0);
}

void CanvasModel::fillWithColor(int index)
{
    if (index < 0 || index >= PaletteSize || !mayFill()) return;
    emit soundRequested(QStringLiteral("cls"));
    fill(index);
    emit filled(index);
}

void CanvasModel::pickPenWidth(int index)
{
    if (index < 0 || index > 3) return;
    emit widthSelected(index);
    emit soundRequested(QStringLiteral("click2"));
    m_penWidthIndex = index;
    setPenWidth(PenWidths[index]);
}

} // namespace zb
