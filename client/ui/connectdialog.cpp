#include "connectdialog.h"

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
    setWindowTitle(QStringLiteral("サーバーに接続する"));

    txtName = new QLineEdit(this);
    txtName->setMaxLength(12);
    txtIPPort = new QLineEdit(this);
    txtPassword = new QLineEdit(this);
    txtPassword->setMaxLength(8);

    auto *note =
        new QLabel(QStringLiteral("IPアドレスとポートは半角の「:」で区切ってください。\n"
                                  "例：192.168.0.10:27064\n"
                                  "サーバーが標準のポート(27064)を使っているときは、ポートは省略できます。"),
                   this);
    note->setWordWrap(true);

    cmdLocal = new QPushButton(QStringLiteral("Local"), this);
    cmdLocal->setAutoDefault(false);
    cmdServer = new QPushButton(QStringLiteral("サーバーに接続する(&C)"), this);
    cmdServer->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("名前"), this));
    layout->addWidget(txtName);
    layout->addWidget(new QLabel(QStringLiteral("接続IPアドレス：ポート"), this));
    layout->addWidget(txtIPPort);
    layout->addWidget(new QLabel(QStringLiteral("パスワード"), this));
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

    connect(cmdLocal, &QPushButton::clicked, this, &ConnectDialog::cmdLocal_Click);
    connect(cmdServer, &QPushButton::clicked, this, &ConnectDialog::cmdServer_Click);
    Form_Load();
}

void ConnectDialog::Form_Load()
{
    if (!m_settings) return;
    txtName->setText(m_settings->Name);
    txtIPPort->setText(m_settings->IPPort);
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

void ConnectDialog::cmdLocal_Click()
{
    txtIPPort->setText(LocalAddress(txtIPPort->text()));
}

bool ConnectDialog::takeName()
{
    txtName->setText(CleanPlayerName(txtName->text()));
    if (!txtName->text().isEmpty()) return true;
    // Shown window-modal without a nested event loop; the dialog stays open.
    auto *box = new QMessageBox(QMessageBox::NoIcon, windowTitle(), QStringLiteral("名前を入力してください"),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

void ConnectDialog::cmdServer_Click()
{
    if (!takeName()) return;
    const QString address = txtIPPort->text().trimmed();
    if (m_settings) {
        m_settings->Name = txtName->text().trimmed();
        m_settings->IPPort = address;
        m_settings->SaveSettings();
    }
    emit connectRequested(address, password(), txtName->text().trimmed());
    accept();
}

void ConnectDialog::joinNow()
{
    if (!takeName()) return;
    emit connectRequested(txtIPPort->text().trimmed(), password(), txtName->text().trimmed());
    accept();
}

} // namespace zb
