#include "server/console/serverpanel.h"

#include "server/console/panelstyle.h"
#include "server/core/serversettings.h"
#include "server/texts/messages.h"
#include "shared/version.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zb {

namespace {

QLineEdit *lineEdit(const QString &name, int maxLength, const QString &designText, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    // What an empty box becomes when the server starts.
    edit->setPlaceholderText(designText);
    return edit;
}

} // namespace

ServerPanel::ServerPanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("picLobby"));
    setFrameShape(QFrame::StyledPanel);
    paintAsPanel(this);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

    m_portInput =
        lineEdit(QStringLiteral("txtPort"), ServerSettings::PortLength, QStringLiteral("27064"), this);
    m_portInput->setMaximumWidth(100);
    m_roomNameInput =
        lineEdit(QStringLiteral("txtRoomName"), ServerSettings::RoomNameLength, msg::DefaultRoomName, this);
    m_commentInput =
        lineEdit(QStringLiteral("txtComment"), ServerSettings::CommentLength, msg::DefaultComment, this);
    m_passwordInput =
        lineEdit(QStringLiteral("txtPassword"), ServerSettings::PasswordLength, QString(), this);
    m_passwordInput->setMaximumWidth(140);
    form->addRow(msg::PortCaption, m_portInput);
    form->addRow(msg::RoomNameCaption, m_roomNameInput);
    form->addRow(msg::CommentCaption, m_commentInput);
    form->addRow(msg::PasswordCaption, m_passwordInput);

    auto *modeRow = new QHBoxLayout;
    m_gameTypeGroup = new QButtonGroup(this);
    const QStringList gameModes = {msg::ProgramName, msg::ObscureTournamentName};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QRadioButton(gameModes[i], this);
        button->setObjectName(QStringLiteral("optGameMode%1").arg(i));
        m_gameTypeGroup->addButton(button, i);
        modeRow->addWidget(button);
    }
    modeRow->addStretch();
    m_gameTypeGroup->button(0)->setChecked(true);
    form->addRow(msg::GameModeCaption, modeRow);
    m_lobbyAddressInput = new QLineEdit(this);
    m_lobbyAddressInput->setObjectName(QStringLiteral("lobbyAddressEdit"));
    m_lobbyAddressInput->setPlaceholderText(QString::fromLatin1(DefaultLobbyAddress));
    m_lobbyAddressInput->setToolTip(msg::LobbyServerTip);
    form->addRow(msg::LobbyServerCaption, m_lobbyAddressInput);
    layout->addLayout(form);

    m_registerBox = new QCheckBox(msg::RegisterWithLobby, this);
    m_registerBox->setObjectName(QStringLiteral("chkLobbyRegister"));
    m_registerBox->setChecked(true);
    layout->addWidget(m_registerBox);
    m_sameAddressBox = new QCheckBox(msg::AllowSameAddress, this);
    m_sameAddressBox->setObjectName(QStringLiteral("allowSameAddressBox"));
    m_sameAddressBox->setToolTip(msg::AllowSameAddressTip);
    layout->addWidget(m_sameAddressBox);
    layout->addStretch();
}

void ServerPanel::fillSettings(ServerSettings &s) const
{
    s.port = m_portInput->text();
    s.password = m_passwordInput->text();
    s.roomName = m_roomNameInput->text();
    s.comment = m_commentInput->text();
    s.gameType = m_gameTypeGroup->checkedId() == 0 ? 0 : 1;
    s.lobbyRegister = m_registerBox->isChecked();
    s.allowSameAddress = m_sameAddressBox->isChecked();
}

void ServerPanel::showSettings(const ServerSettings &s)
{
    m_portInput->setText(s.port);
    m_roomNameInput->setText(s.roomName);
    m_commentInput->setText(s.comment);
    m_passwordInput->setText(s.password);
    m_registerBox->setChecked(s.lobbyRegister);
    m_sameAddressBox->setChecked(s.allowSameAddress);
    // A value out of range leaves the buttons as they are.
    if (QAbstractButton *type = m_gameTypeGroup->button(s.gameType)) type->setChecked(true);
}

QString ServerPanel::lobbyAddress() const
{
    return m_lobbyAddressInput->text().trimmed();
}

void ServerPanel::showLobbyAddress(const QString &address, bool locked)
{
    m_lobbyAddressInput->setText(address);
    m_lobbyAddressInput->setReadOnly(locked);
    if (locked) m_lobbyAddressInput->setToolTip(msg::LobbyOverrideTip);
}

void ServerPanel::focusLobbyAddress()
{
    m_lobbyAddressInput->setFocus();
    m_lobbyAddressInput->selectAll();
}

void ServerPanel::setRunning(bool running)
{
    m_portInput->setEnabled(!running);
    m_lobbyAddressInput->setEnabled(!running);
}

} // namespace zb
