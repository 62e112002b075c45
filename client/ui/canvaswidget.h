#pragma once

#include <QWidget>

namespace zb {

class CanvasModel;

// The 640 x 480 canvas on screen, at whatever size the window gives it:
// paints the model's picture scaled and hands the mouse to it in canvas
// pixels; every drawing rule lives in the model.
class CanvasWidget : public QWidget {
    Q_OBJECT
  public:
    explicit CanvasWidget(CanvasModel *model, QWidget *parent = nullptr);

    // The canvas pixel under a point of the widget.
    QPointF toCanvas(const QPointF &widgetPos) const;

    // 0 arrow, 1 cross-hair, anything else the pen image.
    void setMousePointer(int pointer);
    int mousePointer() const { return m_pointer; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    CanvasModel *m_model;
    int m_pointer = 2;
};

} // namespace zb
