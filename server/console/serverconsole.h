#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;

namespace zb {

class AddressPanel;
class CanvasMirror;
class GameServer;
class LastStandings;
class LogView;
class PanelStack;
class PlayerPanel;
class RunningPanel;
class SettingsArea;
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
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    class LeftColumn;

    // What the host's clicks do.
    void openSettings();
    void rescanDictionaries();
    // Asks whether to ban as well, then sends the seat's player away.
    void askToKick(int slot);
    void onMirrorToggled();
    void retryLobbyRegistration();
    void onDictionaryTicked(const QString &entry, bool ticked);

    QWidget *buildStatusStrip();
    // Shares the window's height between the seats and log above and the mirror.
    void fitMirror();
    QWidget *buildMirror();
    void connectServer();
    void refreshPlayers();
    void refreshDictionaryList();
    void tickDictionaries(const QStringList &entries);
    void setLobbyStatus(const QString &text);
    // Checks the lobby box and stores it for the room to read; false, with
    // the host told why, when it is no address.
    bool storeLobbyAddress();
    void onAnnouncementReturn();
    // A window-modal box; `done` gets the button pressed (Escape gives the escape button).
    void ask(const QString &text, int buttons, std::function<void(int)> done = {});
    void tell(const QStringList &texts);

    GameServer *m_server;
    SettingsArea *m_settingsArea = nullptr;
    RunningPanel *m_runningPanel = nullptr;
    AddressPanel *m_addressPanel = nullptr;
    PlayerPanel *m_seats = nullptr;
    LastStandings *m_lastStandings = nullptr;
    LogView *m_log = nullptr;
    QLineEdit *m_announceInput = nullptr;
    QCheckBox *m_showPictureBox = nullptr;
    QLabel *m_clockLabel = nullptr;
    QLabel *m_questionLabel = nullptr;
    QLabel *m_lobbyStatusLabel = nullptr;
    QFrame *m_mirrorFrame = nullptr;
    CanvasMirror *m_mirror = nullptr;
    PanelStack *m_leftPages = nullptr;
    LeftColumn *m_leftColumn = nullptr;
    QWidget *m_topPart = nullptr;
    QSplitter *m_split = nullptr;
    int m_heightBeforeMirror = 0;
    bool m_fitMirror = false;
    bool m_closeConfirmed = false;
    // The stored lobby address the start press replaced, put back when the press fails.
    std::optional<QString> m_lobbyAddressBefore;
};

} // namespace zb
