#pragma once

#include "clientsettings.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zb {

// The connect dialog: name, server address and password for one game connection.
class ConnectDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ConnectDialog(ClientSettings *settings, QWidget *parent = nullptr);
    void setAddress(const QString &address); // prefill (from the lobby)
    QString password() const;

    QLineEdit *txtName = nullptr;
    QLineEdit *txtIPPort = nullptr;
    QLineEdit *txtPassword = nullptr;
    QPushButton *cmdLocal = nullptr;
    QPushButton *cmdServer = nullptr;

  signals:
    // The player pressed connect with a valid name: settings Name and IPPort
    // are updated and saved; the game window then connects.
    void connectRequested(const QString &address, const QString &password);

  private:
    void Form_Load();
    void cmdLocal_Click();
    void cmdServer_Click();

    ClientSettings *m_settings;
};

} // namespace zb
