#include "client/ui/leavenotice.h"

#include "client/core/messages.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zb {

namespace {
constexpr int MaxWidth = 440;
constexpr int AreaMargin = 16;
} // namespace

LeaveNotice::LeaveNotice(QWidget *area) : QFrame(area->window()), m_area(area)
{
    setObjectName(QStringLiteral("leaveNotice"));
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    // The canvas area is grey; the notice reads better on the usual window colour.
    setPalette(QApplication::palette(this));
    setAutoFillBackground(true);

    auto *title = new QLabel(msg::LeftRoomTitle, this);
    title->setObjectName(QStringLiteral("leaveNoticeTitle"));
    QFont bold = title->font();
    bold.setPointSize(bold.pointSize() + 2);
    bold.setBold(true);
    title->setFont(bold);
    m_reasonLabel = new QLabel(this);
    m_reasonLabel->setObjectName(QStringLiteral("leaveReason"));
    // The reason may be a line the room sent: text, never markup.
    m_reasonLabel->setTextFormat(Qt::PlainText);
    m_reasonLabel->setWordWrap(true);
    m_closeButton = new QPushButton(msg::Close, this);
    m_closeButton->setObjectName(QStringLiteral("leaveNoticeCloseButton"));
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::hide);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 12, 16, 12);
    column->addWidget(title);
    column->addWidget(m_reasonLabel);
    column->addLayout(buttons);

    area->installEventFilter(this);
    hide();
}

void LeaveNotice::showReason(const QString &reason)
{
    m_reasonLabel->setText(reason);
    followArea();
    show();
    raise();
}

QString LeaveNotice::reason() const
{
    return m_reasonLabel->text();
}

void LeaveNotice::followArea()
{
    if (!m_area) return;
    const QRect area(m_area->mapTo(parentWidget(), QPoint(0, 0)), m_area->size());
    const int width = qMax(1, qMin(MaxWidth, area.width() - 2 * AreaMargin));
    layout()->activate();
    const int height =
        qMin(area.height(),
             layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : sizeHint().height());
    setGeometry(QRect(0, 0, width, height).translated(area.center() - QPoint(width / 2, height / 2)));
}

bool LeaveNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) followArea();
    return QFrame::eventFilter(watched, event);
}

} // namespace zb
