#include "client/ui/gamewindow.h"

#include "client/core/messages.h"
#include "client/core/picturesaver.h"
#include "client/core/playername.h"
#include "client/lobby/lobbywindow.h"
#include "client/ui/canvaswidget.h"
#include "client/ui/clicklabel.h"
#include "client/ui/connectdialog.h"
#include "client/ui/gamewindowlayout.h"
#include "client/ui/leavenotice.h"
#include "client/ui/optionsdialog.h"
#include "client/ui/questionwindow.h"
#include "client/ui/widgetcolors.h"
#include "desktop/desktop.h"
#include "desktop/logview.h"
#include "shared/fileutil.h"
#include "shared/textclean.h"
#include "shared/version.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

namespace zb {

GameWindow::GameWindow(QWidget *parent) : QWidget(parent), m_openFolder(&openFolder)
{
    setWindowTitle(msg::ProgramName);
    buildBackdrop();
    buildPlayers();
    buildButtons();
    buildViews();
    m_leaveNotice = new LeaveNotice(m_canvas);
    nameParts();
    setMinimumSize(GameWindowLayout::MinimumSize);
    resize(GameWindowLayout::ClassicSize);
    applyLayout();
    wireClient();
    addFunctionKeys();
}

GameWindow::~GameWindow()
{
    delete m_lobby.data();
}

void GameWindow::buildBackdrop()
{
    m_backdrop = new QWidget(this);
    setBackground(m_backdrop, colorValue(128, 128, 128));

    m_questionLabel = new QLabel(msg::Question, m_backdrop);
    // Words and names come from the server: never markup, which would also
    // make the label load any file an <img> names.
    m_questionLabel->setTextFormat(Qt::PlainText);
    QFont big = m_questionLabel->font();
    big.setPointSize(16);
    big.setBold(true);
    m_questionLabel->setFont(big);
    setTextColor(m_questionLabel, colorValue(255, 255, 255));

    m_timeCaption = new QLabel(msg::TimeLeft, m_backdrop);
    m_timeCaption->setGeometry(8, 34, 80, 20);
    setTextColor(m_timeCaption, colorValue(255, 255, 255));
    m_timeLabel = new QLabel(QStringLiteral("-1"), m_backdrop);
    m_timeLabel->setTextFormat(Qt::PlainText);
    m_timeLabel->setGeometry(88, 34, 60, 20);
    setTextColor(m_timeLabel, colorValue(255, 255, 255));
    m_freeDrawingBanner = new QLabel(msg::OekakiChatBanner, m_backdrop);
    setTextColor(m_freeDrawingBanner, colorValue(255, 255, 160));
    m_freeDrawingBanner->hide();

    m_canvas = new CanvasWidget(&m_client.canvas(), m_backdrop);

    for (int i = 0; i < PaletteSize; ++i) {
        m_swatches[i] = new ClickLabel(m_backdrop);
        setBackground(m_swatches[i], PaletteValues[i]);
        connect(m_swatches[i], &ClickLabel::clicked, this, [this, i] { m_client.canvas().pickColor(i); });
        connect(m_swatches[i], &ClickLabel::doubleClicked, this,
                [this, i] { m_client.canvas().fillWithColor(i); });
    }
    m_swatchMarker = markerFrame(m_backdrop);

    // Growing dots for growing widths; the small ones sit low like the large.
    static const char *const dotTexts[4] = {"\n\n●", "\n●", "●", "●"};
    for (int i = 0; i < 4; ++i) {
        m_widthButtons[i] = new ClickLabel(QString::fromUtf8(dotTexts[i]), m_backdrop);
        m_widthButtons[i]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        setBackground(m_widthButtons[i], colorValue(255, 255, 255));
        connect(m_widthButtons[i], &ClickLabel::clicked, this,
                [this, i] { m_client.canvas().pickPenWidth(i); });
    }
    m_widthButtonMarker = markerFrame(m_backdrop);
    m_widthButtonMarker->setStyleSheet(QStringLiteral("border: 2px solid #ff0000; background: transparent;"));

    m_clearButton = new QPushButton(msg::ClearCanvas, m_backdrop);
    connect(m_clearButton, &QPushButton::clicked, this, [this] { m_client.canvas().clearCanvas(); });
}

void GameWindow::buildPlayers()
{
    for (int i = 0; i < SlotCount; ++i) {
        m_playerPanels[i] = new QFrame(this);
        m_playerPanels[i]->setFrameShape(QFrame::Box);
        setBackground(m_playerPanels[i], colorValue(255, 255, 255));
        m_playerNames[i] = new QLabel(msg::EmptyPlayerSeat.arg(i + 1), m_playerPanels[i]);
        m_playerNames[i]->setTextFormat(Qt::PlainText);
        setBackground(m_playerNames[i], colorValue(128, 128, 128));
        setTextColor(m_playerNames[i], colorValue(255, 255, 255));
        m_readyLabels[i] = new QLabel(msg::Ready, m_playerPanels[i]);
        m_scoreCaptions[i] = new QLabel(QStringLiteral("Score:"), m_playerPanels[i]);
        m_scoreLabels[i] = new QLabel(QStringLiteral("0"), m_playerPanels[i]);
        m_scoreLabels[i]->setTextFormat(Qt::PlainText);
    }
    m_hitMarker = markerFrame(this);
    m_hitMarker->setStyleSheet(QStringLiteral("border: 3px solid #ff0000; background: transparent;"));
    m_hitMarker->hide();
}

void GameWindow::buildButtons()
{
    m_lobbyButton = new QPushButton(msg::ConnectToLobby, this);
    m_directConnectButton = new QPushButton(msg::ConnectByAddress, this);
    m_settingsButton = new QPushButton(msg::Settings, this);
    m_disconnectButton = new QPushButton(msg::Disconnect, this);
    m_savePictureButton = new QPushButton(msg::SavePicture, this);
    m_savePictureButton->setToolTip(msg::SavePictureTip);
    m_saveReserveBox = new QCheckBox(msg::ReserveSave, this);
    m_saveReserveBox->setToolTip(msg::ReserveSaveTip);
    m_readyButton = new QPushButton(msg::Ready, this);
    m_readyButton->setEnabled(false);
    m_lastResultButton = new QPushButton(msg::LastResult, this);
    m_lastResultButton->hide();

    connect(m_lobbyButton, &QPushButton::clicked, this, &GameWindow::onConnectButtonClicked);
    connect(m_directConnectButton, &QPushButton::clicked, this, [this] { openConnectDialog(); });
    connect(m_settingsButton, &QPushButton::clicked, this, &GameWindow::openOptions);
    connect(m_disconnectButton, &QPushButton::clicked, this, &GameWindow::disconnectFromRoom);
    connect(m_savePictureButton, &QPushButton::clicked, this, [this] { m_client.savePicture(); });
    connect(m_saveReserveBox, &QCheckBox::toggled, &m_client, &GameClient::setSaveReserve);
    connect(m_readyButton, &QPushButton::clicked, &m_client, &GameClient::toggleReady);
    connect(m_lastResultButton, &QPushButton::clicked, this, &GameWindow::showResults);
}

void GameWindow::buildViews()
{
    m_systemView = new LogView(this);
    m_chatView = new LogView(this);
    for (LogView *view : {m_systemView, m_chatView}) {
        view->setShowsFinalLineEnd(false);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    m_chatInput = new QLineEdit(this);
    // A hint only: the box stays empty, so the hint can never be sent or typed into.
    m_chatInput->setPlaceholderText(msg::SendHint);
    m_chatInput->setMaxLength(100);
    connect(m_chatInput, &QLineEdit::returnPressed, this, &GameWindow::onChatReturn);
}

void GameWindow::nameParts()
{
    const std::pair<QWidget *, const char *> parts[] = {
        {m_backdrop, "backdrop"},
        {m_questionLabel, "lblQuestion"},
        {m_timeCaption, "timeCaption"},
        {m_timeLabel, "lblTimeLimit"},
        {m_freeDrawingBanner, "lblOekakiChat"},
        {m_canvas, "picMain"},
        {m_swatchMarker, "shpSelectedColor"},
        {m_widthButtonMarker, "shpSelectedDrawWidth"},
        {m_clearButton, "cmdClear"},
        {m_hitMarker, "shpQok"},
        {m_lobbyButton, "cmdClient"},
        {m_directConnectButton, "cmdDirectConnect"},
        {m_disconnectButton, "cmdDisConnect"},
        {m_savePictureButton, "cmdSavePicture"},
        {m_saveReserveBox, "chkSavePictureReserve"},
        {m_settingsButton, "cmdSetting"},
        {m_readyButton, "cmdReady"},
        {m_lastResultButton, "cmdLastResult"},
        {m_systemView, "txtSystem"},
        {m_chatView, "txtState"},
        {m_chatInput, "txtSend"},
    };
    for (const auto &[widget, name] : parts)
        widget->setObjectName(QLatin1String(name));
    // A row of like parts: the name and the index, "lblPlayer0".
    auto nameRow = [](const auto &row, const char *name) {
        int i = 0;
        for (QWidget *widget : row)
            widget->setObjectName(QLatin1String(name) + QString::number(i++));
    };
    nameRow(m_swatches, "lblColor");
    nameRow(m_widthButtons, "lblDrawWidth");
    nameRow(m_playerPanels, "picPlayer");
    nameRow(m_playerNames, "lblPlayer");
    nameRow(m_readyLabels, "lblReady");
    nameRow(m_scoreCaptions, "lblScoreTitle");
    nameRow(m_scoreLabels, "lblScore");
}

void GameWindow::applyLayout()
{
    const GameWindowLayout l = GameWindowLayout::forSize(size());
    m_backdrop->setGeometry(l.backdrop);
    m_questionLabel->setGeometry(l.question);
    m_freeDrawingBanner->setGeometry(180, 34, qMax(0, l.backdrop.width() - 188), 20);
    m_canvas->setGeometry(l.canvas);
    for (int i = 0; i < PaletteSize; ++i)
        m_swatches[i]->setGeometry(l.swatches[i]);
    // The dots keep their sizes, and shrink only with buttons too small for them.
    static const int dotSizes[4] = {6, 11, 18, 26};
    const double dotScale = qMin(1.0, l.widthButtons[0].height() / 40.0);
    for (int i = 0; i < 4; ++i) {
        m_widthButtons[i]->setGeometry(l.widthButtons[i]);
        QFont f = m_widthButtons[i]->font();
        f.setPointSize(qMax(4, qRound(dotSizes[i] * dotScale)));
        m_widthButtons[i]->setFont(f);
    }
    m_clearButton->setGeometry(l.clearButton);
    moveColorMarker(m_colorMarker);
    moveWidthMarker(m_widthMarker);

    const QRect column = l.playerColumn;
    const int width = column.width();
    const int nameHeight = qBound(16, l.panelHeight - 28, 28);
    const int rowTop = nameHeight + 4;
    const int rowHeight = qMin(20, l.panelHeight - rowTop - 1);
    for (int i = 0; i < SlotCount; ++i) {
        m_playerPanels[i]->setGeometry(column.x(), column.y() + i * l.panelStep, width, l.panelHeight);
        m_playerNames[i]->setGeometry(1, 1, width - 2, nameHeight);
        m_readyLabels[i]->setGeometry(6, rowTop, 90, rowHeight);
        // The score captions share one height in every panel, at the right.
        m_scoreCaptions[i]->setGeometry(width - 108, rowTop, 44, rowHeight);
        m_scoreLabels[i]->setGeometry(width - 64, rowTop, 48, rowHeight);
    }
    onQokSlot(m_client.qokSlot());

    const int buttonsTop = column.y() + SlotCount * l.panelStep + 4;
    const int half = (width - 4) / 2;
    auto place = [&](QWidget *w, int row, int col, int span = 1) {
        w->setGeometry(column.x() + col * (half + 4), buttonsTop + row * l.buttonStep,
                       span == 2 ? width : half, l.buttonStep - 4);
    };
    place(m_lobbyButton, 0, 0);
    place(m_directConnectButton, 0, 1);
    place(m_settingsButton, 1, 0);
    place(m_disconnectButton, 1, 1);
    place(m_savePictureButton, 2, 0);
    place(m_saveReserveBox, 2, 1);
    // The last game's results share the ready button's row while they are offered.
    if (m_lastResultButton->isVisibleTo(this)) {
        place(m_readyButton, 3, 0);
        place(m_lastResultButton, 3, 1);
    } else {
        place(m_readyButton, 3, 0, 2);
    }

    m_systemView->setGeometry(l.systemView);
    m_chatView->setGeometry(l.chatView);
    m_chatInput->setGeometry(l.sendBox);
}

void GameWindow::fitToScreen()
{
    const QScreen *screen = this->screen();
    if (!screen) return;
    // The frame is known once the window manager has framed the window.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
    const QSize room =
        (screen->availableGeometry().size() - frame).expandedTo(GameWindowLayout::SmallestSize);
    setMinimumSize(GameWindowLayout::MinimumSize.boundedTo(room));
    if (!isMaximized() && !isFullScreen()) resize(size().boundedTo(room));
}

void GameWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}

void GameWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_screenWatched && windowHandle()) {
        m_screenWatched = true;
        connect(windowHandle(), &QWindow::screenChanged, this, &GameWindow::fitToScreen);
    }
    fitToScreen();
}

void GameWindow::wireClient()
{
    GameClient *c = &m_client;
    connect(c, &GameClient::systemText, this, &GameWindow::appendSystemLine);
    connect(c, &GameClient::chatText, this, &GameWindow::appendChatLine);
    connect(c, &GameClient::soundRequested, this, &GameWindow::playSound);
    connect(c, &GameClient::playersChanged, this, &GameWindow::updatePlayerLabels);
    connect(c, &GameClient::readyEnabledChanged, m_readyButton, &QWidget::setEnabled);
    connect(c, &GameClient::bannerChanged, m_freeDrawingBanner, &QWidget::setVisible);
    connect(c, &GameClient::turnStarted, this, &GameWindow::onTurnStarted);
    connect(c, &GameClient::qokSlotChanged, this, &GameWindow::onQokSlot);
    connect(c, &GameClient::saveReserveChanged, m_saveReserveBox, &QCheckBox::setChecked);
    connect(c, &GameClient::gameFinished, this, &GameWindow::showResults);
    connect(c, &GameClient::resultAvailableChanged, this, [this](bool available) {
        m_lastResultButton->setVisible(available);
        applyLayout();
        if (!available && m_results) m_results->clear();
    });
    connect(c, &GameClient::leftRoom, this, [this](const QString &reason) {
        clearTurnHighlight();
        m_leaveNotice->showReason(reason);
    });
    connect(c, &GameClient::connectionOpenChanged, this, [this](bool open) {
        if (open) m_leaveNotice->hide();
        if (m_lobby) {
            m_lobby->setGameConnectionOpen(open);
            if (open) m_lobby->close();
        }
    });
    connect(&c->round(), &RoundState::timeLimitChanged, this,
            [this](int t) { m_timeLabel->setText(QString::number(t)); });
    connect(&c->round(), &RoundState::questionTextChanged, this,
            [this](const QString &text) { m_questionLabel->setText(removeControlChars(text)); });
    connect(&c->round(), &RoundState::questionWindowTextChanged, this, [this](const QString &text) {
        if (m_settings.questionWindow == 1) {
            applyQuestionWindow();
            m_questionWindow->setWord(text);
        }
    });
    connect(&c->canvas(), &CanvasModel::colorSelected, this, &GameWindow::moveColorMarker);
    connect(&c->canvas(), &CanvasModel::widthSelected, this, &GameWindow::moveWidthMarker);
}

void GameWindow::prepare()
{
    makePath(programFile(QStringLiteral("png")));
    appendSystemLine(msg::versionLine(QString::fromLatin1(ProtocolVersion)));
    appendSystemLine(msg::PressLobbyToStart);
    m_settings.load();
    m_client.setAutoSavePicture(m_settings.autoSavePicture == 1);
    m_client.setQuestionWindow(m_settings.questionWindow == 1);
    m_client.setColorChangeWidth(m_settings.colorChangeWidth == 1);
    m_client.setName(m_settings.name);
    m_client.setSoundOn(m_settings.soundEffect == 1);
    updatePlayerLabels();
    m_canvas->setMousePointer(m_settings.mousePointer);
    applyChatTextSize();
    applyQuestionWindow();
    show();
    // Only a shown window has its place on the screen to measure from.
    if (m_questionWindow) m_questionWindow->placeBeside(this);
    if (m_settings.lobbyAutoConnect == 1) onConnectButtonClicked();
    m_client.reset();
}

void GameWindow::applyChatTextSize()
{
    for (LogView *view : {m_chatView, m_systemView}) {
        QFont f = view->font();
        f.setPointSize(m_settings.chatTextSize != 0 ? 12 : 9);
        f.setBold(m_settings.chatTextSize != 0);
        view->setFont(f);
    }
}

void GameWindow::applyQuestionWindow()
{
    m_client.setQuestionWindow(m_settings.questionWindow == 1);
    if (m_settings.questionWindow == 1) {
        if (!m_questionWindow) {
            m_questionWindow = new QuestionWindow(this);
            m_questionWindow->placeBeside(this);
        }
        m_questionWindow->show();
    } else if (m_questionWindow) {
        m_questionWindow->close();
    }
}

void GameWindow::onConnectButtonClicked()
{
    if (!m_lobby) {
        // Closing deletes the window, so every opening starts afresh.
        m_lobby = new LobbyWindow;
        m_lobby->move(pos());
        connect(m_lobby, &LobbyWindow::joinRequested, this, &GameWindow::openConnectDialog);
    }
    m_lobby->setGameConnectionOpen(m_client.connection().state() != GameConnection::State::Closed);
    m_lobby->show();
    m_lobby->raise();
    m_client.lobbyOpened();
}

void GameWindow::openConnectDialog(const QString &address)
{
    if (!m_connectDialog) {
        m_connectDialog = new ConnectDialog(&m_settings, this);
        m_connectDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_connectDialog, &ConnectDialog::connectRequested, this,
                [this](const QString &target, const QString &password, const QString &name) {
                    raise();
                    activateWindow();
                    m_client.connectToRoom(target, name, password);
                });
    }
    if (!address.isEmpty()) m_connectDialog->setAddress(address);
    m_connectDialog->show();
    m_connectDialog->raise();
}

void GameWindow::openOptions()
{
    if (!m_optionsDialog) {
        m_optionsDialog = new OptionsDialog(&m_settings, this);
        m_optionsDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_optionsDialog, &OptionsDialog::settingsApplied, this, [this] {
            applyChatTextSize();
            applyQuestionWindow();
            m_canvas->setMousePointer(m_settings.mousePointer);
            m_client.setAutoSavePicture(m_settings.autoSavePicture == 1);
            m_client.setColorChangeWidth(m_settings.colorChangeWidth == 1);
            m_client.setSoundOn(m_settings.soundEffect == 1);
        });
    }
    m_optionsDialog->show();
    m_optionsDialog->raise();
}

void GameWindow::disconnectFromRoom()
{
    auto *box = new QMessageBox(QMessageBox::Question, windowTitle(), msg::ConfirmDisconnect,
                                QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("disconnectQuestion"));
    connect(box, &QMessageBox::finished, this, [this, box](int) {
        if (box->clickedButton() == box->button(QMessageBox::Ok)) m_client.onConnectionClosed();
    });
    box->open();
}

void GameWindow::showResults()
{
    if (!m_client.resultAvailable()) return;
    if (!m_results) {
        m_results = new ResultsView(m_backdrop);
        connect(m_results, &ResultsView::saveAllRequested, this,
                [this] { m_results->setStatus(m_client.saveGallery().constLast()); });
        connect(m_results, &ResultsView::openFolderRequested, this, [this] {
            const QString folder = PictureSaver::pictureFolder();
            makePath(folder);
            if (m_openFolder) m_openFolder(folder);
        });
    }
    m_results->showResult(m_client.result(), m_client.gallery().pictures());
}

void GameWindow::updatePlayerLabels()
{
    const PlayerList &players = m_client.players();
    for (int i = 0; i < SlotCount; ++i) {
        QString name = displayName(players.name(i));
        // Only this window knows which panel is the player's own; nothing of it is sent.
        if (!name.isEmpty() && i == m_client.ownSlot()) name += msg::OwnNameMark;
        m_playerNames[i]->setText(name);
        const ReadyLabel label = readyLabelFor(players.name(i), players.ready(i));
        m_readyLabels[i]->setText(label.text);
        setTextColor(m_readyLabels[i], label.color);
        // An empty seat has no score, whatever the last list said of it.
        m_scoreLabels[i]->setText(QString::number(players.name(i).isEmpty() ? 0 : players.score(i)));
    }
}

void GameWindow::onTurnStarted(int drawer, bool isDrawer)
{
    for (int i = 0; i < SlotCount; ++i) {
        setBackground(m_playerNames[i], i == drawer ? colorValue(0, 0, 192) : colorValue(128, 128, 128));
        setBackground(m_playerPanels[i], i == drawer ? colorValue(255, 210, 210) : colorValue(255, 255, 255));
    }
    if (!isDrawer) m_chatInput->setFocus();
}

void GameWindow::clearTurnHighlight()
{
    for (int i = 0; i < SlotCount; ++i) {
        setBackground(m_playerNames[i], colorValue(128, 128, 128));
        setBackground(m_playerPanels[i], colorValue(255, 255, 255));
    }
}

void GameWindow::onQokSlot(int slot)
{
    if (!PlayerList::valid(slot) || !m_playerPanels[slot]) {
        m_hitMarker->hide();
        return;
    }
    m_hitMarker->setGeometry(m_playerPanels[slot]->geometry().adjusted(-3, -2, 3, 2));
    m_hitMarker->show();
    m_hitMarker->raise();
}

void GameWindow::moveColorMarker(int index)
{
    m_colorMarker = index;
    const bool light = index == 1 || index == 4;
    m_swatchMarker->setStyleSheet(
        QStringLiteral("border: 3px solid %1; background: transparent;")
            .arg(light ? cssColor(colorValue(192, 192, 192)) : cssColor(colorValue(255, 255, 255))));
    m_swatchMarker->setGeometry(m_swatches[index]->geometry().adjusted(-3, -3, 3, 3));
    m_swatchMarker->raise();
}

void GameWindow::moveWidthMarker(int index)
{
    m_widthMarker = index;
    m_widthButtonMarker->setGeometry(m_widthButtons[index]->geometry().adjusted(-2, -2, 2, 2));
    m_widthButtonMarker->raise();
}

void GameWindow::onChatReturn()
{
    if (m_client.sendChat(m_chatInput->text())) m_chatInput->clear();
}

void GameWindow::addFunctionKeys()
{
    // Window shortcuts: they work whichever control of this window has the
    // focus, and never while another window (a dialog, the lobby) is active.
    static const Qt::Key keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4};
    for (int i = 0; i < 4; ++i) {
        auto *shortcut = new QShortcut(QKeySequence(keys[i]), this);
        connect(shortcut, &QShortcut::activated, this, [this, i] { handleFunctionKey(i); });
    }
}

void GameWindow::handleFunctionKey(int widthIndex)
{
    m_client.canvas().pickPenWidth(widthIndex);
}

void GameWindow::playSound(const QString &name)
{
    playWaveFile(dataFile(name + QStringLiteral(".wav")));
}

void GameWindow::appendSystemLine(const QString &text)
{
    m_systemView->appendLine(LogBuffer::clientSystemLine(text));
}

void GameWindow::appendChatLine(const QString &text)
{
    m_chatView->appendLine(LogBuffer::clientChatLine(text));
}

void GameWindow::closeEvent(QCloseEvent *event)
{
    if (m_connectDialog) m_connectDialog->close();
    if (m_optionsDialog) m_optionsDialog->close();
    if (m_questionWindow) m_questionWindow->close();
    if (m_lobby) m_lobby->close();
    m_client.connection().close();
    event->accept();
}

} // namespace zb
