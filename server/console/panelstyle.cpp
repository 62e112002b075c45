#include "server/console/panelstyle.h"

#include <QLabel>

namespace zb {

void paintAsPanel(QWidget *w)
{
    w->setAutoFillBackground(true);
    w->setBackgroundRole(QPalette::Button);
}

QLabel *noteLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(80, 80, 80));
    label->setPalette(pal);
    return label;
}

} // namespace zb
