#include "client/ui/questionwindow.h"

#include "client/core/messages.h"
#include "shared/textclean.h"

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

    m_wordLabel = new QLabel(msg::Question, this);
    m_wordLabel->setObjectName(QStringLiteral("lblQuestion"));
    // The word comes from the server: text, not markup, on one line.
    m_wordLabel->setTextFormat(Qt::PlainText);
    m_wordLabel->setAlignment(Qt::AlignCenter);
    m_wordLabel->setToolTip(msg::DragToMove);
    m_wordLabel->setAutoFillBackground(true);
    QPalette pal = m_wordLabel->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    m_wordLabel->setPalette(pal);
    QFont font = m_wordLabel->font();
    font.setPointSize(16);
    font.setBold(true);
    m_wordLabel->setFont(font);
    m_wordLabel->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_wordLabel);
    resize(280, 56);
}

void QuestionWindow::setWord(const QString &text)
{
    m_wordLabel->setText(removeControlChars(text));
}

QString QuestionWindow::word() const
{
    return m_wordLabel->text();
}

void QuestionWindow::placeBeside(QWidget *gameWindow)
{
    if (!gameWindow) return;
    // pos() of a top-level window is its outer frame's corner.
    move(gameWindow->pos() + QPoint(PlacementOffset, PlacementOffset));
}

bool QuestionWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_wordLabel) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton) break;
        m_dragging = true;
        m_pressOffset = m_wordLabel->mapTo(this, e->position().toPoint());
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
