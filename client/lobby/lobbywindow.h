#pragma once

#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace zb {

class LobbySession;
class LogView;

// The lobby window: room list, lobby chat, join by address.
class LobbyWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LobbyWindow(QWidget *parent = nullptr);
    ~LobbyWindow() override;

    // Lobby address given on the command line; it is never written to the settings.
    static void setAddressOverride(const QString &hostPort);

    // While the game connection is open the lobby offers no joining.
    void setGameConnectionOpen(bool open);

    LobbySession *session() const { return m_session; }
    // Opens web links from the page; the system browser unless replaced (tests).
    void setUrlOpener(std::function<void(const QString &)> opener) { m_openUrl = std::move(opener); }

    void connectDirectly();
    void joinRoom(const QString &address);
    void showPopup(const QString &text);

  signals:
    // A room was picked (address "host:port"), or the direct-connect button was
    // pressed (empty address): the game window opens its connect dialog.
    void joinRequested(const QString &address);

  protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void buildControls();
    void connectSession();
    void prepare();
    void sendChat();
    void onLinkClicked(const QUrl &url);
    void onLinkHovered(const QUrl &url);
    void showBusyMessage();

    LobbySession *m_session;
    std::function<void(const QString &)> m_openUrl;
    bool m_loaded = false;
    bool m_gameConnectionOpen = false;

    QTextBrowser *m_roomList = nullptr;
    QFrame *m_popup = nullptr;
    QLabel *m_popupLabel = nullptr;
    LogView *m_chatLog = nullptr;
    QLineEdit *m_chatInput = nullptr;
    QListWidget *m_nameList = nullptr;
    QPushButton *m_reloadButton = nullptr;
    QPushButton *m_directConnectButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};

} // namespace zb
