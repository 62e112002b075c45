#include "client/ui/widgetcolors.h"

#include "shared/gui/canvasimage.h"

#include <QFrame>
#include <QWidget>

namespace zb {

QString cssColor(int value)
{
    return colorFromValue(value).name();
}

void setBackground(QWidget *w, int value)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colorFromValue(value));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setTextColor(QWidget *w, int value)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colorFromValue(value));
    w->setPalette(pal);
}

QFrame *markerFrame(QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}

} // namespace zb
