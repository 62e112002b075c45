#pragma once

#include "serversettings.h"

#include <QFrame>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace zb {

class PanelStack;

// The settings area: three panels (added dictionaries, server settings, game
// settings) chosen with a row of option buttons, and the start button below.
// It only holds what the host typed; the console hands it to the server.
class SettingsArea : public QFrame {
    Q_OBJECT
  public:
    // The list item's word count.
    static constexpr int WordsRole = Qt::UserRole + 1;

    explicit SettingsArea(QWidget *parent = nullptr);

    // Shows the panel of option k: 0 dictionaries, 1 server, 2 game.
    void showPanel(int k);

    // The panels' values as the server takes them.
    ServerSettings settings() const;
    // Fills the boxes and buttons; the dictionary ticks are the list's own.
    void showSettings(const ServerSettings &s);

    // Refills the dictionary list; ticks are lost.
    void setEntries(const QStringList &entries);
    void setEntryTicked(const QString &entry, bool ticked);
    // The word count shown beside an entry, and how its file is read.
    void setEntryWords(const QString &entry, int words, bool utf8);
    QStringList tickedEntries() const;

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
    void rescanRequested();
    void modeChosen(int mode);
    // The host ticked or unticked an added dictionary.
    void entryToggled(const QString &entry, bool ticked);

  private:
    QGroupBox *buildDictionaryPanel();
    QFrame *buildServerPanel();
    QFrame *buildGamePanel();
    void onEntryChanged(QListWidgetItem *item);

    PanelStack *m_panels = nullptr;
    QButtonGroup *m_panelGroup = nullptr;
    QButtonGroup *m_modeGroup = nullptr;
    QButtonGroup *m_gameTypeGroup = nullptr;
    QGroupBox *m_dictionaryPanel = nullptr;
    QListWidget *m_dictionaryList = nullptr;
    QFrame *m_serverPanel = nullptr;
    QLineEdit *m_portInput = nullptr;
    QLineEdit *m_roomNameInput = nullptr;
    QLineEdit *m_commentInput = nullptr;
    QLineEdit *m_passwordInput = nullptr;
    QLineEdit *m_lobbyAddressInput = nullptr;
    QCheckBox *m_registerBox = nullptr;
    QCheckBox *m_sameAddressBox = nullptr;
    QFrame *m_gamePanel = nullptr;
    QComboBox *m_playerMaxCombo = nullptr;
    QComboBox *m_roundMaxCombo = nullptr;
    QCheckBox *m_noRepeatBox = nullptr;
    QPushButton *m_startButton = nullptr;
};

} // namespace zb
