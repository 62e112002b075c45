#include "server/console/runningpanel.h"

#include "server/core/serversettings.h"
#include "server/texts/messages.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zb {

namespace {
QLabel *valueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Room texts and dictionary file names are shown as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

RunningPanel::RunningPanel(QWidget *parent)
    : QFrame(parent), m_players(valueLabel(this)), m_port(valueLabel(this)), m_roomName(valueLabel(this)),
      m_comment(valueLabel(this)), m_password(valueLabel(this)), m_lobby(valueLabel(this)),
      m_game(valueLabel(this)), m_dictionaries(valueLabel(this))
{
    setObjectName(QStringLiteral("picRunning"));
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);

    auto *title = new QLabel(msg::ServerRunning, this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title->setFont(big);
    title->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
    layout->addWidget(title);
    layout->addSpacing(6);

    auto *form = new QFormLayout;
    form->setVerticalSpacing(8);
    form->addRow(msg::PlayerCountCaption, m_players);
    form->addRow(msg::PortCaption, m_port);
    form->addRow(msg::RoomNameCaption, m_roomName);
    form->addRow(msg::CommentCaption, m_comment);
    form->addRow(msg::PasswordCaption, m_password);
    form->addRow(msg::LobbyRegisterCaption, m_lobby);
    form->addRow(msg::GameSettingsCaption, m_game);
    form->addRow(msg::DictionariesCaption, m_dictionaries);
    layout->addLayout(form);
    layout->addStretch();

    auto *changeButton = new QPushButton(msg::ChangeSettings, this);
    changeButton->setObjectName(QStringLiteral("cmdLoadQuestion"));
    changeButton->setMinimumHeight(38);
    layout->addWidget(changeButton);
    connect(changeButton, &QPushButton::clicked, this, &RunningPanel::changeRequested);
}

void RunningPanel::showPlayerCount(int seated, int seats)
{
    m_players->setText(msg::playerCount(seated, seats));
}

void RunningPanel::showSettings(const ServerSettings &s, const QString &dictionaryList)
{
    m_port->setText(s.port);
    m_roomName->setText(s.roomName);
    m_comment->setText(s.comment);
    m_password->setText(s.password.isEmpty() ? msg::PasswordNone : msg::PasswordSet);
    m_lobby->setText(s.lobbyRegister ? msg::RegisterOn : msg::RegisterOff);
    m_game->setText(s.settingsLine());
    QString dictionaries = dictionaryList;
    if (dictionaries.endsWith(QLatin1Char(':'))) dictionaries.chop(1);
    m_dictionaries->setText(dictionaries.replace(QLatin1Char(':'), msg::ListSeparator));
}

} // namespace zb
