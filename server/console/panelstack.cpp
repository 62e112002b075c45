#include "server/console/panelstack.h"

#include <QEvent>
#include <QLayout>

namespace zb {

namespace {
int leastHeight(const QWidget *panel, int width)
{
    const QLayout *layout = panel->layout();
    const int own = panel->minimumHeight();
    if (!layout) return qMax(own, panel->minimumSizeHint().height());
    return qMax(own, layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                                 : layout->totalMinimumSize().height());
}
} // namespace

PanelStack::PanelStack(QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void PanelStack::addPanel(QWidget *panel)
{
    panel->setParent(this);
    panel->setGeometry(rect());
    m_panels << panel;
    if (!m_current) m_current = panel;
    panel->setVisible(panel == m_current);
    updateGeometry();
}

void PanelStack::setCurrent(QWidget *panel)
{
    if (!m_panels.contains(panel)) return;
    m_current = panel;
    for (QWidget *p : std::as_const(m_panels))
        p->setVisible(p == panel);
}

int PanelStack::heightForWidth(int width) const
{
    int height = 0;
    for (const QWidget *panel : m_panels)
        height = qMax(height, leastHeight(panel, width));
    return height;
}

QSize PanelStack::minimumSizeHint() const
{
    int width = 0;
    for (const QWidget *panel : m_panels)
        width = qMax(width, panel->minimumSizeHint().width());
    return {width, heightForWidth(width)};
}

void PanelStack::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    for (QWidget *panel : std::as_const(m_panels))
        panel->setGeometry(rect());
}

bool PanelStack::event(QEvent *event)
{
    // A panel's needs changed (a text, a font): so did the stack's.
    if (event->type() == QEvent::LayoutRequest) updateGeometry();
    return QWidget::event(event);
}

} // namespace zb
