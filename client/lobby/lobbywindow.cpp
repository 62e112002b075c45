#include "client/lobby/lobbywindow.h"

#include "client/core/messages.h"
#include "client/core/playername.h"
#include "client/lobby/lobbysession.h"
#include "client/lobby/serverlistpage.h"
#include "desktop/desktop.h"
#include "desktop/logview.h"

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
    m_roomList = new RoomListBrowser(this);
    m_roomList->setObjectName(QStringLiteral("webMain"));
    m_roomList->setOpenLinks(false);
    m_roomList->setOpenExternalLinks(false);
    m_roomList->setMinimumHeight(200);

    m_chatLog = new LogView(this);
    m_chatLog->setObjectName(QStringLiteral("txtState"));

    m_chatInput = new QLineEdit(this);
    m_chatInput->setObjectName(QStringLiteral("txtSend"));
    // A hint only: the box stays empty, so the hint can never be sent or typed into.
    m_chatInput->setPlaceholderText(msg::SendHint);
    m_chatInput->setMaxLength(100);

    m_nameList = new QListWidget(this);
    m_nameList->setObjectName(QStringLiteral("lstName"));
    m_nameList->setFixedWidth(170);

    m_reloadButton = new QPushButton(m_session->reloadCaption(), this);
    m_reloadButton->setObjectName(QStringLiteral("cmdReload"));
    m_directConnectButton = new QPushButton(msg::ConnectByAddress, this);
    m_directConnectButton->setObjectName(QStringLiteral("cmdDirectConnect"));
    m_closeButton = new QPushButton(msg::Close, this);
    m_closeButton->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton *b : {m_reloadButton, m_directConnectButton, m_closeButton})
        b->setMinimumWidth(150);

    auto *chat = new QVBoxLayout;
    chat->addWidget(m_chatLog, 1);
    chat->addWidget(m_chatInput);
    auto *middle = new QHBoxLayout;
    middle->addLayout(chat, 1);
    middle->addWidget(m_nameList);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_reloadButton);
    buttons->addWidget(m_directConnectButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);
    auto *main = new QVBoxLayout(this);
    main->addWidget(m_roomList, 3);
    main->addLayout(middle, 2);
    main->addLayout(buttons);
    // The room table is 800 wide; a smaller window scrolls it (small screens).
    resize(860, 640);

    // The popup floats over the page, outside the layout.
    m_popup = new QFrame(this);
    m_popup->setObjectName(QStringLiteral("picPopup"));
    m_popup->setFrameShape(QFrame::Box);
    m_popup->setAutoFillBackground(true);
    QPalette pal = m_popup->palette();
    pal.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));
    m_popup->setPalette(pal);
    m_popupLabel = new QLabel(msg::Details, m_popup);
    m_popupLabel->setObjectName(QStringLiteral("lblPopup"));
    // Room fields come from the network: never rich text.
    m_popupLabel->setTextFormat(Qt::PlainText);
    m_popupLabel->setMargin(4);
    m_popup->hide();

    connect(m_reloadButton, &QPushButton::clicked, m_session, &LobbySession::reloadRoomList);
    connect(m_directConnectButton, &QPushButton::clicked, this, &LobbyWindow::connectDirectly);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_chatInput, &QLineEdit::returnPressed, this, &LobbyWindow::sendChat);
    connect(m_roomList, &QTextBrowser::anchorClicked, this, &LobbyWindow::onLinkClicked);
    connect(m_roomList, qOverload<const QUrl &>(&QTextBrowser::highlighted), this,
            &LobbyWindow::onLinkHovered);
}

void LobbyWindow::connectSession()
{
    LobbySession *s = m_session;
    // The view keeps its own copy of the session's log, cut back alike.
    connect(s, &LobbySession::logAppended, m_chatLog,
            [this](const QString &line) { m_chatLog->appendLine(line); });
    connect(s, &LobbySession::namesChanged, this, [this](const QStringList &names) {
        m_nameList->clear();
        for (const QString &name : names)
            m_nameList->addItem(displayName(name));
    });
    connect(s, &LobbySession::pageChanged, this,
            [this](const QString &html) { m_roomList->setHtml(ServerListPage::viewHtml(html)); });
    connect(s, &LobbySession::captionChanged, this, &QWidget::setWindowTitle);
    connect(s, &LobbySession::reloadChanged, this, [this](const QString &caption, bool enabled) {
        m_reloadButton->setText(caption);
        m_reloadButton->setEnabled(enabled);
    });
    connect(s, &LobbySession::connectingChanged, this,
            [this](bool connecting) { m_closeButton->setEnabled(!connecting); });
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
    m_roomList->clear();
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
    QString text = m_chatInput->text();
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    if (text.isEmpty()) return;
    m_session->sendChat(text);
    m_chatInput->clear();
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

void LobbyWindow::onLinkClicked(const QUrl &url)
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
        m_roomList->scrollToAnchor(t.anchor);
        break;
    case LinkTarget::Ignore:
        break;
    }
}

void LobbyWindow::onLinkHovered(const QUrl &url)
{
    m_popup->hide();
    const LinkTarget t = m_session->resolveLink(url);
    if (t.kind == LinkTarget::Room) showPopup(m_session->serverInfoText(t.room));
}

void LobbyWindow::showPopup(const QString &text)
{
    m_popupLabel->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_popupLabel->adjustSize();
    m_popup->resize(m_popupLabel->size());
    // Measured from the window's outer size, frame included.
    const QSize outer = frameGeometry().size();
    const int x = outer.width() - m_popup->width() - twips(this, 600);
    const int y = outer.height() - m_popup->height() - twips(this, 2600);
    m_popup->move(qMax(0, x), qMax(0, y));
    m_popup->raise();
    m_popup->show();
}

} // namespace zb
