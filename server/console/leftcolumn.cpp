#include "server/console/leftcolumn.h"

#include <QEvent>
#include <QLayout>

namespace zb {

namespace {
// What the column keeps while it scrolls beside the mirror.
constexpr int ScrolledColumnHeight = 120;
} // namespace

LeftColumn::LeftColumn(QWidget *content, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(content);
}

void LeftColumn::setScrolling(bool on)
{
    m_scrolling = on;
    updateGeometry();
}

QSize LeftColumn::minimumSizeHint() const
{
    return {widget()->minimumSizeHint().width(),
            m_scrolling ? ScrolledColumnHeight : contentHeight(maximumWidth())};
}

bool LeftColumn::viewportEvent(QEvent *event)
{
    // The content takes the viewport's width and at least the height it
    // needs there (word-wrapped notes grow as the width shrinks).
    if (event->type() == QEvent::Resize) {
        const int width = viewport()->width();
        widget()->resize(width, qMax(viewport()->height(), contentHeight(width)));
    }
    return QScrollArea::viewportEvent(event);
}

int LeftColumn::contentHeight(int width) const
{
    const QLayout *layout = widget()->layout();
    return layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                       : layout->totalMinimumSize().height();
}

} // namespace zb
