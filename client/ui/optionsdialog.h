#pragma once

#include "client/core/clientsettings.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zb {

// The options dialog "オプション": the player's display and lobby preferences.
class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OptionsDialog(ClientSettings *settings, QWidget *parent = nullptr);

  protected:
    void showEvent(QShowEvent *event) override;

  signals:
    // OK pressed: settings updated and saved; the game window applies chat
    // size, the word window, the cursor and the sound switch.
    void settingsApplied();

  private:
    void prepare();
    void acceptOptions();
    // The lobby address box as it is stored ("host:port", empty for the built-in
    // lobby); false, telling the player, when it names no address.
    bool takeLobbyAddress(QString &address);

    ClientSettings *m_settings;
    QButtonGroup *m_cursorGroup = nullptr;
    QString m_shownLobbyAddress;
    QCheckBox *m_lobbyAutoConnectBox = nullptr;
    QCheckBox *m_lobbyAutoNameBox = nullptr;
    QCheckBox *m_questionWindowBox = nullptr;
    QCheckBox *m_largeChatBox = nullptr;
    QCheckBox *m_thinPenOnColorBox = nullptr;
    QCheckBox *m_autoSaveBox = nullptr;
    QCheckBox *m_soundBox = nullptr;
    QRadioButton *m_cursorButtons[3] = {};
    QLineEdit *m_lobbyAddressEdit = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

} // namespace zb
