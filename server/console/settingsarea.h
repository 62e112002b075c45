#pragma once

#include "server/core/serversettings.h"

#include <QFrame>

class QButtonGroup;
class QPushButton;

namespace zb {

class DictionaryPanel;
class GamePanel;
class PanelStack;
class ServerPanel;

// The settings area: three panels (added dictionaries, server settings, game
// settings) chosen with a row of option buttons, and the start button below.
// It only holds what the host typed; the console hands it to the server.
class SettingsArea : public QFrame {
    Q_OBJECT
  public:
    explicit SettingsArea(QWidget *parent = nullptr);

    // Shows the panel of option k: 0 dictionaries, 1 server, 2 game.
    void showPanel(int k);

    // The panels' values as the server takes them.
    ServerSettings settings() const;
    // Fills the boxes and buttons; the dictionary ticks are the list's own.
    void showSettings(const ServerSettings &s);

    // The list of added dictionaries and how they combine with the built-in one.
    DictionaryPanel *dictionaries() const { return m_dictionaryPanel; }

    // The lobby's "host:port" as typed; empty means the built-in address.
    QString lobbyAddress() const;
    // `locked`: the command line chose the lobby for this run.
    void showLobbyAddress(const QString &address, bool locked);
    // Takes the host to the lobby box.
    void showLobbyAddressBox();

    // Running: the port and the other server settings are fixed.
    void setRunning(bool running);

  signals:
    void startRequested();

  private:
    PanelStack *m_panels = nullptr;
    QButtonGroup *m_panelGroup = nullptr;
    DictionaryPanel *m_dictionaryPanel = nullptr;
    ServerPanel *m_serverPanel = nullptr;
    GamePanel *m_gamePanel = nullptr;
    QPushButton *m_startButton = nullptr;
};

} // namespace zb
