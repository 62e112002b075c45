#include "optionsdialog.h"

#include "client/core/messages.h"
#include "hostport.h"
#include "joinlink.h"
#include "version.h"

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
    chkLobbyAutoConnect = new QCheckBox(msg::LobbyAutoConnect, frameSettings);
    chkLobbyAutoName = new QCheckBox(msg::LobbyAutoName, frameSettings);
    chkQuestionWindow = new QCheckBox(msg::QuestionInOwnWindow, frameSettings);
    chkChatTextSize = new QCheckBox(msg::LargeChatText, frameSettings);
    chkColorChangeWidth = new QCheckBox(msg::ThinPenOnColor, frameSettings);
    chkAutoSavePicture = new QCheckBox(msg::AutoSavePicture, frameSettings);
    chkSoundEffect = new QCheckBox(msg::SoundEffects, frameSettings);
    auto *settingsLayout = new QVBoxLayout(frameSettings);
    for (QCheckBox *box : {chkLobbyAutoConnect, chkLobbyAutoName, chkQuestionWindow, chkChatTextSize,
                           chkColorChangeWidth, chkAutoSavePicture, chkSoundEffect})
        settingsLayout->addWidget(box);

    auto *frameCursor = new QGroupBox(msg::Cursor, this);
    auto *cursorLayout = new QHBoxLayout(frameCursor);
    m_cursorGroup = new QButtonGroup(this);
    const QString captions[3] = {msg::StandardCursor, msg::CrossCursor, msg::PenCursor};
    for (int i = 0; i < 3; ++i) {
        optMousePointer[i] = new QRadioButton(captions[i], frameCursor);
        m_cursorGroup->addButton(optMousePointer[i], i);
        cursorLayout->addWidget(optMousePointer[i]);
    }

    auto *frameLobby = new QGroupBox(msg::LobbyServer, this);
    lobbyAddressEdit = new QLineEdit(frameLobby);
    lobbyAddressEdit->setObjectName(QStringLiteral("lobbyAddressEdit"));
    lobbyAddressEdit->setPlaceholderText(QString::fromLatin1(DefaultLobbyAddress));
    auto *lobbyHelp = new QLabel(msg::LobbyAddressHelp, frameLobby);
    lobbyHelp->setWordWrap(true);
    auto *lobbyLayout = new QVBoxLayout(frameLobby);
    lobbyLayout->addWidget(lobbyAddressEdit);
    lobbyLayout->addWidget(lobbyHelp);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setDefault(true);
    cmdCancel = new QPushButton(msg::Cancel, this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameSettings);
    layout->addWidget(frameCursor);
    layout->addWidget(frameLobby);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Named as the players' manual names them; tests and tools find them so.
    const std::pair<QWidget *, const char *> parts[] = {
        {chkLobbyAutoConnect, "chkLobbyAutoConnect"},
        {chkLobbyAutoName, "chkLobbyAutoName"},
        {chkQuestionWindow, "chkQuestionWindow"},
        {chkChatTextSize, "chkChatTextSize"},
        {chkColorChangeWidth, "chkColorChangeWidth"},
        {chkAutoSavePicture, "chkAutoSavePicture"},
        {chkSoundEffect, "chkSoundEffect"},
        {cmdOk, "cmdOk"},
        {cmdCancel, "cmdCancel"},
    };
    for (const auto &[widget, name] : parts)
        widget->setObjectName(QLatin1String(name));
    for (int i = 0; i < 3; ++i)
        optMousePointer[i]->setObjectName(QStringLiteral("optMousePointer%1").arg(i));
    connect(cmdOk, &QPushButton::clicked, this, &OptionsDialog::acceptOptions);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
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
    chkLobbyAutoConnect->setChecked(m_settings->lobbyAutoConnect == 1);
    chkLobbyAutoName->setChecked(m_settings->lobbyAutoName == 1);
    chkQuestionWindow->setChecked(m_settings->questionWindow == 1);
    chkChatTextSize->setChecked(m_settings->chatTextSize == 1);
    chkColorChangeWidth->setChecked(m_settings->colorChangeWidth == 1);
    chkAutoSavePicture->setChecked(m_settings->autoSavePicture == 1);
    chkSoundEffect->setChecked(m_settings->soundEffect == 1);
    // A stored value outside 0-2 selects no button; OK then stores the pen (2).
    // An exclusive group cannot clear its last choice, hence the switch around it.
    m_cursorGroup->setExclusive(false);
    for (int i = 0; i < 3; ++i)
        optMousePointer[i]->setChecked(m_settings->mousePointer == i);
    m_cursorGroup->setExclusive(true);
    lobbyAddressEdit->setText(m_settings->lobbyServerAddress);
    m_shownLobbyAddress = lobbyAddressEdit->text();
}

bool OptionsDialog::takeLobbyAddress(QString &address)
{
    const QString text = lobbyAddressEdit->text().trimmed();
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
    const bool lobbyEdited = lobbyAddressEdit->text() != m_shownLobbyAddress;
    QString lobbyAddress;
    if (lobbyEdited && !takeLobbyAddress(lobbyAddress)) return;
    if (m_settings) {
        m_settings->chatTextSize = chkChatTextSize->isChecked() ? 1 : 0;
        m_settings->autoSavePicture = chkAutoSavePicture->isChecked() ? 1 : 0;
        m_settings->colorChangeWidth = chkColorChangeWidth->isChecked() ? 1 : 0;
        m_settings->questionWindow = chkQuestionWindow->isChecked() ? 1 : 0;
        m_settings->lobbyAutoConnect = chkLobbyAutoConnect->isChecked() ? 1 : 0;
        m_settings->lobbyAutoName = chkLobbyAutoName->isChecked() ? 1 : 0;
        m_settings->soundEffect = chkSoundEffect->isChecked() ? 1 : 0;
        if (optMousePointer[0]->isChecked())
            m_settings->mousePointer = 0;
        else if (optMousePointer[1]->isChecked())
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
