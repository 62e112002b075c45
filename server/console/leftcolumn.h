#pragma once

#include <QScrollArea>

namespace zb {

// The console's left column: the settings, or what the room runs with, above
// the room's address. The window is never smaller than all of it, except
// while the mirror is shown: then the column scrolls so that a laptop's
// screen has room for the picture.
class LeftColumn : public QScrollArea {
    Q_OBJECT
  public:
    explicit LeftColumn(QWidget *content, QWidget *parent = nullptr);

    void setScrolling(bool on);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }

  protected:
    bool viewportEvent(QEvent *event) override;

  private:
    int contentHeight(int width) const;

    bool m_scrolling = false;
};

} // namespace zb
