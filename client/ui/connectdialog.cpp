#include "client/ui/connectdialog.h"

#include "client/core/messages.h"
#include "client/core/playername.h"
#include "shared/joinlink.h"

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

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setMaxLength(MaxNameLength);
    m_addressEdit = new QLineEdit(this);
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setMaxLength(8);

    auto *note = new QLabel(msg::AddressHelp, this);
    note->setWordWrap(true);

    m_localButton = new QPushButton(QStringLiteral("Local"), this);
    m_localButton->setAutoDefault(false);
    m_connectButton = new QPushButton(msg::ConnectToServerButton, this);
    m_connectButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(msg::Name, this));
    layout->addWidget(m_nameEdit);
    layout->addWidget(new QLabel(msg::AddressAndPort, this));
    layout->addWidget(m_addressEdit);
    layout->addWidget(new QLabel(msg::Password, this));
    layout->addWidget(m_passwordEdit);
    layout->addWidget(note);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_localButton);
    buttons->addStretch(1);
    buttons->addWidget(m_connectButton);
    layout->addLayout(buttons);
    // A fixed border: the dialog keeps the size its contents need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The fixed size follows the contents, so the width is set on them.
    note->setMinimumWidth(330);

    // Named as the players' manual names them; tests and tools find them so.
    m_nameEdit->setObjectName(QStringLiteral("txtName"));
    m_addressEdit->setObjectName(QStringLiteral("txtIPPort"));
    m_passwordEdit->setObjectName(QStringLiteral("txtPassword"));
    m_localButton->setObjectName(QStringLiteral("cmdLocal"));
    m_connectButton->setObjectName(QStringLiteral("cmdServer"));
    connect(m_localButton, &QPushButton::clicked, this, &ConnectDialog::useLocalAddress);
    connect(m_connectButton, &QPushButton::clicked, this, &ConnectDialog::storeAndConnect);
    prepare();
}

void ConnectDialog::prepare()
{
    if (!m_settings) return;
    m_nameEdit->setText(m_settings->name);
    m_addressEdit->setText(m_settings->ipPort);
    m_passwordEdit->clear();
}

void ConnectDialog::setAddress(const QString &address)
{
    m_addressEdit->setText(address);
}

void ConnectDialog::setName(const QString &name)
{
    m_nameEdit->setText(name);
}

QString ConnectDialog::name() const
{
    return m_nameEdit->text().trimmed();
}

QString ConnectDialog::password() const
{
    return m_passwordEdit->text().trimmed();
}

void ConnectDialog::useLocalAddress()
{
    m_addressEdit->setText(localAddress(m_addressEdit->text()));
}

bool ConnectDialog::takeName()
{
    m_nameEdit->setText(cleanPlayerName(m_nameEdit->text()));
    if (!m_nameEdit->text().isEmpty()) return true;
    // Shown window-modal without a nested event loop; the dialog stays open.
    auto *box = new QMessageBox(QMessageBox::NoIcon, windowTitle(), msg::EnterName, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

QString ConnectDialog::address() const
{
    const QString text = m_addressEdit->text().trimmed();
    // An invitation's link names the room as well as its address does.
    const QString fromLink = addressFromJoinLink(text);
    return fromLink.isEmpty() ? text : fromLink;
}

void ConnectDialog::storeAndConnect()
{
    if (!takeName()) return;
    const QString address = this->address();
    m_addressEdit->setText(address);
    if (m_settings) {
        m_settings->name = m_nameEdit->text().trimmed();
        m_settings->ipPort = address;
        m_settings->save();
    }
    emit connectRequested(address, password(), m_nameEdit->text().trimmed());
    accept();
}

void ConnectDialog::joinNow()
{
    if (!takeName()) return;
    emit connectRequested(address(), password(), m_nameEdit->text().trimmed());
    accept();
}

} // namespace zb
