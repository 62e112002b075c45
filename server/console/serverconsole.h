#pragma once

#include <QWidget>
#include <array>
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

// The room host's window over a GameServer: settings and the start button,
// the seats with their lamps and Kick buttons, the log with the announcement
// box, and the picture mirror. It shows the server's state and turns clicks
// into calls on it; every decision stays in the server.
class ServerConsole : public QWidget {
    Q_OBJECT
  public:
    explicit ServerConsole(GameServer *server, QWidget *parent = nullptr);

    static const QString NotStartedTitle;

    // Handlers, public so that a test can press what the host presses.
    void startOrApply();
    void reloadDictionaryList();
    void reloadDictionaries();
    void kickSelected(int slot);
    void chooseDictionaryMode(int k);
    void onPictureViewToggled();
    void retryLobbyRegistration();
    void onDictionaryTicked(const QString &entry, bool ticked);

    SettingsArea *picSetting = nullptr;
    RunningPanel *picRunning = nullptr;
    AddressPanel *picAddress = nullptr;
    PlayerPanel *players = nullptr;
    LastStandings *lastStandings = nullptr;
    LogView *txtState = nullptr;
    QLineEdit *txtSend = nullptr;
    QLabel *lblTimeLimit = nullptr;
    QLabel *lblQuestion = nullptr;
    QLabel *lblLobbyStatus = nullptr;
    QCheckBox *chkPictureView = nullptr;
    QFrame *picBack = nullptr;
    CanvasMirror *picMain = nullptr;
    std::array<QLabel *, 9> lblColor{};

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    class LeftColumn;

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
