#include "client/ui/optionsdialog.h"

#include "client/core/messages.h"
#include "shared/hostport.h"
#include "shared/joinlink.h"
#include "shared/version.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace zb {

OptionsDialog::OptionsDialog(ClientSettings *settings, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setWindowTitle(msg::Options);

    auto *frameSettings = new QGroupBox(msg::Settings, this);
    m_lobbyAutoConnectBox = new QCheckBox(msg::LobbyAutoConnect, frameSettings);
    m_lobbyAutoNameBox = new QCheckBox(msg::LobbyAutoName, frameSettings);
    m_questionWindowBox = new QCheckBox(msg::QuestionInOwnWindow, frameSettings);
    m_largeChatBox = new QCheckBox(msg::LargeChatText, frameSettings);
    m_thinPenOnColorBox = new QCheckBox(msg::ThinPenOnColor, frameSettings);
    m_autoSaveBox = new QCheckBox(msg::AutoSavePicture, frameSettings);
    m_soundBox = new QCheckBox(msg::SoundEffects, frameSettings);
    auto *settingsLayout = new QVBoxLayout(frameSettings);
    for (QCheckBox *box : {m_lobbyAutoConnectBox, m_lobbyAutoNameBox, m_questionWindowBox, m_largeChatBox,
                           m_thinPenOnColorBox, m_autoSaveBox, m_soundBox})
        settingsLayout->addWidget(box);

    auto *frameCursor = new QGroupBox(msg::Cursor, this);
    auto *cursorLayout = new QHBoxLayout(frameCursor);
    m_cursorGroup = new QButtonGroup(this);
    const QString captions[3] = {msg::StandardCursor, msg::CrossCursor, msg::PenCursor};
    for (int i = 0; i < 3; ++i) {
        m_cursorButtons[i] = new QRadioButton(captions[i], frameCursor);
        m_cursorGroup->addButton(m_cursorButtons[i], i);
        cursorLayout->addWidget(m_cursorButtons[i]);
    }

    auto *frameLobby = new QGroupBox(msg::LobbyServer, this);
    m_lobbyAddressEdit = new QLineEdit(frameLobby);
    m_lobbyAddressEdit->setObjectName(QStringLiteral("lobbyAddressEdit"));
    m_lobbyAddressEdit->setPlaceholderText(QString::fromLatin1(DefaultLobbyAddress));
    auto *lobbyHelp = new QLabel(msg::LobbyAddressHelp, frameLobby);
    lobbyHelp->setWordWrap(true);
    auto *lobbyLayout = new QVBoxLayout(frameLobby);
    lobbyLayout->addWidget(m_lobbyAddressEdit);
    lobbyLayout->addWidget(lobbyHelp);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(msg::Cancel, this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameSettings);
    layout->addWidget(frameCursor);
    layout->addWidget(frameLobby);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Named as the players' manual names them; tests and tools find them so.
    const std::pair<QWidget *, const char *> parts[] = {
        {m_lobbyAutoConnectBox, "chkLobbyAutoConnect"},
        {m_lobbyAutoNameBox, "chkLobbyAutoName"},
        {m_questionWindowBox, "chkQuestionWindow"},
        {m_largeChatBox, "chkChatTextSize"},
        {m_thinPenOnColorBox, "chkColorChangeWidth"},
        {m_autoSaveBox, "chkAutoSavePicture"},
        {m_soundBox, "chkSoundEffect"},
        {m_okButton, "cmdOk"},
        {m_cancelButton, "cmdCancel"},
    };
    for (const auto &[widget, name] : parts)
        widget->setObjectName(QLatin1String(name));
    for (int i = 0; i < 3; ++i)
        m_cursorButtons[i]->setObjectName(QStringLiteral("optMousePointer%1").arg(i));
    connect(m_okButton, &QPushButton::clicked, this, &OptionsDialog::acceptOptions);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    prepare();
}

void OptionsDialog::showEvent(QShowEvent *event)
{
    // Opening the dialog again shows the values as they are now, not the last edits.
    if (!event->spontaneous()) prepare();
    QDialog::showEvent(event);
}

void OptionsDialog::prepare()
{
    if (!m_settings) return;
    m_lobbyAutoConnectBox->setChecked(m_settings->lobbyAutoConnect == 1);
    m_lobbyAutoNameBox->setChecked(m_settings->lobbyAutoName == 1);
    m_questionWindowBox->setChecked(m_settings->questionWindow == 1);
    m_largeChatBox->setChecked(m_settings->chatTextSize == 1);
    m_thinPenOnColorBox->setChecked(m_settings->colorChangeWidth == 1);
    m_autoSaveBox->setChecked(m_settings->autoSavePicture == 1);
    m_soundBox->setChecked(m_settings->soundEffect == 1);
    // A stored value outside 0-2 selects no button; OK then stores the pen (2).
    // An exclusive group cannot clear its last choice, hence the switch around it.
    m_cursorGroup->setExclusive(false);
    for (int i = 0; i < 3; ++i)
        m_cursorButtons[i]->setChecked(m_settings->mousePointer == i);
    m_cursorGroup->setExclusive(true);
    m_lobbyAddressEdit->setText(m_settings->lobbyServerAddress);
    m_shownLobbyAddress = m_lobbyAddressEdit->text();
}

bool OptionsDialog::takeLobbyAddress(QString &address)
{
    const QString text = m_lobbyAddressEdit->text().trimmed();
    if (text.isEmpty()) {
        address.clear();
        return true;
    }
    HostPortRules rules;
    rules.portOptional = true;
    rules.defaultPort = DefaultLobbyPort;
    rules.strict = true;
    const HostPort parsed = parseHostPort(text, rules);
    if (parsed.ok) {
        address = hostPortText(parsed.host, parsed.port);
        return true;
    }
    // Shown window-modal without a nested event loop; the dialog stays open.
    auto *box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), msg::BadLobbyAddress, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

void OptionsDialog::acceptOptions()
{
    // Only an edited box is read: a stored value the box would refuse (set by
    // hand in the file) stays as it is.
    const bool lobbyEdited = m_lobbyAddressEdit->text() != m_shownLobbyAddress;
    QString lobbyAddress;
    if (lobbyEdited && !takeLobbyAddress(lobbyAddress)) return;
    if (m_settings) {
        m_settings->chatTextSize = m_largeChatBox->isChecked() ? 1 : 0;
        m_settings->autoSavePicture = m_autoSaveBox->isChecked() ? 1 : 0;
        m_settings->colorChangeWidth = m_thinPenOnColorBox->isChecked() ? 1 : 0;
        m_settings->questionWindow = m_questionWindowBox->isChecked() ? 1 : 0;
        m_settings->lobbyAutoConnect = m_lobbyAutoConnectBox->isChecked() ? 1 : 0;
        m_settings->lobbyAutoName = m_lobbyAutoNameBox->isChecked() ? 1 : 0;
        m_settings->soundEffect = m_soundBox->isChecked() ? 1 : 0;
        if (m_cursorButtons[0]->isChecked())
            m_settings->mousePointer = 0;
        else if (m_cursorButtons[1]->isChecked())
            m_settings->mousePointer = 1;
        else
            m_settings->mousePointer = 2;
        m_settings->save();
        // Written only when changed: a player who never touches the box leaves
        // the store as it was (the server console may have set the address).
        if (lobbyEdited && lobbyAddress != m_settings->lobbyServerAddress) {
            m_settings->lobbyServerAddress = lobbyAddress;
            m_settings->saveLobbyServerAddress();
        }
    }
    emit settingsApplied();
    accept();
}

} // namespace zb
