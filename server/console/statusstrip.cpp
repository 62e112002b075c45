#include "server/console/statusstrip.h"

#include "server/core/lobbylink.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/textclean.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace zb {

StatusStrip::StatusStrip(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);

    row->addWidget(new QLabel(msg::TimeLeftCaption, this));
    m_clockLabel = new QLabel(QStringLiteral("-1"), this);
    m_clockLabel->setTextFormat(Qt::PlainText);
    m_clockLabel->setObjectName(QStringLiteral("lblTimeLimit"));
    m_clockLabel->setMinimumWidth(36);
    QFont clockFont = m_clockLabel->font();
    clockFont.setPointSizeF(clockFont.pointSizeF() * 1.5);
    clockFont.setBold(true);
    m_clockLabel->setFont(clockFont);
    row->addWidget(m_clockLabel);
    row->addSpacing(12);

    m_questionLabel = new QLabel(msg::QuestionCaption, this);
    // Words come from dictionary files: text, not markup.
    m_questionLabel->setTextFormat(Qt::PlainText);
    m_questionLabel->setObjectName(QStringLiteral("lblQuestion"));
    m_questionLabel->setFont(clockFont);
    m_questionLabel->setFrameShape(QFrame::Panel);
    m_questionLabel->setFrameShadow(QFrame::Sunken);
    m_questionLabel->setAutoFillBackground(true);
    m_questionLabel->setBackgroundRole(QPalette::Base);
    m_questionLabel->setContentsMargins(8, 0, 8, 0);
    m_questionLabel->setMinimumWidth(160);
    m_questionLabel->setFixedHeight(36);
    row->addWidget(m_questionLabel, 1);
    row->addSpacing(12);

    m_lobbyStatusLabel = new QLabel(msg::LobbyStatusCaption, this);
    m_lobbyStatusLabel->setTextFormat(Qt::PlainText);
    m_lobbyStatusLabel->setObjectName(QStringLiteral("lblLobbyStatus"));
    m_lobbyStatusLabel->setToolTip(msg::LobbyStatusTip);
    m_lobbyStatusLabel->setMinimumWidth(190);
    m_lobbyStatusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_lobbyStatusLabel);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_lobbyStatusLabel->installEventFilter(this);
}

void StatusStrip::follow(const RoundEngine &round, const LobbyLink &lobby)
{
    connect(&round, &RoundEngine::clockChanged, this,
            [this](int t) { m_clockLabel->setText(QString::number(t)); });
    connect(&round, &RoundEngine::questionLabelChanged, this,
            [this](const QString &text) { m_questionLabel->setText(removeControlChars(text)); });
    connect(&lobby, &LobbyLink::statusTextChanged, this, &StatusStrip::showLobbyStatus);
    m_clockLabel->setText(QString::number(round.timeLeft()));
    m_questionLabel->setText(removeControlChars(round.questionLabel()));
    showLobbyStatus(lobby.statusText());
}

void StatusStrip::showLobbyStatus(const QString &text)
{
    m_lobbyStatusLabel->setText(text.isEmpty() ? msg::LobbyStatusCaption : text);
}

bool StatusStrip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lobbyStatusLabel && event->type() == QEvent::MouseButtonDblClick) {
        emit lobbyRetryRequested();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace zb
