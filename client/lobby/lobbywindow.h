#pragma once

#include <QWidget>

namespace zb {

// The lobby window: room list, lobby chat, join by address.
class LobbyWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LobbyWindow(QWidget *parent = nullptr);

    // Lobby address given on the command line; it is never written to the settings.
    static void setAddressOverride(const QString &hostPort);

    // While the game connection is open the lobby offers no joining.
    void setGameConnectionOpen(bool open);

  signals:
    // A room was picked (address "host:port"), or the direct-connect button was
    // pressed (empty address): the game window opens its connect dialog.
    void joinRequested(const QString &address);
};

} // namespace zb
