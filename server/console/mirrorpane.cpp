#include "server/console/mirrorpane.h"

#include "server/console/canvasmirror.h"
#include "shared/gui/canvasimage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace zb {

MirrorPane::MirrorPane(QSplitter *split, QWidget *window) : QFrame(window), m_split(split), m_window(window)
{
    setObjectName(QStringLiteral("picBack"));
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(grey);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    auto *swatches = new QVBoxLayout;
    swatches->setSpacing(4);
    for (int i = 0; i < PaletteSize; ++i) {
        auto *swatch = new QLabel(this);
        swatch->setObjectName(QStringLiteral("lblColor%1").arg(i));
        // Shorter with a smaller picture, so that all nine stay beside it.
        swatch->setFixedWidth(28);
        swatch->setMinimumHeight(10);
        swatch->setMaximumHeight(28);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        QPalette pal = swatch->palette();
        pal.setColor(QPalette::Window, colorFromValue(PaletteValues[i]));
        swatch->setPalette(pal);
        swatches->addWidget(swatch);
    }
    swatches->addStretch();
    row->addStretch();
    row->addLayout(swatches);
    row->addSpacing(10);
    m_mirror = new CanvasMirror(this);
    row->addWidget(m_mirror, 1);
    row->addStretch();
}

void MirrorPane::setMirrorShown(bool show)
{
    if (show == !isHidden()) return;
    QWidget *w = m_window;
    const bool sized = !(w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (!show) {
        const int mirrorHeight = height() + m_split->handleWidth();
        setVisible(false);
        emit makingRoom(false);
        w->layout()->activate();
        if (sized)
            w->resize(w->width(), qMax(w->height() - mirrorHeight, qMin(m_heightBeforeMirror, w->height())));
        return;
    }
    m_heightBeforeMirror = w->height();
    emit makingRoom(true);
    setVisible(true);
    w->layout()->activate();
    int target = w->height();
    if (sized) {
        // Grown by the picture's height, but never past the bottom of the screen.
        const QRect room = w->screen()->availableGeometry();
        const int frame = w->frameGeometry().height() - w->height();
        const int wanted = w->height() + sizeHint().height() + m_split->handleWidth();
        target = qMax(w->minimumHeight(), qMin(wanted, room.height() - frame));
        if (w->frameGeometry().top() + frame + target > room.bottom() + 1)
            w->move(w->x(), qMax(room.top(), room.bottom() + 1 - frame - target));
        w->resize(w->width(), target);
    }
    fit();
    // The window manager may settle the size later: share it out again then.
    m_fitPending = w->height() != target;
}

void MirrorPane::windowResized()
{
    if (!m_fitPending) return;
    m_fitPending = false;
    m_window->layout()->activate();
    fit();
}

void MirrorPane::fit()
{
    if (isHidden()) return;
    const int room = m_split->height() - m_split->handleWidth();
    const int mirror = qBound(minimumSizeHint().height(),
                              room - m_split->widget(0)->minimumSizeHint().height(), sizeHint().height());
    m_split->setSizes({room - mirror, mirror});
}

} // namespace zb
