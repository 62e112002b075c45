#pragma once

#include <QFrame>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace zb {

struct ServerSettings;

// The settings' server panel: port, room name, comment, password, the kind
// of game, and what the room tells the lobby.
class ServerPanel : public QFrame {
    Q_OBJECT
  public:
    explicit ServerPanel(QWidget *parent = nullptr);

    // Puts the panel's values into `s`, leaving the rest of it as it is.
    void fillSettings(ServerSettings &s) const;
    void showSettings(const ServerSettings &s);

    // The lobby's "host:port" as typed; empty means the built-in address.
    QString lobbyAddress() const;
    // `locked`: the command line chose the lobby for this run.
    void showLobbyAddress(const QString &address, bool locked);
    void focusLobbyAddress();

    // Running: the port and the lobby's address are fixed.
    void setRunning(bool running);

  private:
    QButtonGroup *m_gameTypeGroup = nullptr;
    QLineEdit *m_portInput = nullptr;
    QLineEdit *m_roomNameInput = nullptr;
    QLineEdit *m_commentInput = nullptr;
    QLineEdit *m_passwordInput = nullptr;
    QLineEdit *m_lobbyAddressInput = nullptr;
    QCheckBox *m_registerBox = nullptr;
    QCheckBox *m_sameAddressBox = nullptr;
};

} // namespace zb
