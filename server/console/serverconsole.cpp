#include "serverconsole.h"

#include "addresspanel.h"
#include "canvasmirror.h"
#include "gameserver.h"
#include "hostport.h"
#include "laststandings.h"
#include "logview.h"
#include "panelstack.h"
#include "playerpanel.h"
#include "receivelamps.h"
#include "roundengine.h"
#include "runningpanel.h"
#include "server/core/messages.h"
#include "settingsarea.h"
#include "settingsstore.h"
#include "textclean.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

namespace zb {

const QString ServerConsole::NotStartedTitle = QStringLiteral("zbserver");

namespace {
const QString LobbyStatusCaption = msg::LobbyStatusCaption;
const QString LobbyAddressKey = QStringLiteral("LobbyServerAddress");
constexpr int LeftColumnWidth = 420;
// The log gives up height to the mirror, down to a few lines.
constexpr int LogMinHeight = 150;
constexpr int LogMinHeightBesideMirror = 72;
// What the left column keeps while it scrolls beside the mirror.
constexpr int ScrolledColumnHeight = 120;
} // namespace

// The settings, or what the room runs with, above the room's address. The
// window is never smaller than all of it, except while the mirror is shown:
// then the column scrolls so that a laptop's screen has room for the picture.
class ServerConsole::LeftColumn : public QScrollArea {
  public:
    explicit LeftColumn(QWidget *content, QWidget *parent) : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidget(content);
    }
    void setScrolling(bool on)
    {
        m_scrolling = on;
        updateGeometry();
    }
    QSize minimumSizeHint() const override
    {
        return {widget()->minimumSizeHint().width(),
                m_scrolling ? ScrolledColumnHeight : contentHeight(maximumWidth())};
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

  protected:
    bool viewportEvent(QEvent *event) override
    {
        // The content takes the viewport's width and at least the height it
        // needs there (word-wrapped notes grow as the width shrinks).
        if (event->type() == QEvent::Resize) {
            const int width = viewport()->width();
            widget()->resize(width, qMax(viewport()->height(), contentHeight(width)));
        }
        return QScrollArea::viewportEvent(event);
    }

  private:
    int contentHeight(int width) const
    {
        const QLayout *layout = widget()->layout();
        return layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                           : layout->totalMinimumSize().height();
    }

    bool m_scrolling = false;
};

ServerConsole::ServerConsole(GameServer *server, QWidget *parent) : QWidget(parent), m_server(server)
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
    right->addWidget(buildStatusStrip());
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

    m_topPart = new QWidget(this);
    auto *top = new QHBoxLayout(m_topPart);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_leftColumn);
    top->addLayout(right, 1);

    // The host may move the border between the log and the mirror.
    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_topPart);
    m_split->addWidget(buildMirror());
    // A larger window gives the log the room; the mirror keeps its size.
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 0);
    m_mirrorFrame->setVisible(false);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    // Never smaller than everything shown needs.
    outer->setSizeConstraint(QLayout::SetMinimumSize);
    outer->addWidget(m_split);

    connect(m_settingsArea, &SettingsArea::startRequested, this, &ServerConsole::startOrApply);
    connect(m_settingsArea, &SettingsArea::rescanRequested, this, &ServerConsole::rescanDictionaries);
    connect(m_settingsArea, &SettingsArea::entryToggled, this, &ServerConsole::onDictionaryTicked);
    // A pool used up mid-game is rebuilt from the mode chosen now, not at the last start.
    connect(m_settingsArea, &SettingsArea::modeChosen, this,
            [this](int mode) { m_server->dictionaries().setMode(mode); });
    connect(m_runningPanel, &RunningPanel::changeRequested, this, &ServerConsole::openSettings);
    connect(m_seats, &PlayerPanel::kickClicked, this, &ServerConsole::askToKick);
    connect(m_announceInput, &QLineEdit::returnPressed, this, &ServerConsole::onAnnouncementReturn);
    connect(m_showPictureBox, &QCheckBox::clicked, this, &ServerConsole::onMirrorToggled);
    m_lobbyStatusLabel->installEventFilter(this);

    connectServer();
}

QWidget *ServerConsole::buildStatusStrip()
{
    auto *strip = new QFrame(this);
    strip->setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(8, 4, 8, 4);

    row->addWidget(new QLabel(msg::TimeLeftCaption, strip));
    m_clockLabel = new QLabel(QStringLiteral("-1"), strip);
    m_clockLabel->setTextFormat(Qt::PlainText);
    m_clockLabel->setObjectName(QStringLiteral("lblTimeLimit"));
    m_clockLabel->setMinimumWidth(36);
    QFont clockFont = m_clockLabel->font();
    clockFont.setPointSizeF(clockFont.pointSizeF() * 1.5);
    clockFont.setBold(true);
    m_clockLabel->setFont(clockFont);
    row->addWidget(m_clockLabel);
    row->addSpacing(12);

    m_questionLabel = new QLabel(msg::QuestionCaption, strip);
    // Words come from dictionary files: text, not markup.
    m_questionLabel->setTextFormat(Qt::PlainText);
    m_questionLabel->setObjectName(QStringLiteral("lblQuestion"));
    m_questionLabel->setFont(clockFont);
    m_questionLabel->setFrameShape(QFrame::Panel);
    m_questionLabel->setFrameShadow(QFrame::Sunken);
    m_questionLabel->setAutoFillBackground(true);
    m_questionLabel->setBackgroundRole(QPalette::Base);
    m_questionLabel->setContentsMargins(8, 0, 8, 0);
    m_questionLabel->setMinimumWidth(160);
    m_questionLabel->setFixedHeight(36);
    row->addWidget(m_questionLabel, 1);
    row->addSpacing(12);

    m_lobbyStatusLabel = new QLabel(LobbyStatusCaption, strip);
    m_lobbyStatusLabel->setTextFormat(Qt::PlainText);
    m_lobbyStatusLabel->setObjectName(QStringLiteral("lblLobbyStatus"));
    m_lobbyStatusLabel->setToolTip(msg::LobbyStatusTip);
    m_lobbyStatusLabel->setMinimumWidth(190);
    m_lobbyStatusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_lobbyStatusLabel);
    strip->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return strip;
}

QWidget *ServerConsole::buildMirror()
{
    m_mirrorFrame = new QFrame(this);
    m_mirrorFrame->setObjectName(QStringLiteral("picBack"));
    m_mirrorFrame->setAutoFillBackground(true);
    QPalette grey = m_mirrorFrame->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    m_mirrorFrame->setPalette(grey);

    auto *row = new QHBoxLayout(m_mirrorFrame);
    row->setContentsMargins(10, 10, 10, 10);
    auto *palette = new QVBoxLayout;
    palette->setSpacing(4);
    for (int i = 0; i < PaletteSize; ++i) {
        auto *swatch = new QLabel(m_mirrorFrame);
        swatch->setObjectName(QStringLiteral("lblColor%1").arg(i));
        // Shorter with a smaller picture, so that all nine stay beside it.
        swatch->setFixedWidth(28);
        swatch->setMinimumHeight(10);
        swatch->setMaximumHeight(28);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        QPalette pal = swatch->palette();
        pal.setColor(QPalette::Window, colorFromValue(PaletteValues[i]));
        swatch->setPalette(pal);
        palette->addWidget(swatch);
    }
    palette->addStretch();
    row->addStretch();
    row->addLayout(palette);
    row->addSpacing(10);
    m_mirror = new CanvasMirror(m_mirrorFrame);
    row->addWidget(m_mirror, 1);
    row->addStretch();
    return m_mirrorFrame;
}

void ServerConsole::connectServer()
{
    GameServer *s = m_server;
    connect(&s->log(), &RoomLog::line, m_log, &LogView::appendLine);
    connect(s, &GameServer::playersChanged, this, &ServerConsole::refreshPlayers);
    connect(&s->round(), &RoundEngine::clockChanged, this,
            [this](int t) { m_clockLabel->setText(QString::number(t)); });
    connect(&s->round(), &RoundEngine::questionLabelChanged, this,
            [this](const QString &text) { m_questionLabel->setText(removeControlChars(text)); });
    connect(s, &GameServer::captionChanged, this, &QWidget::setWindowTitle);
    connect(s, &GameServer::strokeReceived, this, [this](const QByteArray &payload) {
        // Strokes while the mirror is hidden are not kept: it shows what is drawn from then on.
        if (m_showPictureBox->isChecked()) m_mirror->drawStroke(payload);
    });
    connect(s, &GameServer::fillReceived, this, [this](int index) {
        if (m_showPictureBox->isChecked()) m_mirror->fill(index);
    });
    connect(&s->round(), &RoundEngine::screenCleared, m_mirror, &CanvasMirror::fill);
    connect(s, &GameServer::dataArrived, &m_seats->lamps(), &ReceiveLamps::light);
    m_seats->lamps().setInterval(s->tickMs() / 20);
    connect(&s->lobby(), &LobbyLink::statusTextChanged, this, &ServerConsole::setLobbyStatus);
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
    tickDictionaries(start.tickedDictionaries);
    refreshDictionaryList();
    refreshPlayers();
    m_clockLabel->setText(QString::number(s->round().timeLeft()));
    m_questionLabel->setText(removeControlChars(s->round().questionLabel()));
    setLobbyStatus(s->lobby().statusText());
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

void ServerConsole::refreshDictionaryList()
{
    const QuestionBank &bank = m_server->dictionaries();
    m_settingsArea->setEntries(bank.entries());
    for (const QString &entry : bank.entries()) {
        const QuestionBank::File file = bank.readEntry(entry);
        m_settingsArea->setEntryWords(entry, file.wordCount(), file.utf8);
    }
    for (const QString &entry : bank.tickedEntries())
        m_settingsArea->setEntryTicked(entry, true);
}

void ServerConsole::tickDictionaries(const QStringList &entries)
{
    // Named on the command line: ticked as the host would tick them, with
    // what goes wrong in the log, as a headless run reports it.
    const QuestionBank &bank = m_server->dictionaries();
    for (const QString &entry : entries) {
        const QString title = msg::dictionaryTitle(entry);
        QStringList failures;
        if (!bank.entries().contains(entry))
            m_server->log().system(msg::dictionaryMissing(entry));
        else if (!m_server->dictionaries().setTicked(entry, true, &failures))
            for (const QString &failure : failures) {
                m_server->log().system(title);
                for (const QString &line : failure.split(QStringLiteral("\r\n")))
                    m_server->log().system(line);
            }
    }
}

void ServerConsole::setLobbyStatus(const QString &text)
{
    m_lobbyStatusLabel->setText(text.isEmpty() ? LobbyStatusCaption : text);
}

bool ServerConsole::storeLobbyAddress()
{
    if (!m_server->config().lobbyOverride().isEmpty()) return true;
    const QString typed = m_settingsArea->lobbyAddress();
    if (!typed.isEmpty() && !parseHostPort(typed).ok) {
        m_settingsArea->showLobbyAddressBox();
        tell({msg::badLobbyAddress(typed)});
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
        tell({msg::NothingLoaded});
        break;
    case GameServer::StartResult::PortRefused:
        tell({m_server->startError() + msg::PortRefusedAdvice});
        m_settingsArea->showPanel(1);
        break;
    case GameServer::StartResult::Started:
    case GameServer::StartResult::Reapplied:
        if (!wasStarted) {
            // Show the texts as the server took them: cleaned, defaults filled in.
            m_settingsArea->showSettings(m_server->settings());
            m_settingsArea->setRunning(true);
            m_addressPanel->serverStarted(m_server->listeningPort(), m_server->config().webPlayer());
        }
        refreshDictionaryList();
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

void ServerConsole::rescanDictionaries()
{
    m_server->dictionaries().rescan();
    refreshDictionaryList();
}

void ServerConsole::onDictionaryTicked(const QString &entry, bool ticked)
{
    QStringList failures;
    if (m_server->dictionaries().setTicked(entry, ticked, &failures)) return;
    m_settingsArea->setEntryTicked(entry, false);
    // Each box says which file it is about.
    for (QString &failure : failures)
        failure.prepend(msg::dictionaryTitle(entry) + QStringLiteral("\r\n"));
    tell(failures);
}

void ServerConsole::askToKick(int slot)
{
    const QString name = m_server->seats().name(slot);
    const QString address = m_server->seats().addressText(slot);
    // A free seat has nobody to kick.
    if (name.isEmpty() && address.isEmpty()) return;
    const QString who = name.isEmpty() ? msg::unnamedConnection(address) : name;
    ask(msg::kickQuestion(who), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
        [this, slot, name, address](int button) {
            if (button != QMessageBox::Yes && button != QMessageBox::No) return;
            // The question waited for the host: the seat may hold somebody else by now.
            if (m_server->seats().name(slot) != name || m_server->seats().addressText(slot) != address)
                return;
            m_server->kick(slot, button == QMessageBox::Yes);
        });
}

void ServerConsole::onMirrorToggled()
{
    const bool show = m_showPictureBox->isChecked();
    if (show == !m_mirrorFrame->isHidden()) return;
    const bool sized = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (!show) {
        // Hiding gives the mirror's height back instead of handing it to the log.
        const int mirrorHeight = m_mirrorFrame->height() + m_split->handleWidth();
        m_mirrorFrame->setVisible(false);
        m_leftColumn->setScrolling(false);
        m_log->setMinimumHeight(LogMinHeight);
        layout()->activate();
        if (sized) resize(width(), qMax(height() - mirrorHeight, qMin(m_heightBeforeMirror, height())));
        return;
    }
    m_heightBeforeMirror = height();
    m_leftColumn->setScrolling(true);
    m_log->setMinimumHeight(LogMinHeightBesideMirror);
    m_mirrorFrame->setVisible(true);
    layout()->activate();
    int target = height();
    if (sized) {
        // Grown by the picture's height, but never past the bottom of the screen.
        const QRect room = screen()->availableGeometry();
        const int frame = frameGeometry().height() - height();
        const int wanted = height() + m_mirrorFrame->sizeHint().height() + m_split->handleWidth();
        target = qMax(minimumHeight(), qMin(wanted, room.height() - frame));
        if (frameGeometry().top() + frame + target > room.bottom() + 1)
            move(x(), qMax(room.top(), room.bottom() + 1 - frame - target));
        resize(width(), target);
    }
    fitMirror();
    // The window manager may settle the size later: share it out again then.
    m_fitMirror = height() != target;
}

void ServerConsole::fitMirror()
{
    if (m_mirrorFrame->isHidden()) return;
    // The picture takes what it can use, up to its own size; the rest stays above.
    const int room = m_split->height() - m_split->handleWidth();
    const int mirror =
        qBound(m_mirrorFrame->minimumSizeHint().height(), room - m_topPart->minimumSizeHint().height(),
               m_mirrorFrame->sizeHint().height());
    m_split->setSizes({room - mirror, mirror});
}

void ServerConsole::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_fitMirror) return;
    m_fitMirror = false;
    layout()->activate();
    fitMirror();
}

void ServerConsole::retryLobbyRegistration()
{
    m_server->lobby().shortenWait();
}

void ServerConsole::onAnnouncementReturn()
{
    const QString text = m_announceInput->text();
    if (text.isEmpty()) return;
    m_server->announce(text);
    m_announceInput->clear();
}

void ServerConsole::ask(const QString &text, int buttons, std::function<void(int)> done)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, NotStartedTitle, text,
                                QMessageBox::StandardButtons(buttons), this);
    // Messages quote file names and settings: text, not markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, done] {
        if (!done) return;
        QAbstractButton *clicked = box->clickedButton();
        done(clicked ? int(box->standardButton(clicked)) : int(QMessageBox::NoButton));
    });
    box->open();
}

void ServerConsole::tell(const QStringList &texts)
{
    if (texts.isEmpty()) return;
    QString text = texts.first();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList rest = texts.mid(1);
    // One box after the other, as each is dismissed.
    ask(text, QMessageBox::Ok, [this, rest](int) { tell(rest); });
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
    ask(msg::CloseQuestion, QMessageBox::Ok | QMessageBox::Cancel, [this](int button) {
        if (button != QMessageBox::Ok) return;
        m_closeConfirmed = true;
        close();
    });
}

bool ServerConsole::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lobbyStatusLabel && event->type() == QEvent::MouseButtonDblClick) {
        retryLobbyRegistration();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zb
