#include "lobbywindow.h"

#include "client/core/messages.h"
#include "desktop.h"
#include "lobbysession.h"
#include "logview.h"
#include "playername.h"
#include "serverlistpage.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QToolTip>
#include <QVBoxLayout>

namespace zb {

namespace {

// Shows the page from memory and fetches nothing: no image, style sheet or
// file named by the lobby's HTML is ever read from disk, network or data: URL.
class RoomListBrowser : public QTextBrowser {
  public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl &) override
    {
        // An empty answer is not enough: on a null value the document reads the
        // file itself, and on a null image the image handler does.
        if (type == QTextDocument::ImageResource) {
            QImage blank(1, 1, QImage::Format_ARGB32_Premultiplied);
            blank.fill(Qt::transparent);
            return blank;
        }
        if (type == QTextDocument::StyleSheetResource || type == QTextDocument::HtmlResource ||
            type == QTextDocument::MarkdownResource)
            return QString();
        return QByteArray();
    }

  protected:
    bool viewportEvent(QEvent *event) override
    {
        // A title in the lobby's HTML would become a rich-text tool tip, with
        // the same file loading as any label.
        if (event->type() == QEvent::ToolTip) {
            const auto *help = static_cast<QHelpEvent *>(event);
            const QString tip = cursorForPosition(help->pos()).charFormat().toolTip();
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tip), viewport());
                return true;
            }
        }
        return QTextBrowser::viewportEvent(event);
    }
};

// Twips (1/1440 inch) in this screen's pixels.
int twips(const QWidget *w, int t)
{
    return w->logicalDpiX() * t / 1440;
}
} // namespace

LobbyWindow::LobbyWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(new LobbySession(this)), m_openUrl(&openUrl)
{
    QFont f = font();
    f.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic"),
                   QStringLiteral("IPAexGothic"), QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic"),
                   QStringLiteral("MS UI Gothic"), QStringLiteral("Meiryo")});
    setFont(f);
    // Closing the window ends it and its lobby connection; opening it again
    // starts from nothing, as the first time.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_session->windowCaption());
    buildControls();
    connectSession();
}

LobbyWindow::~LobbyWindow() = default;

void LobbyWindow::setAddressOverride(const QString &hostPort)
{
    LobbySession::setAddressOverride(hostPort);
}

void LobbyWindow::setGameConnectionOpen(bool open)
{
    m_gameConnectionOpen = open;
}

void LobbyWindow::buildControls()
{
    webMain = new RoomListBrowser(this);
    webMain->setObjectName(QStringLiteral("webMain"));
    webMain->setOpenLinks(false);
    webMain->setOpenExternalLinks(false);
    webMain->setMinimumHeight(200);

    txtState = new LogView(this);
    txtState->setObjectName(QStringLiteral("txtState"));

    txtSend = new QLineEdit(this);
    txtSend->setObjectName(QStringLiteral("txtSend"));
    // A hint only: the box stays empty, so the hint can never be sent or typed into.
    txtSend->setPlaceholderText(msg::SendHint);
    txtSend->setMaxLength(100);

    lstName = new QListWidget(this);
    lstName->setObjectName(QStringLiteral("lstName"));
    lstName->setFixedWidth(170);

    cmdReload = new QPushButton(m_session->reloadCaption(), this);
    cmdReload->setObjectName(QStringLiteral("cmdReload"));
    cmdDirectConnect = new QPushButton(msg::ConnectByAddress, this);
    cmdDirectConnect->setObjectName(QStringLiteral("cmdDirectConnect"));
    cmdClose = new QPushButton(msg::Close, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton *b : {cmdReload, cmdDirectConnect, cmdClose})
        b->setMinimumWidth(150);

    auto *chat = new QVBoxLayout;
    chat->addWidget(txtState, 1);
    chat->addWidget(txtSend);
    auto *middle = new QHBoxLayout;
    middle->addLayout(chat, 1);
    middle->addWidget(lstName);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdReload);
    buttons->addWidget(cmdDirectConnect);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *main = new QVBoxLayout(this);
    main->addWidget(webMain, 3);
    main->addLayout(middle, 2);
    main->addLayout(buttons);
    // The room table is 800 wide; a smaller window scrolls it (small screens).
    resize(860, 640);

    // The popup floats over the page, outside the layout.
    picPopup = new QFrame(this);
    picPopup->setObjectName(QStringLiteral("picPopup"));
    picPopup->setFrameShape(QFrame::Box);
    picPopup->setAutoFillBackground(true);
    QPalette pal = picPopup->palette();
    pal.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));
    picPopup->setPalette(pal);
    lblPopup = new QLabel(msg::Details, picPopup);
    lblPopup->setObjectName(QStringLiteral("lblPopup"));
    // Room fields come from the network: never rich text.
    lblPopup->setTextFormat(Qt::PlainText);
    lblPopup->setMargin(4);
    picPopup->hide();

    connect(cmdReload, &QPushButton::clicked, m_session, &LobbySession::reloadRoomList);
    connect(cmdDirectConnect, &QPushButton::clicked, this, &LobbyWindow::connectDirectly);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(txtSend, &QLineEdit::returnPressed, this, &LobbyWindow::sendChat);
    connect(webMain, &QTextBrowser::anchorClicked, this, &LobbyWindow::webMain_BeforeNavigate2);
    connect(webMain, qOverload<const QUrl &>(&QTextBrowser::highlighted), this, &LobbyWindow::onLinkHovered);
}

void LobbyWindow::connectSession()
{
    LobbySession *s = m_session;
    // The view keeps its own copy of the session's log, cut back alike.
    connect(s, &LobbySession::logAppended, txtState,
            [this](const QString &line) { txtState->appendLine(line); });
    connect(s, &LobbySession::namesChanged, this, [this](const QStringList &names) {
        lstName->clear();
        for (const QString &name : names)
            lstName->addItem(displayName(name));
    });
    connect(s, &LobbySession::pageChanged, this,
            [this](const QString &html) { webMain->setHtml(ServerListPage::viewHtml(html)); });
    connect(s, &LobbySession::captionChanged, this, &QWidget::setWindowTitle);
    connect(s, &LobbySession::reloadChanged, this, [this](const QString &caption, bool enabled) {
        cmdReload->setText(caption);
        cmdReload->setEnabled(enabled);
    });
    connect(s, &LobbySession::connectingChanged, this,
            [this](bool connecting) { cmdClose->setEnabled(!connecting); });
}

void LobbyWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown again after being minimised, it keeps its connection.
    if (!m_loaded) prepare();
}

void LobbyWindow::prepare()
{
    // The game window has placed this window at its own corner before showing it.
    m_loaded = true;
    if (const QScreen *s = screen()) {
        const QSize frame = frameGeometry().size() - size();
        resize(size().boundedTo(s->availableGeometry().size() - frame).expandedTo(minimumSizeHint()));
    }
    webMain->clear();
    m_session->start();
}

void LobbyWindow::closeEvent(QCloseEvent *event)
{
    m_session->stop();
    QWidget::closeEvent(event);
}

void LobbyWindow::sendChat()
{
    if (!m_session->isConnected()) {
        m_session->appendSystemLine(msg::NotConnected);
        return;
    }
    QString text = txtSend->text();
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    if (text.isEmpty()) return;
    m_session->sendChat(text);
    txtSend->clear();
}

void LobbyWindow::showBusyMessage()
{
    // Not modal-blocking: the lobby and the game keep running while it is shown.
    auto *box =
        new QMessageBox(QMessageBox::Information, windowTitle(), msg::BusyInGame, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void LobbyWindow::connectDirectly()
{
    if (m_gameConnectionOpen) {
        showBusyMessage();
        return;
    }
    emit joinRequested(QString());
}

void LobbyWindow::joinRoom(const QString &address)
{
    if (m_gameConnectionOpen) {
        showBusyMessage();
        return;
    }
    emit joinRequested(address);
}

void LobbyWindow::webMain_BeforeNavigate2(const QUrl &url)
{
    const LinkTarget t = m_session->resolveLink(url);
    switch (t.kind) {
    case LinkTarget::Room:
        joinRoom(t.address);
        break;
    case LinkTarget::External:
        if (m_openUrl) m_openUrl(t.address);
        break;
    case LinkTarget::Anchor:
        webMain->scrollToAnchor(t.anchor);
        break;
    case LinkTarget::Ignore:
        break;
    }
}

void LobbyWindow::onLinkHovered(const QUrl &url)
{
    picPopup->hide();
    const LinkTarget t = m_session->resolveLink(url);
    if (t.kind == LinkTarget::Room) showPopup(m_session->serverInfoText(t.room));
}

void LobbyWindow::showPopup(const QString &text)
{
    lblPopup->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    lblPopup->adjustSize();
    picPopup->resize(lblPopup->size());
    // Measured from the window's outer size, frame included.
    const QSize outer = frameGeometry().size();
    const int x = outer.width() - picPopup->width() - twips(this, 600);
    const int y = outer.height() - picPopup->height() - twips(this, 2600);
    picPopup->move(qMax(0, x), qMax(0, y));
    picPopup->raise();
    picPopup->show();
}

} // namespace zb
