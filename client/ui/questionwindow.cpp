#include "questionwindow.h"

#include "client/core/messages.h"
#include "textclean.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace zb {

namespace {
constexpr int PlacementOffset = 80;
}

QuestionWindow::QuestionWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(msg::Question);

    lblQuestion = new QLabel(msg::Question, this);
    lblQuestion->setObjectName(QStringLiteral("lblQuestion"));
    // The word comes from the server: text, not markup, on one line.
    lblQuestion->setTextFormat(Qt::PlainText);
    lblQuestion->setAlignment(Qt::AlignCenter);
    lblQuestion->setToolTip(msg::DragToMove);
    lblQuestion->setAutoFillBackground(true);
    QPalette pal = lblQuestion->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    lblQuestion->setPalette(pal);
    QFont font = lblQuestion->font();
    font.setPointSize(16);
    font.setBold(true);
    lblQuestion->setFont(font);
    lblQuestion->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lblQuestion);
    resize(280, 56);
}

void QuestionWindow::setWord(const QString &text)
{
    lblQuestion->setText(removeControlChars(text));
}

QString QuestionWindow::word() const
{
    return lblQuestion->text();
}

void QuestionWindow::placeBeside(QWidget *gameWindow)
{
    if (!gameWindow) return;
    // pos() of a top-level window is its outer frame's corner.
    move(gameWindow->pos() + QPoint(PlacementOffset, PlacementOffset));
}

bool QuestionWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lblQuestion) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton) break;
        m_dragging = true;
        m_pressOffset = lblQuestion->mapTo(this, e->position().toPoint());
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragging) break;
        auto *e = static_cast<QMouseEvent *>(event);
        move(e->globalPosition().toPoint() - m_pressOffset);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton && m_dragging) {
            m_dragging = false;
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zb
