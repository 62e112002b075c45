#pragma once

#include "server/console/hostboxes.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QLineEdit;

namespace zb {

class AddressPanel;
class DictionaryChoice;
class GameServer;
class LastStandings;
class LeftColumn;
class LogView;
class MirrorPane;
class PanelStack;
class PlayerPanel;
class RunningPanel;
class SettingsArea;
class StatusStrip;
struct PortMapConfig;

// The room host's window over a GameServer: settings and the start button,
// the seats with their lamps and Kick buttons, the log with the announcement
// box, and the picture mirror. It shows the server's state and turns clicks
// into calls on it; every decision stays in the server.
class ServerConsole : public QWidget {
    Q_OBJECT
  public:
    explicit ServerConsole(GameServer *server, QWidget *parent = nullptr);

    static const QString NotStartedTitle;

    // The command line's router choices for this run (see AddressPanel::setOptions).
    void setPortMapOptions(const PortMapConfig &options);
    // The start button: starts the room, later applies the settings again.
    void startOrApply();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    // What the host's clicks do.
    void openSettings();
    // Asks whether to ban as well, then sends the seat's player away.
    void askToKick(int slot);

    void connectServer();
    void refreshPlayers();
    // Checks the lobby box and stores it for the room to read; false, with
    // the host told why, when it is no address.
    bool storeLobbyAddress();
    void onAnnouncementReturn();

    GameServer *m_server;
    HostBoxes m_boxes;
    SettingsArea *m_settingsArea = nullptr;
    RunningPanel *m_runningPanel = nullptr;
    AddressPanel *m_addressPanel = nullptr;
    PlayerPanel *m_seats = nullptr;
    LastStandings *m_lastStandings = nullptr;
    LogView *m_log = nullptr;
    QLineEdit *m_announceInput = nullptr;
    QCheckBox *m_showPictureBox = nullptr;
    StatusStrip *m_statusStrip = nullptr;
    MirrorPane *m_mirrorPane = nullptr;
    DictionaryChoice *m_dictionaryChoice = nullptr;
    PanelStack *m_leftPages = nullptr;
    LeftColumn *m_leftColumn = nullptr;
    bool m_closeConfirmed = false;
    // The stored lobby address the start press replaced, put back when the press fails.
    std::optional<QString> m_lobbyAddressBefore;
};

} // namespace zb
