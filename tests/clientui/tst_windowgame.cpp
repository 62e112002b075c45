#include "client/core/messages.h"
#include "client/ui/canvaswidget.h"
#include "client/ui/clicklabel.h"
#include "client/ui/gamewindow.h"
#include "client/ui/gamewindowlayout.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/clientui/windowparts.h"
#include "tests/e2e/e2e.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace zb;

// Three game windows play a whole game on the real server; with
// ZB_SCREENSHOT_DIR set, what the players see is saved along the way.
class TestWindowGame : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void threeWindowsPlay();

  private:
    void shoot(GameWindow *w, const QString &name);

    QTemporaryDir m_dir;
    e2e::ServerRunner m_server;
    quint16 m_port = 0;
    QString m_shots;
};

void TestWindowGame::initTestCase()
{
    const QString program = QStringLiteral(ZB_BIN_DIR "/zbserver");
    if (!QFile::exists(program)) QSKIP("zbserver is not built");
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings.ini")));
    m_shots = qEnvironmentVariable("ZB_SCREENSHOT_DIR");
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(japanese)) QApplication::setFont(QFont(japanese, 9));
    QFile::copy(QStringLiteral(ZB_BIN_DIR "/default.dat"), m_dir.filePath(QStringLiteral("default.dat")));
    QVERIFY2(m_server.start(40, {QStringLiteral("--rounds"), QStringLiteral("2")}),
             qPrintable(m_server.log()));
    m_port = m_server.port();
}

void TestWindowGame::cleanupTestCase()
{
    m_server.stop();
}

void TestWindowGame::shoot(GameWindow *w, const QString &name)
{
    if (!m_shots.isEmpty()) w->grab().save(m_shots + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void TestWindowGame::threeWindowsPlay()
{
    std::unique_ptr<GameWindow> windows[3];
    const QStringList names{QStringLiteral("はなこ"), QStringLiteral("taro"), QStringLiteral("じろう")};
    for (int i = 0; i < 3; ++i) {
        windows[i] = std::make_unique<GameWindow>();
        GameWindow *w = windows[i].get();
        w->client().setTickMs(40);
        w->client().setBindAddress(QHostAddress(QStringLiteral("127.0.0.%1").arg(i + 2)));
        w->prepare();
        w->move(20 * i, 20 * i);
        // The strokes below are in canvas pixels; the test screen is smaller than the window.
        w->resize(GameWindowLayout::ClassicSize);
        w->openConnectDialog(QStringLiteral("127.0.0.1:%1").arg(m_port));
        part<QLineEdit>(w->connectDialog(), "txtName")->setText(names.at(i));
        QTest::mouseClick(part<QPushButton>(w->connectDialog(), "cmdServer"), Qt::LeftButton);
        QTRY_VERIFY(w->client().isConnected());
        QTRY_COMPARE(part<QLabel>(w, "lblPlayer", i)->text(), names.at(i) + msg::OwnNameMark);
    }
    QTRY_COMPARE(part<QLabel>(windows[0].get(), "lblPlayer", 2)->text(), names.at(2));
    shoot(windows[0].get(), QStringLiteral("1-joined"));
    for (auto &w : windows) {
        QTRY_VERIFY(part<QPushButton>(w.get(), "cmdReady")->isEnabled());
        QTest::mouseClick(part<QPushButton>(w.get(), "cmdReady"), Qt::LeftButton);
    }
    int turns = 0;
    QString lastKey;
    QElapsedTimer elapsed;
    elapsed.start();
    GameWindow *first = windows[0].get();
    const auto over = [first] {
        return part<QPlainTextEdit>(first, "txtSystem")->toPlainText().contains(msg::BackToWaiting);
    };
    while (!over() && elapsed.elapsed() < 45000) {
        (void)QTest::qWaitFor(
            [&] {
                const RoundState &r = first->client().round();
                return over() || (r.inGame && r.timeLimit() > 100 &&
                                  QString::number(r.drawerSlot) + r.currentWord != lastKey);
            },
            1000);
        const RoundState &round = first->client().round();
        if (!round.inGame || round.timeLimit() <= 100) continue;
        const QString key = QString::number(round.drawerSlot) + round.currentWord;
        if (key == lastKey) continue;
        lastKey = key;
        ++turns;
        const int drawer = round.drawerSlot;
        GameWindow *d = windows[drawer].get();
        GameWindow *g = windows[(drawer + 1) % 3].get();
        QTRY_COMPARE(part<QLabel>(d, "lblQuestion")->text(), round.currentWord);
        // A small house: walls in blue, a red roof.
        QTest::mouseClick(part<ClickLabel>(d, "lblColor", 7), Qt::LeftButton);
        QTest::keyClick(d, Qt::Key_F2);
        const QList<QPoint> walls{{200, 400}, {200, 250}, {440, 250}, {440, 400}, {200, 400}};
        QTest::mousePress(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, walls.first());
        for (const QPoint &p : walls)
            QTest::mouseMove(part<CanvasWidget>(d, "picMain"), p);
        QTest::mouseRelease(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, walls.last());
        QTest::mouseClick(part<ClickLabel>(d, "lblColor", 2), Qt::LeftButton);
        QTest::mousePress(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, QPoint(180, 260));
        QTest::mouseMove(part<CanvasWidget>(d, "picMain"), QPoint(320, 120));
        QTest::mouseMove(part<CanvasWidget>(d, "picMain"), QPoint(460, 260));
        QTest::mouseRelease(part<CanvasWidget>(d, "picMain"), Qt::LeftButton, {}, QPoint(460, 260));
        QTRY_COMPARE(g->client().canvas().canvas().pixelValue(320, 250), 16711680);
        if (turns == 1) {
            shoot(d, QStringLiteral("2-turn-start-drawer"));
            shoot(g, QStringLiteral("2-turn-start-guesser"));
        }
        // Guesses count once the server's clock has left 120.
        QTRY_VERIFY(g->client().round().timeLimit() <= 118);
        part<QLineEdit>(g, "txtSend")->setText(round.currentWord);
        QTest::keyClick(part<QLineEdit>(g, "txtSend"), Qt::Key_Return);
        QTRY_VERIFY(part<QFrame>(first, "shpQok")->isVisible());
        QCOMPARE(part<QLabel>(first, "lblTimeLimit")->text(), QStringLiteral("-1"));
        if (turns == 1) shoot(g, QStringLiteral("3-hit"));
    }
    QCOMPARE(turns, 6);
    for (auto &w : windows) {
        QTRY_VERIFY(part<QPushButton>(w.get(), "cmdReady")->isEnabled());
        QVERIFY(part<QLabel>(w.get(), "lblOekakiChat")->isVisible());
    }
    shoot(first, QStringLiteral("4-game-end"));
}

QTEST_MAIN(TestWindowGame)
#include "tst_windowgame.moc"
