#include "client/core/messages.h"
#include "client/core/picturesaver.h"
#include "client/ui/canvaswidget.h"
#include "client/ui/clicklabel.h"
#include "client/ui/gamewindow.h"
#include "client/ui/resultsview.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/clientui/windowparts.h"
#include "tests/e2e/e2e.h"
#include "tests/wiretexts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace zb;

// A whole game of three windows on the real server, then its results: every
// turn's picture as the canvas stood at the reveal, the ranking, saving.
// With ZB_SCREENSHOT_DIR set, the results view is saved as seen.
class TestResultsGame : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void gameEndsInResults();

  private:
    void shoot(QWidget *w, const QString &name);

    QTemporaryDir m_dir;
    e2e::ServerRunner m_server;
    quint16 m_port = 0;
};

namespace {
bool samePicture(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

void TestResultsGame::initTestCase()
{
    const QString program = QStringLiteral(ZB_BIN_DIR "/zbserver");
    if (!QFile::exists(program)) QSKIP("zbserver is not built");
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings.ini")));
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(japanese)) QApplication::setFont(QFont(japanese, 9));
    QFile::copy(QStringLiteral(ZB_BIN_DIR "/default.dat"), m_dir.filePath(QStringLiteral("default.dat")));
    QVERIFY2(m_server.start(40, {QStringLiteral("--rounds"), QStringLiteral("2")}),
             qPrintable(m_server.log()));
    m_port = m_server.port();
}

void TestResultsGame::cleanupTestCase()
{
    m_server.stop();
}

void TestResultsGame::shoot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("ZB_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void TestResultsGame::gameEndsInResults()
{
    std::unique_ptr<GameWindow> windows[3];
    const QStringList names{QStringLiteral("はなこ"), QStringLiteral("taro"), QStringLiteral("じろう")};
    for (int i = 0; i < 3; ++i) {
        windows[i] = std::make_unique<GameWindow>();
        GameWindow *w = windows[i].get();
        w->client().setTickMs(40);
        w->client().setBindAddress(QHostAddress(QStringLiteral("127.0.0.%1").arg(i + 2)));
        w->prepare();
        w->openConnectDialog(QStringLiteral("127.0.0.1:%1").arg(m_port));
        part<QLineEdit>(w->connectDialog(), "txtName")->setText(names.at(i));
        QTest::mouseClick(part<QPushButton>(w->connectDialog(), "cmdServer"), Qt::LeftButton);
        QTRY_VERIFY(w->client().isConnected());
    }
    for (auto &w : windows) {
        QTRY_COMPARE(w->client().players().name(2), names.at(2));
        QTRY_VERIFY(part<QPushButton>(w.get(), "cmdReady")->isEnabled());
        QTest::mouseClick(part<QPushButton>(w.get(), "cmdReady"), Qt::LeftButton);
    }
    GameWindow *first = windows[0].get();
    QDir png(PictureSaver::pictureFolder());
    QList<int> drawers;
    QStringList words;
    QList<QList<QImage>> atReveal; // per turn, per window
    QString lastKey;
    QElapsedTimer elapsed;
    elapsed.start();
    while (!first->client().resultAvailable() && elapsed.elapsed() < 60000) {
        (void)QTest::qWaitFor(
            [&] {
                const RoundState &r = first->client().round();
                return first->client().resultAvailable() ||
                       (r.inGame && r.timeLimit() > 100 &&
                        QString::number(r.drawerSlot) + r.currentWord != lastKey);
            },
            1000);
        const RoundState &round = first->client().round();
        if (!round.inGame || round.timeLimit() <= 100) continue;
        const QString key = QString::number(round.drawerSlot) + round.currentWord;
        if (key == lastKey) continue;
        lastKey = key;
        const int turn = int(drawers.size()) + 1;
        const int drawer = round.drawerSlot;
        drawers << drawer;
        words << round.currentWord;
        GameWindow *d = windows[drawer].get();
        GameWindow *g = windows[(drawer + 1) % 3].get();
        for (auto &w : windows)
            QTRY_COMPARE(w->client().round().currentWord, words.last());

        if (turn == 2) {
            // The last turn's picture is gone from the canvas, yet a late press still saves it.
            QCOMPARE(g->client().canvas().canvas().pixelValue(200, 100), 16777215);
            const QStringList before = png.entryList(QDir::Files);
            QTest::mouseClick(part<QPushButton>(g, "cmdSavePicture"), Qt::LeftButton);
            QStringList added = png.entryList(QDir::Files);
            for (const QString &name : before)
                added.removeAll(name);
            QCOMPARE(added.size(), 1);
            QVERIFY2(added.first().endsWith(QLatin1Char(' ') + names.at(drawers.first()) +
                                            QStringLiteral(" 「") + words.first() + QStringLiteral("」.png")),
                     qPrintable(added.first()));
            QCOMPARE(fileBytes(png.filePath(added.first())), g->client().gallery().at(0).png);
        }

        // A frame in a colour and place of the turn's own.
        const int colour = 2 + turn % 7;
        const int left = 60 + turn * 40;
        QTest::mouseClick(part<ClickLabel>(d, "lblColor", colour), Qt::LeftButton);
        const QList<QPoint> frame{
            {left, 100}, {left + 200, 100}, {left + 200, 300}, {left, 300}, {left, 100}};
        // The window fits the test screen, so the canvas may be drawn smaller than 640 x 480.
        const double scale = part<CanvasWidget>(d, "picMain")->width() / 640.0;
        const auto at = [scale](const QPoint &c) {
            return QPoint(int((c.x() + 0.5) * scale), int((c.y() + 0.5) * scale));
        };
        QTest::mousePress(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, at(frame.first()));
        for (const QPoint &p : frame)
            QTest::mouseMove(part<CanvasWidget>(d, "picMain"), at(p));
        QTest::mouseRelease(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, at(frame.last()));
        for (auto &w : windows)
            QTRY_COMPARE(w->client().canvas().canvas().pixelValue(left + 100, 100), PaletteValues[colour]);
        QList<QImage> shown;
        for (auto &w : windows)
            shown << w->client().canvas().image().copy();
        atReveal << shown;

        if (turn == 3) {
            // Nobody guesses: the turn ends at the time-out.
            for (auto &w : windows)
                QTRY_COMPARE_WITH_TIMEOUT(w->client().gallery().size(), turn, 15000);
            continue;
        }
        QTRY_VERIFY(g->client().round().timeLimit() <= 118);
        part<QLineEdit>(g, "txtSend")->setText(words.last());
        QTest::keyClick(part<QLineEdit>(g, "txtSend"), Qt::Key_Return);
        for (auto &w : windows)
            QTRY_COMPARE(w->client().gallery().size(), turn);
    }
    QCOMPARE(drawers.size(), 6);

    for (int i = 0; i < 3; ++i) {
        GameWindow *w = windows[i].get();
        QTRY_VERIFY(w->client().resultAvailable());
        const Gallery &gallery = w->client().gallery();
        QCOMPARE(gallery.size(), 6);
        for (int t = 0; t < 6; ++t) {
            QCOMPARE(gallery.at(t).turn, t + 1);
            QCOMPARE(gallery.at(t).drawer, names.at(drawers.at(t)));
            QCOMPARE(gallery.at(t).word, words.at(t));
            QVERIFY2(samePicture(Gallery::decode(gallery.at(t)), atReveal.at(t).at(i)),
                     qPrintable(QStringLiteral("window %1 turn %2").arg(i).arg(t + 1)));
        }
        // Shown at once, with the server's winner at the top of the ranking.
        ResultsView *view = w->resultsView();
        QVERIFY(view && view->isVisible());
        QVERIFY(part<QPushButton>(w, "cmdLastResult")->isVisible());
        const QRegularExpression winnerLine(QRegularExpression::escape(wire::WinnerNoticePrefix) +
                                            QStringLiteral("(.*)") +
                                            QRegularExpression::escape(wire::WinnerNoticeSuffix));
        const QString winner =
            winnerLine.match(part<QPlainTextEdit>(w, "txtSystem")->toPlainText()).captured(1);
        QCOMPARE(part<QLabel>(view, "winnerLabel")->text(), msg::WinnerLabel + winner);
        QCOMPARE(part<QTableWidget>(view, "lstRanking")->rowCount(), 3);
        QCOMPARE(part<QTableWidget>(view, "lstRanking")->item(0, 1)->text(), winner);
        QCOMPARE(part<QTableWidget>(view, "lstRanking")->item(0, 0)->text(), msg::RankCell.arg(1));
        QCOMPARE(part<QListWidget>(view, "lstGallery")->count(), 6);
    }

    ResultsView *view = first->resultsView();
    QTRY_VERIFY(view->thumbnailsReady());
    shoot(first, QStringLiteral("results"));
    auto *gallery = part<QListWidget>(view, "lstGallery");
    const QRect third = gallery->visualItemRect(gallery->item(2));
    QTest::mouseClick(gallery->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(view->shownPicture(), 2);
    QVERIFY(part<QLabel>(view, "captionLabel")->text().contains(words.at(2)));
    // Large means the canvas area's room, not the page's size before its first layout.
    QVERIFY2(part<QLabel>(view, "largePicture")->pixmap().width() >= CanvasWidth / 2,
             qPrintable(QString::number(part<QLabel>(view, "largePicture")->pixmap().width())));
    shoot(first, QStringLiteral("results-large"));
    QTest::mouseClick(part<QPushButton>(view, "backButton"), Qt::LeftButton);

    QTest::mouseClick(part<QPushButton>(view, "saveAllButton"), Qt::LeftButton);
    QCOMPARE(part<QLabel>(view, "statusLabel")->text(),
             msg::picturesSaved(6, QDir::toNativeSeparators(png.path())));
    // The folder the line names is the one the button shows.
    QString opened;
    first->setFolderOpener([&opened](const QString &folder) { opened = folder; });
    QTest::mouseClick(part<QPushButton>(view, "openFolderButton"), Qt::LeftButton);
    QCOMPARE(QDir(opened), png);
    for (const GalleryPicture &picture : first->client().gallery().pictures()) {
        const QString name = PictureSaver::drawerFileName(picture.revealedAt, picture.drawer, picture.word);
        QCOMPARE(fileBytes(png.filePath(name)), picture.png);
    }

    // Closed, it comes back from the button, until the next game starts.
    QTest::mouseClick(part<QPushButton>(view, "closeButton"), Qt::LeftButton);
    QVERIFY(!view->isVisible());
    QTest::mouseClick(part<QPushButton>(first, "cmdLastResult"), Qt::LeftButton);
    QVERIFY(view->isVisible());
    for (auto &w : windows) {
        QTRY_VERIFY(part<QPushButton>(w.get(), "cmdReady")->isEnabled());
        QTest::mouseClick(part<QPushButton>(w.get(), "cmdReady"), Qt::LeftButton);
    }
    QTRY_VERIFY_WITH_TIMEOUT(first->client().round().inGame && first->client().round().timeLimit() > 0,
                             10000);
    QVERIFY(!part<QPushButton>(first, "cmdLastResult")->isVisible());
    QVERIFY(!view->isVisible());
    QCOMPARE(first->client().gallery().size(), 0);
    QCOMPARE(part<QListWidget>(view, "lstGallery")->count(), 0);
}

QTEST_MAIN(TestResultsGame)
#include "tst_resultsgame.moc"
