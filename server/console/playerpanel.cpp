#include "server/console/playerpanel.h"

#include "server/console/receivelamps.h"
#include "server/texts/messages.h"
#include "shared/textclean.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace zb {

const QColor PlayerPanel::IdleColor(128, 128, 128);
const QColor PlayerPanel::DrawerColor(0, 0, 192);

PlayerPanel::PlayerPanel(QWidget *parent)
    : QGroupBox(msg::PlayersCaption, parent), m_lamps(new ReceiveLamps(this, this))
{
    setObjectName(QStringLiteral("fraPlayers"));
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    // Two columns of four seats keep the list short enough to read at a glance.
    for (int i = 0; i < Slots; ++i) {
        const int row = i % 4;
        const int col = (i / 4) * 5;
        auto *number = new QLabel(QString::number(i), this);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        number->setMinimumWidth(12);

        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("lblPlayer%1").arg(i));
        // Names are whatever a player sent: never markup, which would also
        // make the label load any file an <img> names.
        label->setTextFormat(Qt::PlainText);
        label->setAutoFillBackground(true);
        label->setMinimumWidth(150);
        label->setFixedHeight(24);
        label->setContentsMargins(6, 0, 6, 0);
        m_nameLabels[i] = label;

        auto *kick = new QPushButton(QStringLiteral("Kick"), this);
        kick->setObjectName(QStringLiteral("cmdKick%1").arg(i));
        kick->setFixedWidth(52);
        kick->setToolTip(msg::KickTip);
        connect(kick, &QPushButton::clicked, this, [this, i] { emit kickClicked(i); });

        grid->addWidget(number, row, col);
        grid->addWidget(label, row, col + 1);
        grid->addWidget(m_lamps->lamp(i), row, col + 2);
        grid->addWidget(kick, row, col + 3);
        if (col == 0) grid->setColumnMinimumWidth(4, 10);
    }
    setHighlight(-1);
}

void PlayerPanel::setPlayer(int slot, const QString &text, const QString &address)
{
    if (slot < 0 || slot >= Slots) return;
    m_nameLabels[slot]->setText(removeControlChars(text));
    m_nameLabels[slot]->setToolTip(address);
}

void PlayerPanel::setHighlight(int slot)
{
    for (int i = 0; i < Slots; ++i) {
        QPalette pal = m_nameLabels[i]->palette();
        pal.setColor(QPalette::Window, i == slot ? DrawerColor : IdleColor);
        pal.setColor(QPalette::WindowText, Qt::white);
        m_nameLabels[i]->setPalette(pal);
    }
}

QColor PlayerPanel::labelColor(int slot) const
{
    if (slot < 0 || slot >= Slots) return {};
    return m_nameLabels[slot]->palette().color(QPalette::Window);
}

} // namespace zb
