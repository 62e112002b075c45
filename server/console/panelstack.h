#pragma once

#include <QList>
#include <QWidget>

namespace zb {

// Panels in one place, one of them shown. The stack keeps the size the
// largest panel needs at its width whichever one shows, so that switching
// never moves the rest of the window; unlike QStackedWidget it asks its
// panels for their least height at a width, which word-wrapped notes need.
class PanelStack : public QWidget {
    Q_OBJECT
  public:
    explicit PanelStack(QWidget *parent = nullptr);

    void addPanel(QWidget *panel);
    void setCurrent(QWidget *panel);
    QWidget *current() const { return m_current; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }

  protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

  private:
    QList<QWidget *> m_panels;
    QWidget *m_current = nullptr;
};

} // namespace zb
