#include "client/core/messages.h"
#include "client/lobby/lobbysession.h"
#include "client/lobby/lobbywindow.h"
#include "shared/fileutil.h"
#include "shared/linesocket.h"
#include "shared/settingsstore.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "tests/clientui/residentmemory.h"
#include "tests/lobby/fakelobby.h"
#include "tests/wiretexts.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>

using namespace zb;

namespace {
QString record(const QString &name, const QString &count, const QString &password = QString())
{
    return StatusRecord()
        .add(QStringLiteral("ipaddress="), QStringLiteral("127.0.0.9"))
        .add(QStringLiteral("port="), QStringLiteral("2700") + count)
        .add(QStringLiteral("password="), password)
        .add(QStringLiteral("roomname="), name)
        .add(QStringLiteral("comment="), QStringLiteral("よろしく"))
        .add(QStringLiteral("zbq="), wire::BuiltInDictionary + QLatin1Char(':'))
        .add(QStringLiteral("players="), QStringLiteral("太郎:花子:::::::"))
        .add(QStringLiteral("playercount="), count)
        .encoded();
}
} // namespace

class TstLobbyWindow : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir m_dir;
    FakeLobby *m_lobby = nullptr;
    // Closing deletes the window.
    QPointer<LobbyWindow> m_window;

    template <typename T> T *control(const char *name)
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }

  private slots:
    void initTestCase()
    {
        setProgramFolder(m_dir.path());
        SettingsStore::write(QStringLiteral("Name"), QStringLiteral("太郎"));
    }

    void init()
    {
        m_lobby = new FakeLobby;
        LobbyWindow::setAddressOverride(m_lobby->address());
        m_window = new LobbyWindow;
        m_window->session()->setTickMs(600000);
        m_window->setUrlOpener([this](const QString &url) { m_opened.append(url); });
        m_opened.clear();
    }

    void cleanup()
    {
        delete m_window.data();
        delete m_lobby;
    }

    void controlsAtStart()
    {
        QCOMPARE(m_window->windowTitle(), msg::LobbyServer);
        QCOMPARE(control<QPushButton>("cmdReload")->text(), msg::ReloadServerList);
        QCOMPARE(control<QPushButton>("cmdDirectConnect")->text(), msg::ConnectByAddress);
        QCOMPARE(control<QPushButton>("cmdClose")->text(), msg::Close);
        auto *send = control<QLineEdit>("txtSend");
        QCOMPARE(send->text(), QString());
        QCOMPARE(send->placeholderText(), msg::SendHint);
        QCOMPARE(send->maxLength(), 100);
        QVERIFY(!control<QTextBrowser>("webMain")->openLinks());
        QVERIFY(!control<QFrame>("picPopup")->isVisible());
        QCOMPARE(control<QLabel>("lblPopup")->text(), msg::Details);
    }

    void connectsAndShowsRooms()
    {
        m_window->show();
        QTRY_COMPARE(m_lobby->lines.size(), 1);
        QCOMPARE(m_lobby->lines.first(), QStringLiteral("STS ") + announcementRecord(QStringLiteral("太郎")));
        auto *reload = control<QPushButton>("cmdReload");
        QTRY_COMPARE(reload->text(), msg::reloadLimited(10));
        QVERIFY(!reload->isEnabled());
        QVERIFY(control<QPushButton>("cmdClose")->isEnabled());

        m_lobby->send(QStringLiteral("HDR"), urlEncode(QStringLiteral("<BODY><P>ロビーの頭</P>")));
        m_lobby->send(QStringLiteral("SRV"), record("部屋A", "3") + ':' + record("部屋B", "6", "pw") + ':');
        m_lobby->send(QStringLiteral("NMS"), QStringLiteral("太郎:花子:"));
        auto *web = control<QTextBrowser>("webMain");
        QTRY_VERIFY(web->toPlainText().contains(QStringLiteral("部屋B")));
        QVERIFY(web->toPlainText().contains(QStringLiteral("ロビーの頭")));
        QTRY_COMPARE(control<QListWidget>("lstName")->count(), 2);
        QVERIFY(control<QPlainTextEdit>("txtState")->toPlainText().contains(msg::ServerListReceived));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("serverlist.html"))));
        // The colours of the cells reach the view.
        QVERIFY(web->toHtml().contains(QStringLiteral("#008000")));
        QVERIFY(web->toHtml().contains(QStringLiteral("#ff0000")));
        QVERIFY(web->toHtml().contains(QStringLiteral("#efefff")));
        QVERIFY(web->toHtml().contains(QStringLiteral("#f0fff0")));

        // A broken list leaves table and page as they were and says so.
        const QString shown = web->toHtml();
        m_lobby->send(QStringLiteral("SRV"), record("部屋C", "1"));
        QTRY_VERIFY(control<QPlainTextEdit>("txtState")
                        ->toPlainText()
                        .contains(QStringLiteral("<system> ") + msg::UnknownError));
        QCOMPARE(web->toHtml(), shown);
        QCOMPARE(m_window->session()->rooms().size(), 2);

        // Hovering a room shows its details; anything else hides them.
        auto *popup = control<QFrame>("picPopup");
        emit web->highlighted(QUrl(QStringLiteral("number:1")));
        QVERIFY(popup->isVisible());
        QVERIFY(control<QLabel>("lblPopup")
                    ->text()
                    .startsWith(msg::RoomNameHeading + QStringLiteral("\n") + msg::DetailIndent +
                                QStringLiteral("部屋B\n") + msg::CommentHeading));
        QVERIFY(popup->geometry().right() < m_window->width());
        emit web->highlighted(QUrl(QStringLiteral("http://example.com/")));
        QVERIFY(!popup->isVisible());
        emit web->highlighted(QUrl(QStringLiteral("number:7")));
        QVERIFY(!popup->isVisible());

        // Clicks: a room gives its join address, web links go to the browser,
        // everything else goes nowhere.
        QSignalSpy join(m_window, &LobbyWindow::joinRequested);
        emit web->anchorClicked(QUrl(QStringLiteral("number:1")));
        QCOMPARE(join.size(), 1);
        QCOMPARE(join.first().first().toString(), QStringLiteral("127.0.0.9:27006"));
        emit web->anchorClicked(QUrl(QStringLiteral("number:9")));
        emit web->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
        emit web->anchorClicked(QUrl(QStringLiteral("https://example.com/x")));
        QCOMPARE(join.size(), 1);
        QCOMPARE(m_opened, QStringList{QStringLiteral("https://example.com/x")});
        QCOMPARE(web->source(), QUrl());
        QTest::mouseClick(control<QPushButton>("cmdDirectConnect"), Qt::LeftButton);
        QCOMPARE(join.size(), 2);
        QCOMPARE(join.last().first().toString(), QString());

        // While a game runs nothing is joined; the player is told why.
        m_window->setGameConnectionOpen(true);
        emit web->anchorClicked(QUrl(QStringLiteral("number:0")));
        QTest::mouseClick(control<QPushButton>("cmdDirectConnect"), Qt::LeftButton);
        QCOMPARE(join.size(), 2);
        const auto boxes = m_window->findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes.first()->text(), msg::BusyInGame);
    }

    void pageLoadsNothingFromDisk()
    {
        const QString image = m_dir.filePath(QStringLiteral("x.png"));
        QImage(4, 4, QImage::Format_RGB32).save(image);
        QFile png(image);
        QVERIFY(png.open(QIODevice::ReadOnly));
        const QUrl data(QStringLiteral("data:image/png;base64,") +
                        QString::fromLatin1(png.readAll().toBase64()));
        // Asked through the document, as the page's layout asks: nothing of the file comes back.
        QTextDocument *page = control<QTextBrowser>("webMain")->document();
        for (const QUrl &url :
             {QUrl::fromLocalFile(image), QUrl(image), data, QUrl(QStringLiteral("file:///etc/passwd"))}) {
            const QVariant picture = page->resource(QTextDocument::ImageResource, url);
            QVERIFY2(picture.toByteArray().isEmpty(), qPrintable(url.toString()));
            QVERIFY(qvariant_cast<QImage>(picture).width() <= 1);
            QVERIFY(page->resource(QTextDocument::StyleSheetResource, url).toString().isEmpty());
        }
    }

    void hostilePageShowsAsText()
    {
        const QString image = m_dir.filePath(QStringLiteral("big.png"));
        QImage big(2000, 2000, QImage::Format_RGB32);
        big.fill(Qt::blue);
        QVERIFY(big.save(image));
        const QString zero = QStringLiteral("<img src=/dev/zero>");
        m_window->show();
        QTRY_COMPARE(m_lobby->lines.size(), 1);
        const qint64 before = residentKiB();
        m_lobby->send(QStringLiteral("HDR"),
                      urlEncode(QStringLiteral("<BODY background=\"%1\"><P><SPAN title=\"&lt;img "
                                               "src=/dev/zero&gt;\">頭頭頭</SPAN></P>%2"
                                               "<img src=file:///etc/passwd><img src=\"%1\">")
                                    .arg(image, zero)));
        m_lobby->send(QStringLiteral("FTR"), urlEncode(zero + QStringLiteral("<img src=\"") + image + "\">"));
        const QString room = StatusRecord()
                                 .add(QStringLiteral("ipaddress="), QStringLiteral("127.0.0.9"))
                                 .add(QStringLiteral("roomname="), zero)
                                 .add(QStringLiteral("version="), QStringLiteral("<font size=7>9"))
                                 .add(QStringLiteral("players="), QStringLiteral("a\nb:c:"))
                                 .encoded();
        m_lobby->send(QStringLiteral("SRV"), room + QLatin1Char(':'));
        m_lobby->send(QStringLiteral("MSG"), QStringLiteral("花子> hi\n12:34 <system> forged"));
        m_lobby->send(QStringLiteral("NMS"), QStringLiteral("a\nb:c:"));
        auto *web = control<QTextBrowser>("webMain");
        QTRY_VERIFY(web->toPlainText().contains(zero));
        QVERIFY(web->toPlainText().contains(QStringLiteral("<font size=7>9")));
        m_window->grab();
        // Not one of the big pictures made it into the page.
        QVERIFY(web->document()->size().height() < 1000);

        // Titles show as text too.
        QTextCursor title = web->document()->find(QStringLiteral("頭頭頭"));
        title.setPosition(title.selectionStart() + 2);
        const QPoint at = web->cursorRect(title).center();
        QHelpEvent hover(QEvent::ToolTip, at, web->viewport()->mapToGlobal(at));
        QApplication::sendEvent(web->viewport(), &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(), zero);

        emit web->highlighted(QUrl(QStringLiteral("number:0")));
        QVERIFY(control<QLabel>("lblPopup")
                    ->text()
                    .startsWith(msg::RoomNameHeading + QStringLiteral("\n") + msg::DetailIndent + zero));
        QVERIFY(control<QLabel>("lblPopup")->text().contains(QStringLiteral("\n　ab\n　c\n")));
        QTRY_VERIFY(control<QPlainTextEdit>("txtState")
                        ->toPlainText()
                        .contains(QStringLiteral(" <花子> hi12:34 <system> forged\n")));
        QTRY_COMPARE(control<QListWidget>("lstName")->count(), 2);
        QCOMPARE(control<QListWidget>("lstName")->item(0)->text(), QStringLiteral("ab"));
        QVERIFY(residentKiB() - before < HostileTextBudgetKiB);
    }

    void chat()
    {
        m_window->show();
        QTRY_COMPARE(m_lobby->lines.size(), 1);
        auto *send = control<QLineEdit>("txtSend");
        auto *log = control<QPlainTextEdit>("txtState");
        // The untouched box holds no text: Enter sends nothing.
        QTest::keyClick(send, Qt::Key_Return);
        send->setText(QStringLiteral("こんにちは"));
        QTest::keyClick(send, Qt::Key_Return);
        QTRY_COMPARE(m_lobby->lines.size(), 2);
        QCOMPARE(m_lobby->lines.at(1), QStringLiteral("MSG こんにちは"));
        QVERIFY(log->toPlainText().contains(QStringLiteral(" <太郎> こんにちは\n")));
        QCOMPARE(send->text(), QString());
        QTest::keyClick(send, Qt::Key_Return);
        m_lobby->send(QStringLiteral("MSG"), QStringLiteral("花子> やあ"));
        QTRY_VERIFY(log->toPlainText().contains(QStringLiteral(" <花子> やあ")));
        QCOMPARE(m_lobby->lines.size(), 2);

        // Without a connection the line stays in the box.
        delete m_lobby->peer;
        QTRY_COMPARE(m_window->session()->socketState(), 0);
        send->setText(QStringLiteral("まだ?"));
        QTest::keyClick(send, Qt::Key_Return);
        QVERIFY(log->toPlainText().contains(QStringLiteral("<system> ") + msg::NotConnected));
        QCOMPARE(send->text(), QStringLiteral("まだ?"));
    }

    void closeEndsConnection()
    {
        m_window->show();
        QTRY_COMPARE(m_lobby->lines.size(), 1);
        QSignalSpy gone(m_lobby->peer->socket(), &QTcpSocket::disconnected);
        // A line sent just before closing still reaches the lobby.
        control<QLineEdit>("txtSend")->setText(QStringLiteral("またね"));
        QTest::keyClick(control<QLineEdit>("txtSend"), Qt::Key_Return);
        m_window->close();
        QVERIFY(gone.wait(5000));
        QTRY_VERIFY(!m_window);
        QTRY_COMPARE(m_lobby->lines.last(), QStringLiteral("MSG またね"));
    }

  private:
    QStringList m_opened;
};

QTEST_MAIN(TstLobbyWindow)
#include "tst_lobbywindow.moc"
