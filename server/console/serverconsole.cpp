#include "server/console/serverconsole.h"

#include "desktop/logview.h"
#include "server/console/addresspanel.h"
#include "server/console/canvasmirror.h"
#include "server/console/dictionarychoice.h"
#include "server/console/hostboxes.h"
#include "server/console/laststandings.h"
#include "server/console/leftcolumn.h"
#include "server/console/mirrorpane.h"
#include "server/console/panelstack.h"
#include "server/console/playerpanel.h"
#include "server/console/receivelamps.h"
#include "server/console/runningpanel.h"
#include "server/console/settingsarea.h"
#include "server/console/statusstrip.h"
#include "server/core/gameserver.h"
#include "server/core/linerelay.h"
#include "server/core/roundengine.h"
#include "server/texts/messages.h"
#include "shared/hostport.h"
#include "shared/settingsstore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSplitter>
#include <QVBoxLayout>

namespace zb {

const QString ServerConsole::NotStartedTitle = QStringLiteral("zbserver");

namespace {
const QString LobbyAddressKey = QStringLiteral("LobbyServerAddress");
constexpr int LeftColumnWidth = 420;
// The log gives up height to the mirror, down to a few lines.
constexpr int LogMinHeight = 150;
constexpr int LogMinHeightBesideMirror = 72;
} // namespace

ServerConsole::ServerConsole(GameServer *server, QWidget *parent)
    : QWidget(parent), m_server(server), m_boxes(this, NotStartedTitle)
{
    setObjectName(QStringLiteral("frmServer"));
    setWindowTitle(NotStartedTitle);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSizeF(9.5);
    setFont(font);
    // Message boxes are windows of their own; they should speak the same font.
    setAttribute(Qt::WA_WindowPropagation);

    m_settingsArea = new SettingsArea(this);
    m_runningPanel = new RunningPanel(this);
    m_leftPages = new PanelStack(this);
    m_leftPages->addPanel(m_settingsArea);
    m_leftPages->addPanel(m_runningPanel);

    m_statusStrip = new StatusStrip(this);
    m_seats = new PlayerPanel(this);
    m_lastStandings = new LastStandings(this);
    m_log = new LogView(this);
    m_log->setObjectName(QStringLiteral("txtState"));
    // The log takes whatever room the window is given beyond its first size.
    m_log->setMinimumHeight(LogMinHeight);
    m_announceInput = new QLineEdit(this);
    m_announceInput->setObjectName(QStringLiteral("txtSend"));
    m_announceInput->setPlaceholderText(msg::AnnounceHint);
    m_showPictureBox = new QCheckBox(msg::ShowPicture, this);
    m_showPictureBox->setObjectName(QStringLiteral("chkPictureView"));

    auto *right = new QVBoxLayout;
    right->addWidget(m_statusStrip);
    right->addWidget(m_seats);
    right->addWidget(m_lastStandings);
    right->addWidget(m_log, 1);
    auto *sendRow = new QHBoxLayout;
    sendRow->addWidget(m_announceInput, 1);
    sendRow->addWidget(m_showPictureBox);
    right->addLayout(sendRow);
    right->setContentsMargins(0, 0, 0, 0);

    m_addressPanel = new AddressPanel(this);
    auto *leftBox = new QWidget(this);
    auto *left = new QVBoxLayout(leftBox);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_leftPages, 1);
    left->addWidget(m_addressPanel);
    m_leftColumn = new LeftColumn(leftBox, this);
    m_leftColumn->setFixedWidth(LeftColumnWidth);

    auto *topPart = new QWidget(this);
    auto *top = new QHBoxLayout(topPart);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_leftColumn);
    top->addLayout(right, 1);

    // The host may move the border between the log and the mirror.
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(topPart);
    m_mirrorPane = new MirrorPane(split, this);
    split->addWidget(m_mirrorPane);
    // A larger window gives the log the room; the mirror keeps its size.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    m_mirrorPane->setVisible(false);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    // Never smaller than everything shown needs.
    outer->setSizeConstraint(QLayout::SetMinimumSize);
    outer->addWidget(split);

    connect(m_settingsArea, &SettingsArea::startRequested, this, &ServerConsole::startOrApply);
    m_dictionaryChoice =
        new DictionaryChoice(m_server->dictionaries(), m_server->log(), m_settingsArea->dictionaries(), this);
    connect(m_dictionaryChoice, &DictionaryChoice::refused, this,
            [this](const QStringList &texts) { m_boxes.tell(texts); });
    connect(m_runningPanel, &RunningPanel::changeRequested, this, &ServerConsole::openSettings);
    connect(m_seats, &PlayerPanel::kickClicked, this, &ServerConsole::askToKick);
    connect(m_announceInput, &QLineEdit::returnPressed, this, &ServerConsole::onAnnouncementReturn);
    connect(m_showPictureBox, &QCheckBox::clicked, this,
            [this] { m_mirrorPane->setMirrorShown(m_showPictureBox->isChecked()); });
    connect(m_mirrorPane, &MirrorPane::makingRoom, this, [this](bool on) {
        m_leftColumn->setScrolling(on);
        m_log->setMinimumHeight(on ? LogMinHeightBesideMirror : LogMinHeight);
    });
    connect(m_statusStrip, &StatusStrip::lobbyRetryRequested, this,
            [this] { m_server->lobby().shortenWait(); });

    connectServer();
}

void ServerConsole::connectServer()
{
    GameServer *s = m_server;
    connect(&s->log(), &RoomLog::line, m_log, &LogView::appendLine);
    connect(s, &GameServer::playersChanged, this, &ServerConsole::refreshPlayers);
    connect(s, &GameServer::captionChanged, this, &QWidget::setWindowTitle);
    connect(&s->relay(), &LineRelay::strokeRelayed, this, [this](const QByteArray &payload) {
        // Strokes while the mirror is hidden are not kept: it shows what is drawn from then on.
        if (m_showPictureBox->isChecked()) m_mirrorPane->mirror()->drawStroke(payload);
    });
    connect(&s->relay(), &LineRelay::fillRelayed, this, [this](int index) {
        if (m_showPictureBox->isChecked()) m_mirrorPane->mirror()->fill(index);
    });
    connect(&s->round(), &RoundEngine::screenCleared, m_mirrorPane->mirror(), &CanvasMirror::fill);
    connect(&s->relay(), &LineRelay::dataArrived, &m_seats->lamps(), &ReceiveLamps::light);
    m_seats->lamps().setInterval(s->config().tickMs() / 20);
    connect(&s->lobby(), &LobbyLink::reachabilityChanged, m_addressPanel, &AddressPanel::showReachability);
    m_lastStandings->follow(s->round());

    // The log lines of the start-up are part of the log the host reads.
    m_log->appendLine(s->log().text());
    s->prepare();
    const ServerSettings start = s->config().load();
    m_settingsArea->showSettings(start);
    const QString lobbyOverride = s->config().lobbyOverride();
    m_settingsArea->showLobbyAddress(lobbyOverride.isEmpty() ? SettingsStore::read(LobbyAddressKey).trimmed()
                                                             : lobbyOverride,
                                     !lobbyOverride.isEmpty());
    m_dictionaryChoice->tickNamed(start.tickedDictionaries);
    m_dictionaryChoice->refresh();
    refreshPlayers();
    m_statusStrip->follow(s->round(), s->lobby());
    // The caption shows port and counts from the start, before the server runs too.
    setWindowTitle(s->captionText());
}

void ServerConsole::refreshPlayers()
{
    for (int i = 0; i < PlayerPanel::Slots; ++i) {
        // A seat without a connection reads as free rather than as a nameless score.
        const bool free = !m_server->seats().busy(i) && m_server->seats().name(i).isEmpty();
        m_seats->setPlayer(i, free ? msg::FreeSeat : m_server->seats().label(i),
                           m_server->seats().addressText(i));
    }
    m_seats->setHighlight(m_server->round().highlightedSlot());
    m_runningPanel->showPlayerCount(m_server->seats().playerCount(), m_server->settings().playerMax());
}

bool ServerConsole::storeLobbyAddress()
{
    if (!m_server->config().lobbyOverride().isEmpty()) return true;
    const QString typed = m_settingsArea->lobbyAddress();
    if (!typed.isEmpty() && !parseHostPort(typed).ok) {
        m_settingsArea->showLobbyAddressBox();
        m_boxes.tell({msg::badLobbyAddress(typed)});
        return false;
    }
    const QString stored = SettingsStore::read(LobbyAddressKey);
    // Written only when changed: a host who never touches the box keeps the store as it was.
    if (typed != stored.trimmed()) {
        m_lobbyAddressBefore = stored;
        SettingsStore::write(LobbyAddressKey, typed);
    }
    return true;
}

void ServerConsole::setPortMapOptions(const PortMapConfig &options)
{
    m_addressPanel->setOptions(options);
}

void ServerConsole::startOrApply()
{
    const bool wasStarted = (m_server->listeningPort() != 0);
    const ServerSettings chosen = m_settingsArea->settings();
    // The room reads the lobby's address from the store as it starts.
    if (!wasStarted && !storeLobbyAddress()) return;
    const GameServer::StartResult result = m_server->startOrApply(chosen);
    // A press that did not start saves nothing, the lobby's address included.
    if (m_lobbyAddressBefore && result != GameServer::StartResult::Started)
        SettingsStore::write(LobbyAddressKey, *m_lobbyAddressBefore);
    m_lobbyAddressBefore.reset();
    switch (result) {
    case GameServer::StartResult::NoWords:
        m_boxes.tell({msg::NothingLoaded});
        break;
    case GameServer::StartResult::PortRefused:
        m_boxes.tell({m_server->startError() + msg::PortRefusedAdvice});
        m_settingsArea->showPanel(1);
        break;
    case GameServer::StartResult::Started:
    case GameServer::StartResult::Reapplied:
        if (!wasStarted) {
            // Show the texts as the server took them: cleaned, defaults filled in.
            m_settingsArea->showSettings(m_server->settings());
            m_settingsArea->setRunning(true);
            m_addressPanel->serverStarted(m_server->listeningPort(), m_server->config().browserPlay());
        }
        m_dictionaryChoice->refresh();
        m_runningPanel->showSettings(m_server->settings(), m_server->dictionaries().dictionaryList());
        m_leftPages->setCurrent(m_runningPanel);
        setWindowTitle(m_server->captionText());
        break;
    }
}

void ServerConsole::openSettings()
{
    m_leftPages->setCurrent(m_settingsArea);
}

void ServerConsole::askToKick(int slot)
{
    const QString name = m_server->seats().name(slot);
    const QString address = m_server->seats().addressText(slot);
    // A free seat has nobody to kick.
    if (name.isEmpty() && address.isEmpty()) return;
    const QString who = name.isEmpty() ? msg::unnamedConnection(address) : name;
    m_boxes.ask(msg::kickQuestion(who), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                [this, slot, name, address](int button) {
                    if (button != QMessageBox::Yes && button != QMessageBox::No) return;
                    // The question waited for the host: the seat may hold somebody else by now.
                    if (m_server->seats().name(slot) != name ||
                        m_server->seats().addressText(slot) != address)
                        return;
                    m_server->kick(slot, button == QMessageBox::Yes);
                });
}

void ServerConsole::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_mirrorPane->windowResized();
}

void ServerConsole::onAnnouncementReturn()
{
    const QString text = m_announceInput->text();
    if (text.isEmpty()) return;
    m_server->announce(text);
    m_announceInput->clear();
}

void ServerConsole::closeEvent(QCloseEvent *event)
{
    // While the lobby connection is being made the window stays, without a word.
    if (m_server->lobby().connecting()) {
        event->ignore();
        return;
    }
    if (m_closeConfirmed || (m_server->seats().playerCount() == 0)) {
        event->accept();
        return;
    }
    event->ignore();
    m_boxes.ask(msg::CloseQuestion, QMessageBox::Ok | QMessageBox::Cancel, [this](int button) {
        if (button != QMessageBox::Ok) return;
        m_closeConfirmed = true;
        close();
    });
}

} // namespace zb
