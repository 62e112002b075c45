#include "server/console/settingsarea.h"

#include "server/console/dictionarypanel.h"
#include "server/console/gamepanel.h"
#include "server/console/panelstack.h"
#include "server/console/panelstyle.h"
#include "server/console/serverpanel.h"
#include "server/texts/messages.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zb {

SettingsArea::SettingsArea(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("picSetting"));
    setFrameShape(QFrame::StyledPanel);
    paintAsPanel(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto *switchRow = new QHBoxLayout;
    m_panelGroup = new QButtonGroup(this);
    const QStringList panelNames = {msg::DictionarySettingsCaption, msg::ServerSettingsCaption,
                                    msg::GameSettingsCaption};
    for (int k = 0; k < 3; ++k) {
        auto *button = new QRadioButton(panelNames[k], this);
        button->setObjectName(QStringLiteral("optServer%1").arg(k));
        m_panelGroup->addButton(button, k);
        switchRow->addWidget(button);
    }
    switchRow->addStretch();
    layout->addLayout(switchRow);

    m_panels = new PanelStack(this);
    m_dictionaryPanel = new DictionaryPanel(this);
    m_serverPanel = new ServerPanel(this);
    m_gamePanel = new GamePanel(this);
    m_panels->addPanel(m_dictionaryPanel);
    m_panels->addPanel(m_serverPanel);
    m_panels->addPanel(m_gamePanel);
    layout->addWidget(m_panels, 1);

    m_startButton = new QPushButton(msg::StartServerCaption, this);
    m_startButton->setObjectName(QStringLiteral("cmdStartServer"));
    m_startButton->setMinimumHeight(38);
    QFont bold = m_startButton->font();
    bold.setBold(true);
    m_startButton->setFont(bold);
    layout->addWidget(m_startButton);

    connect(m_panelGroup, &QButtonGroup::idClicked, this, &SettingsArea::showPanel);
    connect(m_startButton, &QPushButton::clicked, this, &SettingsArea::startRequested);
    m_panelGroup->button(0)->setChecked(true);
    showPanel(0);
}

void SettingsArea::showPanel(int k)
{
    if (k < 0 || k > 2) return;
    if (!m_panelGroup->button(k)->isChecked()) m_panelGroup->button(k)->setChecked(true);
    m_panels->setCurrent(k == 1   ? static_cast<QWidget *>(m_serverPanel)
                         : k == 2 ? static_cast<QWidget *>(m_gamePanel)
                                  : static_cast<QWidget *>(m_dictionaryPanel));
}

ServerSettings SettingsArea::settings() const
{
    ServerSettings s;
    m_serverPanel->fillSettings(s);
    m_gamePanel->fillSettings(s);
    s.dictionaryMode = m_dictionaryPanel->mode();
    s.tickedDictionaries = m_dictionaryPanel->tickedEntries();
    return s;
}

void SettingsArea::showSettings(const ServerSettings &s)
{
    m_serverPanel->showSettings(s);
    m_gamePanel->showSettings(s);
    m_dictionaryPanel->setMode(s.dictionaryMode);
}

QString SettingsArea::lobbyAddress() const
{
    return m_serverPanel->lobbyAddress();
}

void SettingsArea::showLobbyAddress(const QString &address, bool locked)
{
    m_serverPanel->showLobbyAddress(address, locked);
}

void SettingsArea::showLobbyAddressBox()
{
    showPanel(1);
    m_serverPanel->focusLobbyAddress();
}

void SettingsArea::setRunning(bool running)
{
    m_startButton->setText(running ? msg::ReloadCaption : msg::StartServerCaption);
    showPanel(0);
    m_panelGroup->button(1)->setEnabled(!running);
    m_serverPanel->setRunning(running);
}

} // namespace zb
