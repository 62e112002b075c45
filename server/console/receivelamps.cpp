#include "server/console/receivelamps.h"

#include "server/texts/messages.h"

#include <QLabel>
#include <QPainter>

namespace zb {

namespace {
// A round lamp, so that it is not mistaken for a check box.
class Lamp : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(palette().color(QPalette::Window));
        p.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
};
} // namespace

ReceiveLamps::ReceiveLamps(QWidget *labelParent, QObject *parent) : QObject(parent)
{
    for (int i = 0; i < Slots; ++i) {
        auto *label = new Lamp(labelParent);
        label->setObjectName(QStringLiteral("lblReceive%1").arg(i));
        label->setFixedSize(18, 18);
        label->setToolTip(msg::ReceiveTip);
        m_lamps[i] = label;
        m_level[i] = Faded;
        paint(i);
    }
    // The fade is meant to look even; a coarse timer would make it stutter.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ReceiveLamps::onFadeTick);
    m_timer.start();
}

QLabel *ReceiveLamps::lamp(int slot) const
{
    return slot >= 0 && slot < Slots ? m_lamps[slot] : nullptr;
}

int ReceiveLamps::level(int slot) const
{
    return slot >= 0 && slot < Slots ? m_level[slot] : Faded;
}

QColor ReceiveLamps::color(int slot) const
{
    const int v = level(slot);
    return QColor(255, v, v);
}

void ReceiveLamps::light(int slot)
{
    if (slot < 0 || slot >= Slots) return;
    m_level[slot] = Lit;
    paint(slot);
}

void ReceiveLamps::onFadeTick()
{
    for (int i = 0; i < Slots; ++i) {
        if (m_level[i] < Faded) {
            m_level[i] = qMin(m_level[i] + Step, Faded);
            paint(i);
        }
    }
}

void ReceiveLamps::setInterval(int ms)
{
    m_timer.setInterval(qMax(1, ms));
}

void ReceiveLamps::paint(int slot)
{
    QPalette pal = m_lamps[slot]->palette();
    pal.setColor(QPalette::Window, color(slot));
    m_lamps[slot]->setPalette(pal);
}

} // namespace zb
