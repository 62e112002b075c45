#pragma once

#include "client/core/clientsettings.h"

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
    // The address box as "host:port", also when a zembrill:// link was pasted into it.
    QString address() const;
    // Connects with what the boxes hold, as the connect button does, but
    // stores nothing: for a join named on the command line.
    void joinNow();
    // The name box, as typed (a join named on the command line fills it in).
    void setName(const QString &name);
    QString name() const;

  signals:
    // The player pressed connect with a valid name: settings Name and IPPort
    // are updated and saved (not by joinNow); the game window then connects.
    void connectRequested(const QString &address, const QString &password, const QString &name);

  private:
    void prepare();
    void useLocalAddress();
    void storeAndConnect();
    // Cleans the name box; false (and tells the player) when nothing is left.
    bool takeName();

    ClientSettings *m_settings;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_addressEdit = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QPushButton *m_localButton = nullptr;
    QPushButton *m_connectButton = nullptr;
};

} // namespace zb
