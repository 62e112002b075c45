#pragma once

#include "clientsettings.h"

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

    QCheckBox *chkLobbyAutoConnect = nullptr;
    QCheckBox *chkLobbyAutoName = nullptr;
    QCheckBox *chkQuestionWindow = nullptr;
    QCheckBox *chkChatTextSize = nullptr;
    QCheckBox *chkColorChangeWidth = nullptr;
    QCheckBox *chkAutoSavePicture = nullptr;
    QCheckBox *chkSoundEffect = nullptr;
    QRadioButton *optMousePointer[3] = {};
    QLineEdit *lobbyAddressEdit = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

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
};

} // namespace zb
