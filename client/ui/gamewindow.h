#pragma once

#include "client/core/clientsettings.h"
#include "client/core/gameclient.h"
#include "client/lobby/lobbywindow.h"
#include "client/ui/connectdialog.h"
#include "client/ui/optionsdialog.h"
#include "client/ui/questionwindow.h"
#include "client/ui/resultsview.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zb {

class CanvasWidget;
class ClickLabel;
class LeaveNotice;
class LogView;

// The game window "ゼンブリル": canvas, palette, players, chat and system
// views. It shows what the GameClient reports and turns the player's clicks
// and keys into calls on it.
class GameWindow : public QWidget {
    Q_OBJECT
  public:
    explicit GameWindow(QWidget *parent = nullptr);
    ~GameWindow() override;

    GameClient &client() { return m_client; }
    ClientSettings &settings() { return m_settings; }

    // Start-up: folders, greeting lines, settings, panels, cursor, fonts, the
    // word window, showing the window, the lobby when asked for, reset.
    void prepare();

    void onConnectButtonClicked();
    void disconnectFromRoom();
    void openOptions();
    // The connect dialog, prefilled with an address when one is given.
    void openConnectDialog(const QString &address = QString());
    void updatePlayerLabels();
    void appendSystemLine(const QString &text);
    void appendChatLine(const QString &text);

    QuestionWindow *questionWindow() const { return m_questionWindow; }
    LobbyWindow *lobbyWindow() const { return m_lobby; }
    ConnectDialog *connectDialog() const { return m_connectDialog; }
    OptionsDialog *optionsDialog() const { return m_optionsDialog; }
    ResultsView *resultsView() const { return m_results; }
    // The last game's results over the canvas.
    void showResults();
    // Shows the picture folder; the file manager unless replaced (tests).
    void setFolderOpener(std::function<void(const QString &)> opener) { m_openFolder = std::move(opener); }

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

  private:
    // Places every part for the window's size (GameWindowLayout).
    void applyLayout();
    // No larger than the screen: the minimum gives way on very small screens.
    void fitToScreen();
    void buildBackdrop();
    void buildPlayers();
    void buildButtons();
    void buildViews();
    void nameParts();
    void wireClient();
    void applyChatTextSize();
    void applyQuestionWindow();
    void onTurnStarted(int drawer, bool isDrawer);
    void onQokSlot(int slot);
    // The panels' turn colours as between games.
    void clearTurnHighlight();
    void moveColorMarker(int index);
    void moveWidthMarker(int index);
    void onChatReturn();
    // F1 to F4: pen widths 0 to 3.
    void handleFunctionKey(int widthIndex);
    void addFunctionKeys();
    void playSound(const QString &name);

    ClientSettings m_settings;
    GameClient m_client;
    QPointer<QuestionWindow> m_questionWindow;
    QPointer<LobbyWindow> m_lobby;
    QPointer<ConnectDialog> m_connectDialog;
    QPointer<OptionsDialog> m_optionsDialog;
    int m_colorMarker = 0;
    int m_widthMarker = 0;
    bool m_screenWatched = false;
    QPointer<ResultsView> m_results;
    LeaveNotice *m_leaveNotice = nullptr;
    std::function<void(const QString &)> m_openFolder;

    // Controls. Each carries the name the players' manual gives it as its
    // object name (rows: name and index, "lblPlayer0"), which tests find it by.
    QWidget *m_backdrop = nullptr;
    QLabel *m_questionLabel = nullptr;
    QLabel *m_timeCaption = nullptr;
    QLabel *m_timeLabel = nullptr;
    QLabel *m_freeDrawingBanner = nullptr;
    CanvasWidget *m_canvas = nullptr;
    ClickLabel *m_swatches[PaletteSize] = {};
    QFrame *m_swatchMarker = nullptr;
    ClickLabel *m_widthButtons[4] = {};
    QFrame *m_widthButtonMarker = nullptr;
    QPushButton *m_clearButton = nullptr;
    QFrame *m_playerPanels[SlotCount] = {};
    QLabel *m_playerNames[SlotCount] = {};
    QLabel *m_readyLabels[SlotCount] = {};
    QLabel *m_scoreCaptions[SlotCount] = {};
    QLabel *m_scoreLabels[SlotCount] = {};
    QFrame *m_hitMarker = nullptr;
    QPushButton *m_lobbyButton = nullptr;
    QPushButton *m_directConnectButton = nullptr;
    QPushButton *m_disconnectButton = nullptr;
    QPushButton *m_savePictureButton = nullptr;
    QCheckBox *m_saveReserveBox = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_readyButton = nullptr;
    QPushButton *m_lastResultButton = nullptr;
    LogView *m_systemView = nullptr;
    LogView *m_chatView = nullptr;
    QLineEdit *m_chatInput = nullptr;
};

} // namespace zb
