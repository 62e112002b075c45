#include "gamewindow.h"

#include "canvaswidget.h"
#include "clicklabel.h"
#include "client/core/messages.h"
#include "connectdialog.h"
#include "desktop.h"
#include "fileutil.h"
#include "gamewindowlayout.h"
#include "leavenotice.h"
#include "lobbywindow.h"
#include "logview.h"
#include "optionsdialog.h"
#include "picturesaver.h"
#include "playername.h"
#include "questionwindow.h"
#include "textclean.h"
#include "version.h"

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

namespace {
QString css(int value)
{
    return colorFromValue(value).name();
}

void setBackground(QWidget *w, int value)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colorFromValue(value));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setTextColor(QWidget *w, int value)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colorFromValue(value));
    w->setPalette(pal);
}

QFrame *markerFrame(QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}
} // namespace

GameWindow::GameWindow(QWidget *parent) : QWidget(parent), m_openFolder(&openFolder)
{
    setWindowTitle(msg::ProgramName);
    buildBackdrop();
    buildPlayers();
    buildButtons();
    buildViews();
    m_leaveNotice = new LeaveNotice(picMain);
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
    backdrop = new QWidget(this);
    setBackground(backdrop, colorValue(128, 128, 128));

    lblQuestion = new QLabel(msg::Question, backdrop);
    // Words and names come from the server: never markup, which would also
    // make the label load any file an <img> names.
    lblQuestion->setTextFormat(Qt::PlainText);
    QFont big = lblQuestion->font();
    big.setPointSize(16);
    big.setBold(true);
    lblQuestion->setFont(big);
    setTextColor(lblQuestion, colorValue(255, 255, 255));

    timeCaption = new QLabel(msg::TimeLeft, backdrop);
    timeCaption->setGeometry(8, 34, 80, 20);
    setTextColor(timeCaption, colorValue(255, 255, 255));
    lblTimeLimit = new QLabel(QStringLiteral("-1"), backdrop);
    lblTimeLimit->setTextFormat(Qt::PlainText);
    lblTimeLimit->setGeometry(88, 34, 60, 20);
    setTextColor(lblTimeLimit, colorValue(255, 255, 255));
    lblOekakiChat = new QLabel(msg::OekakiChatBanner, backdrop);
    setTextColor(lblOekakiChat, colorValue(255, 255, 160));
    lblOekakiChat->hide();

    picMain = new CanvasWidget(&m_client.canvas(), backdrop);

    for (int i = 0; i < PaletteSize; ++i) {
        lblColor[i] = new ClickLabel(backdrop);
        setBackground(lblColor[i], PaletteValues[i]);
        connect(lblColor[i], &ClickLabel::clicked, this, [this, i] { m_client.canvas().pickColor(i); });
        connect(lblColor[i], &ClickLabel::doubleClicked, this,
                [this, i] { m_client.canvas().fillWithColor(i); });
    }
    shpSelectedColor = markerFrame(backdrop);

    // Growing dots for growing widths; the small ones sit low like the large.
    static const char *const dotTexts[4] = {"\n\n●", "\n●", "●", "●"};
    for (int i = 0; i < 4; ++i) {
        lblDrawWidth[i] = new ClickLabel(QString::fromUtf8(dotTexts[i]), backdrop);
        lblDrawWidth[i]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        setBackground(lblDrawWidth[i], colorValue(255, 255, 255));
        connect(lblDrawWidth[i], &ClickLabel::clicked, this,
                [this, i] { m_client.canvas().pickPenWidth(i); });
    }
    shpSelectedDrawWidth = markerFrame(backdrop);
    shpSelectedDrawWidth->setStyleSheet(
        QStringLiteral("border: 2px solid #ff0000; background: transparent;"));

    cmdClear = new QPushButton(msg::ClearCanvas, backdrop);
    connect(cmdClear, &QPushButton::clicked, this, [this] { m_client.canvas().clearCanvas(); });
}

void GameWindow::buildPlayers()
{
    for (int i = 0; i < SlotCount; ++i) {
        picPlayer[i] = new QFrame(this);
        picPlayer[i]->setFrameShape(QFrame::Box);
        setBackground(picPlayer[i], colorValue(255, 255, 255));
        lblPlayer[i] = new QLabel(msg::EmptyPlayerSeat.arg(i + 1), picPlayer[i]);
        lblPlayer[i]->setTextFormat(Qt::PlainText);
        setBackground(lblPlayer[i], colorValue(128, 128, 128));
        setTextColor(lblPlayer[i], colorValue(255, 255, 255));
        lblReady[i] = new QLabel(msg::Ready, picPlayer[i]);
        lblScoreTitle[i] = new QLabel(QStringLiteral("Score:"), picPlayer[i]);
        lblScore[i] = new QLabel(QStringLiteral("0"), picPlayer[i]);
        lblScore[i]->setTextFormat(Qt::PlainText);
    }
    shpQok = markerFrame(this);
    shpQok->setStyleSheet(QStringLiteral("border: 3px solid #ff0000; background: transparent;"));
    shpQok->hide();
}

void GameWindow::buildButtons()
{
    cmdClient = new QPushButton(msg::ConnectToLobby, this);
    cmdDirectConnect = new QPushButton(msg::ConnectByAddress, this);
    cmdSetting = new QPushButton(msg::Settings, this);
    cmdDisConnect = new QPushButton(msg::Disconnect, this);
    cmdSavePicture = new QPushButton(msg::SavePicture, this);
    cmdSavePicture->setToolTip(msg::SavePictureTip);
    chkSavePictureReserve = new QCheckBox(msg::ReserveSave, this);
    chkSavePictureReserve->setToolTip(msg::ReserveSaveTip);
    cmdReady = new QPushButton(msg::Ready, this);
    cmdReady->setEnabled(false);
    cmdLastResult = new QPushButton(msg::LastResult, this);
    cmdLastResult->hide();

    connect(cmdClient, &QPushButton::clicked, this, &GameWindow::onConnectButtonClicked);
    connect(cmdDirectConnect, &QPushButton::clicked, this, [this] { openConnectDialog(); });
    connect(cmdSetting, &QPushButton::clicked, this, &GameWindow::openOptions);
    connect(cmdDisConnect, &QPushButton::clicked, this, &GameWindow::disconnectFromRoom);
    connect(cmdSavePicture, &QPushButton::clicked, this, [this] { m_client.savePicture(); });
    connect(chkSavePictureReserve, &QCheckBox::toggled, &m_client, &GameClient::setSaveReserve);
    connect(cmdReady, &QPushButton::clicked, &m_client, &GameClient::toggleReady);
    connect(cmdLastResult, &QPushButton::clicked, this, &GameWindow::showResults);
}

void GameWindow::buildViews()
{
    txtSystem = new LogView(this);
    txtState = new LogView(this);
    for (LogView *view : {txtSystem, txtState}) {
        view->setShowsFinalLineEnd(false);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    txtSend = new QLineEdit(this);
    // A hint only: the box stays empty, so the hint can never be sent or typed into.
    txtSend->setPlaceholderText(msg::SendHint);
    txtSend->setMaxLength(100);
    connect(txtSend, &QLineEdit::returnPressed, this, &GameWindow::onChatReturn);
}

void GameWindow::nameParts()
{
    const std::pair<QWidget *, const char *> parts[] = {
        {backdrop, "backdrop"},
        {lblQuestion, "lblQuestion"},
        {timeCaption, "timeCaption"},
        {lblTimeLimit, "lblTimeLimit"},
        {lblOekakiChat, "lblOekakiChat"},
        {picMain, "picMain"},
        {shpSelectedColor, "shpSelectedColor"},
        {shpSelectedDrawWidth, "shpSelectedDrawWidth"},
        {cmdClear, "cmdClear"},
        {shpQok, "shpQok"},
        {cmdClient, "cmdClient"},
        {cmdDirectConnect, "cmdDirectConnect"},
        {cmdDisConnect, "cmdDisConnect"},
        {cmdSavePicture, "cmdSavePicture"},
        {chkSavePictureReserve, "chkSavePictureReserve"},
        {cmdSetting, "cmdSetting"},
        {cmdReady, "cmdReady"},
        {cmdLastResult, "cmdLastResult"},
        {txtSystem, "txtSystem"},
        {txtState, "txtState"},
        {txtSend, "txtSend"},
    };
    for (const auto &[widget, name] : parts)
        widget->setObjectName(QLatin1String(name));
    // A row of like parts: the name and the index, "lblPlayer0".
    auto nameRow = [](const auto &row, const char *name) {
        int i = 0;
        for (QWidget *widget : row)
            widget->setObjectName(QLatin1String(name) + QString::number(i++));
    };
    nameRow(lblColor, "lblColor");
    nameRow(lblDrawWidth, "lblDrawWidth");
    nameRow(picPlayer, "picPlayer");
    nameRow(lblPlayer, "lblPlayer");
    nameRow(lblReady, "lblReady");
    nameRow(lblScoreTitle, "lblScoreTitle");
    nameRow(lblScore, "lblScore");
}

void GameWindow::applyLayout()
{
    const GameWindowLayout l = GameWindowLayout::forSize(size());
    backdrop->setGeometry(l.backdrop);
    lblQuestion->setGeometry(l.question);
    lblOekakiChat->setGeometry(180, 34, qMax(0, l.backdrop.width() - 188), 20);
    picMain->setGeometry(l.canvas);
    for (int i = 0; i < PaletteSize; ++i)
        lblColor[i]->setGeometry(l.swatches[i]);
    // The dots keep their sizes, and shrink only with buttons too small for them.
    static const int dotSizes[4] = {6, 11, 18, 26};
    const double dotScale = qMin(1.0, l.widthButtons[0].height() / 40.0);
    for (int i = 0; i < 4; ++i) {
        lblDrawWidth[i]->setGeometry(l.widthButtons[i]);
        QFont f = lblDrawWidth[i]->font();
        f.setPointSize(qMax(4, qRound(dotSizes[i] * dotScale)));
        lblDrawWidth[i]->setFont(f);
    }
    cmdClear->setGeometry(l.clearButton);
    moveColorMarker(m_colorMarker);
    moveWidthMarker(m_widthMarker);

    const QRect column = l.playerColumn;
    const int width = column.width();
    const int nameHeight = qBound(16, l.panelHeight - 28, 28);
    const int rowTop = nameHeight + 4;
    const int rowHeight = qMin(20, l.panelHeight - rowTop - 1);
    for (int i = 0; i < SlotCount; ++i) {
        picPlayer[i]->setGeometry(column.x(), column.y() + i * l.panelStep, width, l.panelHeight);
        lblPlayer[i]->setGeometry(1, 1, width - 2, nameHeight);
        lblReady[i]->setGeometry(6, rowTop, 90, rowHeight);
        // The score captions share one height in every panel, at the right.
        lblScoreTitle[i]->setGeometry(width - 108, rowTop, 44, rowHeight);
        lblScore[i]->setGeometry(width - 64, rowTop, 48, rowHeight);
    }
    onQokSlot(m_client.qokSlot());

    const int buttonsTop = column.y() + SlotCount * l.panelStep + 4;
    const int half = (width - 4) / 2;
    auto place = [&](QWidget *w, int row, int col, int span = 1) {
        w->setGeometry(column.x() + col * (half + 4), buttonsTop + row * l.buttonStep,
                       span == 2 ? width : half, l.buttonStep - 4);
    };
    place(cmdClient, 0, 0);
    place(cmdDirectConnect, 0, 1);
    place(cmdSetting, 1, 0);
    place(cmdDisConnect, 1, 1);
    place(cmdSavePicture, 2, 0);
    place(chkSavePictureReserve, 2, 1);
    // The last game's results share the ready button's row while they are offered.
    if (cmdLastResult->isVisibleTo(this)) {
        place(cmdReady, 3, 0);
        place(cmdLastResult, 3, 1);
    } else {
        place(cmdReady, 3, 0, 2);
    }

    txtSystem->setGeometry(l.systemView);
    txtState->setGeometry(l.chatView);
    txtSend->setGeometry(l.sendBox);
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
    connect(c, &GameClient::readyEnabledChanged, cmdReady, &QWidget::setEnabled);
    connect(c, &GameClient::bannerChanged, lblOekakiChat, &QWidget::setVisible);
    connect(c, &GameClient::turnStarted, this, &GameWindow::onTurnStarted);
    connect(c, &GameClient::qokSlotChanged, this, &GameWindow::onQokSlot);
    connect(c, &GameClient::saveReserveChanged, chkSavePictureReserve, &QCheckBox::setChecked);
    connect(c, &GameClient::gameFinished, this, &GameWindow::showResults);
    connect(c, &GameClient::resultAvailableChanged, this, [this](bool available) {
        cmdLastResult->setVisible(available);
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
            [this](int t) { lblTimeLimit->setText(QString::number(t)); });
    connect(&c->round(), &RoundState::questionTextChanged, this,
            [this](const QString &text) { lblQuestion->setText(removeControlChars(text)); });
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
    picMain->setMousePointer(m_settings.mousePointer);
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
    for (LogView *view : {txtState, txtSystem}) {
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
            picMain->setMousePointer(m_settings.mousePointer);
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
        m_results = new ResultsView(backdrop);
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
        lblPlayer[i]->setText(name);
        const ReadyLabel label = readyLabelFor(players.name(i), players.ready(i));
        lblReady[i]->setText(label.text);
        setTextColor(lblReady[i], label.color);
        // An empty seat has no score, whatever the last list said of it.
        lblScore[i]->setText(QString::number(players.name(i).isEmpty() ? 0 : players.score(i)));
    }
}

void GameWindow::onTurnStarted(int drawer, bool isDrawer)
{
    for (int i = 0; i < SlotCount; ++i) {
        setBackground(lblPlayer[i], i == drawer ? colorValue(0, 0, 192) : colorValue(128, 128, 128));
        setBackground(picPlayer[i], i == drawer ? colorValue(255, 210, 210) : colorValue(255, 255, 255));
    }
    if (!isDrawer) txtSend->setFocus();
}

void GameWindow::clearTurnHighlight()
{
    for (int i = 0; i < SlotCount; ++i) {
        setBackground(lblPlayer[i], colorValue(128, 128, 128));
        setBackground(picPlayer[i], colorValue(255, 255, 255));
    }
}

void GameWindow::onQokSlot(int slot)
{
    if (!PlayerList::valid(slot) || !picPlayer[slot]) {
        shpQok->hide();
        return;
    }
    shpQok->setGeometry(picPlayer[slot]->geometry().adjusted(-3, -2, 3, 2));
    shpQok->show();
    shpQok->raise();
}

void GameWindow::moveColorMarker(int index)
{
    m_colorMarker = index;
    const bool light = index == 1 || index == 4;
    shpSelectedColor->setStyleSheet(
        QStringLiteral("border: 3px solid %1; background: transparent;")
            .arg(light ? css(colorValue(192, 192, 192)) : css(colorValue(255, 255, 255))));
    shpSelectedColor->setGeometry(lblColor[index]->geometry().adjusted(-3, -3, 3, 3));
    shpSelectedColor->raise();
}

void GameWindow::moveWidthMarker(int index)
{
    m_widthMarker = index;
    shpSelectedDrawWidth->setGeometry(lblDrawWidth[index]->geometry().adjusted(-2, -2, 2, 2));
    shpSelectedDrawWidth->raise();
}

void GameWindow::onChatReturn()
{
    if (m_client.sendChat(txtSend->text())) txtSend->clear();
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
    txtSystem->appendLine(LogBuffer::clientSystemLine(text));
}

void GameWindow::appendChatLine(const QString &text)
{
    txtState->appendLine(LogBuffer::clientChatLine(text));
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
