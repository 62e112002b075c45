#include "server/console/canvasmirror.h"

#include "shared/cp932.h"

#include <QPainter>
#include <cmath>

namespace zb {

CanvasMirror::CanvasMirror(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picMain"));
    setMaximumSize(CanvasWidth, CanvasHeight);
}

bool CanvasMirror::drawStroke(const QString &stroke)
{
    const Stroke s = decodeStroke(stroke);
    if (!s.points.isEmpty()) {
        movePen(m_canvas.drawStroke(s));
        update();
    }
    return s.ok;
}

bool CanvasMirror::drawStroke(const QByteArray &stroke)
{
    return drawStroke(fromCp932(stroke));
}

void CanvasMirror::drawSegment(double x, double y, int color, int width)
{
    const QPointF to(x, y);
    m_canvas.drawSegment(QPointF(m_lastX, m_lastY), to, color, width);
    movePen(to);
    update();
}

void CanvasMirror::fill(int paletteIndex)
{
    if (paletteIndex < 0 || paletteIndex >= PaletteSize) return;
    m_canvas.clear(paletteIndex);
    update();
}

QRect CanvasMirror::pictureRect() const
{
    const QSize shown = QSize(CanvasWidth, CanvasHeight).scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void CanvasMirror::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // Smoothing would blend the palette colours into ones nobody drew.
    p.drawImage(pictureRect(), m_canvas.image());
}

void CanvasMirror::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Layouts have no width-for-height: no wider than the picture at this height,
    // so that the grey around it and the palette beside it stay where they belong.
    setMaximumWidth(qBound(minimumSizeHint().width(), height() * CanvasWidth / CanvasHeight, CanvasWidth));
}

void CanvasMirror::movePen(const QPointF &to)
{
    if (!std::isfinite(to.x()) || !std::isfinite(to.y())) return;
    // Coordinates far outside the canvas must not overflow the pen position.
    m_lastX = static_cast<int>(std::lround(qBound(-32768.0, to.x(), 32767.0)));
    m_lastY = static_cast<int>(std::lround(qBound(-32768.0, to.y(), 32767.0)));
}

} // namespace zb
