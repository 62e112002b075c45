#include "canvaswidget.h"

#include "canvasmodel.h"
#include "fileutil.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace zb {

CanvasWidget::CanvasWidget(CanvasModel *model, QWidget *parent) : QWidget(parent), m_model(model)
{
    setFixedSize(CanvasWidth, CanvasHeight);
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
        const QPixmap pen(DataFile(QStringLiteral("pen.png")));
        if (pen.isNull())
            setCursor(Qt::CrossCursor);
        else
            setCursor(QCursor(pen, 1, 30)); // the pen's tip
    }
}

void CanvasWidget::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.drawImage(event->rect(), m_model->image(), event->rect());
}

void CanvasWidget::mousePressEvent(QMouseEvent *event)
{
    m_model->picMain_MouseDown(event->button(), event->position());
}

void CanvasWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_model->picMain_MouseDown(event->button(), event->position());
}

void CanvasWidget::mouseMoveEvent(QMouseEvent *event)
{
    m_model->picMain_MouseMove(event->position());
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_model->picMain_MouseUp();
}

} // namespace zb
