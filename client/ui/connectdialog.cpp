#include "connectdialog.h"

#include "client/core/messages.h"
#include "joinlink.h"
#include "playername.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace zb {

ConnectDialog::ConnectDialog(ClientSettings *settings, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setWindowTitle(msg::ConnectToServer);

    txtName = new QLineEdit(this);
    txtName->setMaxLength(MaxNameLength);
    txtIPPort = new QLineEdit(this);
    txtPassword = new QLineEdit(this);
    txtPassword->setMaxLength(8);

    auto *note = new QLabel(msg::AddressHelp, this);
    note->setWordWrap(true);

    cmdLocal = new QPushButton(QStringLiteral("Local"), this);
    cmdLocal->setAutoDefault(false);
    cmdServer = new QPushButton(msg::ConnectToServerButton, this);
    cmdServer->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(msg::Name, this));
    layout->addWidget(txtName);
    layout->addWidget(new QLabel(msg::AddressAndPort, this));
    layout->addWidget(txtIPPort);
    layout->addWidget(new QLabel(msg::Password, this));
    layout->addWidget(txtPassword);
    layout->addWidget(note);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdLocal);
    buttons->addStretch(1);
    buttons->addWidget(cmdServer);
    layout->addLayout(buttons);
    // A fixed border: the dialog keeps the size its contents need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The fixed size follows the contents, so the width is set on them.
    note->setMinimumWidth(330);

    // Named as the players' manual names them; tests and tools find them so.
    txtName->setObjectName(QStringLiteral("txtName"));
    txtIPPort->setObjectName(QStringLiteral("txtIPPort"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    cmdLocal->setObjectName(QStringLiteral("cmdLocal"));
    cmdServer->setObjectName(QStringLiteral("cmdServer"));
    connect(cmdLocal, &QPushButton::clicked, this, &ConnectDialog::useLocalAddress);
    connect(cmdServer, &QPushButton::clicked, this, &ConnectDialog::useLobbyServerAddress);
    prepare();
}

void ConnectDialog::prepare()
{
    if (!m_settings) return;
    txtName->setText(m_settings->name);
    txtIPPort->setText(m_settings->ipPort);
    txtPassword->clear();
}

void ConnectDialog::setAddress(const QString &address)
{
    txtIPPort->setText(address);
}

QString ConnectDialog::password() const
{
    return txtPassword->text().trimmed();
}

void ConnectDialog::useLocalAddress()
{
    txtIPPort->setText(localAddress(txtIPPort->text()));
}

bool ConnectDialog::takeName()
{
    txtName->setText(cleanPlayerName(txtName->text()));
    if (!txtName->text().isEmpty()) return true;
    // Shown window-modal without a nested event loop; the dialog stays open.
    auto *box = new QMessageBox(QMessageBox::NoIcon, windowTitle(), msg::EnterName, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

QString ConnectDialog::address() const
{
    const QString text = txtIPPort->text().trimmed();
    // An invitation's link names the room as well as its address does.
    const QString fromLink = addressFromJoinLink(text);
    return fromLink.isEmpty() ? text : fromLink;
}

void ConnectDialog::useLobbyServerAddress()
{
    if (!takeName()) return;
    const QString address = this->address();
    txtIPPort->setText(address);
    if (m_settings) {
        m_settings->name = txtName->text().trimmed();
        m_settings->ipPort = address;
        m_settings->save();
    }
    emit connectRequested(address, password(), txtName->text().trimmed());
    accept();
}

void ConnectDialog::joinNow()
{
    if (!takeName()) return;
    emit connectRequested(address(), password(), txtName->text().trimmed());
    accept();
}

} // namespace zb
