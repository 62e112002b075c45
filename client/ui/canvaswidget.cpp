#include "client/ui/canvaswidget.h"

#include "client/core/canvasmodel.h"
#include "shared/fileutil.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace zb {

CanvasWidget::CanvasWidget(CanvasModel *model, QWidget *parent) : QWidget(parent), m_model(model)
{
    resize(CanvasWidth, CanvasHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves reach the model with or without a button, as the pen may be down.
    setMouseTracking(true);
    connect(m_model, &CanvasModel::imageChanged, this, qOverload<>(&QWidget::update));
    setMousePointer(2);
}

void CanvasWidget::setMousePointer(int pointer)
{
    m_pointer = pointer;
    if (pointer == 0) {
        setCursor(Qt::ArrowCursor);
    } else if (pointer == 1) {
        setCursor(Qt::CrossCursor);
    } else {
        const QPixmap pen(dataFile(QStringLiteral("pen.png")));
        if (pen.isNull())
            setCursor(Qt::CrossCursor);
        else
            setCursor(QCursor(pen, 1, 30)); // the pen's tip
    }
}

QPointF CanvasWidget::toCanvas(const QPointF &widgetPos) const
{
    // Whole pixels, so that a stroke on the wire is the same at every window
    // size; the small allowance keeps exact multiples from rounding down.
    const double x = widgetPos.x() * CanvasWidth / qMax(1, width());
    const double y = widgetPos.y() * CanvasHeight / qMax(1, height());
    return QPointF(std::floor(x + 1e-9), std::floor(y + 1e-9));
}

void CanvasWidget::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (size() == QSize(CanvasWidth, CanvasHeight)) {
        p.drawImage(event->rect(), m_model->image(), event->rect());
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), m_model->image());
}

void CanvasWidget::mousePressEvent(QMouseEvent *event)
{
    m_model->beginStroke(event->button(), toCanvas(event->position()));
}

void CanvasWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_model->beginStroke(event->button(), toCanvas(event->position()));
}

void CanvasWidget::mouseMoveEvent(QMouseEvent *event)
{
    m_model->extendStroke(toCanvas(event->position()));
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_model->finishStroke();
}

} // namespace zb
