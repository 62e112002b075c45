// The console's own displays: the picture mirror, the receive lamps and the log.
#include "desktop/logview.h"
#include "server/console/canvasmirror.h"
#include "server/console/helplinks.h"
#include "server/console/receivelamps.h"
#include "server/texts/messages.h"
#include "shared/fileutil.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

using namespace zb;

class TestConsoleParts : public QObject {
    Q_OBJECT
  private slots:
    void mirrorDrawsADot();
    void mirrorDrawsAThreePixelLine();
    void mirrorFillsWithPaletteColour_data();
    void mirrorFillsWithPaletteColour();
    void mirrorIgnoresUnreadableStrokes_data();
    void mirrorIgnoresUnreadableStrokes();
    void mirrorDrawsTheReadablePartLikeTheClient();
    void mirrorSegmentsContinueFromThePen();

    void lampFadesBackToWhiteInThirteenTicks();
    void lampUnderAFastSenderStaysRed();
    void lampsIgnoreSlotsOutOfRange();

    void logKeepsItsNewest9000Characters();
    void logLineFormats();

    void helpPagesAreTheReadmeBesideTheProgram();
};

void TestConsoleParts::mirrorDrawsADot()
{
    CanvasMirror mirror;
    QVERIFY(mirror.drawStroke(QStringLiteral("255:8:100,100;")));
    QCOMPARE(mirror.pixelValue(100, 100), 255);
    QCOMPARE(mirror.pixelValue(102, 100), 255);
    QCOMPARE(mirror.pixelValue(100, 98), 255);
    QCOMPARE(mirror.pixelValue(106, 100), 16777215);
    QCOMPARE(mirror.pixelValue(100, 106), 16777215);
    QCOMPARE(mirror.penPosition(), QPoint(100, 100));
}

void TestConsoleParts::mirrorDrawsAThreePixelLine()
{
    CanvasMirror mirror;
    QVERIFY(mirror.drawStroke(QStringLiteral("0:3:10,10;20,10;")));
    // Three rows of pixels from end to end; the round ends only trim the corners.
    for (int x = 10; x <= 20; ++x) {
        QCOMPARE(mirror.pixelValue(x, 9), 0);
        QCOMPARE(mirror.pixelValue(x, 10), 0);
    }
    for (int x = 11; x <= 19; ++x)
        QCOMPARE(mirror.pixelValue(x, 11), 0);
    QCOMPARE(mirror.pixelValue(15, 7), 16777215);
    QCOMPARE(mirror.pixelValue(15, 13), 16777215);
    QCOMPARE(mirror.pixelValue(23, 10), 16777215);
    QCOMPARE(mirror.pixelValue(7, 10), 16777215);
    QCOMPARE(mirror.penPosition(), QPoint(20, 10));
}

void TestConsoleParts::mirrorFillsWithPaletteColour_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::newRow("magenta") << 8 << 16711935;
    QTest::newRow("black") << 0 << 0;
    QTest::newRow("white") << 1 << 16777215;
}

void TestConsoleParts::mirrorFillsWithPaletteColour()
{
    QFETCH(int, index);
    QFETCH(int, value);
    CanvasMirror mirror;
    mirror.drawStroke(QStringLiteral("65280:28:300,200;320,240;"));
    mirror.fill(index);
    for (const QPoint &p : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 479), QPoint(639, 479), QPoint(310, 220)})
        QCOMPARE(mirror.pixelValue(p.x(), p.y()), value);

    // A fill outside the palette changes nothing.
    const QImage before = mirror.image();
    mirror.fill(9);
    mirror.fill(-1);
    QCOMPARE(mirror.image(), before);
}

void TestConsoleParts::mirrorIgnoresUnreadableStrokes_data()
{
    QTest::addColumn<QString>("payload");
    QTest::newRow("empty") << QString();
    QTest::newRow("no parts") << QStringLiteral("garbage");
    QTest::newRow("two parts") << QStringLiteral("0:3");
    QTest::newRow("colour not a number") << QStringLiteral("red:3:1,1;");
    QTest::newRow("width not a number") << QStringLiteral("0:wide:1,1;");
    QTest::newRow("point without comma") << QStringLiteral("0:3:15;");
    QTest::newRow("point not a number") << QStringLiteral("0:3:a,b;");
    QTest::newRow("no points") << QStringLiteral("0:3:");
}

void TestConsoleParts::mirrorIgnoresUnreadableStrokes()
{
    QFETCH(QString, payload);
    CanvasMirror mirror;
    mirror.drawStroke(QStringLiteral("0:3:50,50;"));
    const QImage before = mirror.image();
    mirror.drawStroke(payload);
    QCOMPARE(mirror.image(), before);
    QCOMPARE(mirror.penPosition(), QPoint(50, 50));
    // The mirror keeps working afterwards.
    QVERIFY(mirror.drawStroke(QStringLiteral("255:3:400,400;")));
    QCOMPARE(mirror.pixelValue(400, 400), 255);
}

void TestConsoleParts::mirrorDrawsTheReadablePartLikeTheClient()
{
    CanvasMirror mirror;
    QVERIFY(!mirror.drawStroke(QStringLiteral("16711680:3:10,10;20,10;oops;30,30;")));
    QCOMPARE(mirror.pixelValue(15, 10), 16711680);
    QCOMPARE(mirror.pixelValue(30, 30), 16777215);
}

void TestConsoleParts::mirrorSegmentsContinueFromThePen()
{
    CanvasMirror mirror;
    mirror.drawStroke(QStringLiteral("0:1:100,100;"));
    mirror.drawSegment(100, 120, 255, 3);
    QCOMPARE(mirror.pixelValue(100, 110), 255);
    QCOMPARE(mirror.penPosition(), QPoint(100, 120));
}

void TestConsoleParts::lampFadesBackToWhiteInThirteenTicks()
{
    QWidget host;
    ReceiveLamps lamps(&host);
    lamps.setInterval(3600 * 1000); // ticked by hand
    QCOMPARE(lamps.color(3), QColor(255, 255, 255));
    QCOMPARE(lamps.lamp(3)->objectName(), QStringLiteral("lblReceive3"));

    lamps.light(3);
    QCOMPARE(lamps.color(3), QColor(255, 0, 0));
    QCOMPARE(lamps.lamp(3)->palette().color(QPalette::Window), QColor(255, 0, 0));
    for (int tick = 1; tick <= 12; ++tick) {
        lamps.onFadeTick();
        QCOMPARE(lamps.level(3), 20 * tick);
    }
    lamps.onFadeTick();
    QCOMPARE(lamps.level(3), 255);
    QCOMPARE(lamps.lamp(3)->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(lamps.level(2), 255);
}

void TestConsoleParts::lampUnderAFastSenderStaysRed()
{
    QWidget host;
    ReceiveLamps lamps(&host);
    lamps.setInterval(50);
    QTimer sender;
    sender.setTimerType(Qt::PreciseTimer);
    sender.setInterval(30);
    int lightest = 0;
    int samples = 0;
    bool allRed = true;
    // Sampled just before each light, where the lamp has faded most.
    connect(&sender, &QTimer::timeout, &lamps, [&] {
        const QColor c = lamps.lamp(5)->palette().color(QPalette::Window);
        allRed = allRed && c.red() == 255;
        lightest = qMax(lightest, c.green());
        ++samples;
    });
    connect(&sender, &QTimer::timeout, &lamps, [&lamps] { lamps.light(5); });
    lamps.light(5);
    sender.start();
    QTRY_VERIFY_WITH_TIMEOUT(samples > 23, 10000);
    sender.stop();
    QVERIFY(allRed);
    QVERIFY(samples > 20);
    QVERIFY2(lightest <= 20, qPrintable(QString::number(lightest)));
    // Once the sender stops, the lamp fades out.
    QTRY_COMPARE(lamps.level(5), 255);
}

void TestConsoleParts::lampsIgnoreSlotsOutOfRange()
{
    QWidget host;
    ReceiveLamps lamps(&host);
    lamps.light(-1);
    lamps.light(8);
    QCOMPARE(lamps.lamp(8), nullptr);
    for (int i = 0; i < ReceiveLamps::Slots; ++i)
        QCOMPARE(lamps.level(i), 255);
}

void TestConsoleParts::logKeepsItsNewest9000Characters()
{
    LogView view;
    QString all;
    // Lines of 100 characters (CR LF included); the 101st passes 10000.
    for (int i = 0; i < 100; ++i) {
        const QString line = QString(98, QLatin1Char('a' + i % 26)) + QStringLiteral("\r\n");
        view.appendLine(line);
        all += line;
    }
    QCOMPARE(view.logText(), all);
    const QString last = QStringLiteral("x\r\n");
    view.appendLine(last);
    all += last;
    QCOMPARE(all.size(), 10003);
    QCOMPARE(view.logText(), all.right(9000));
    // The view shows the kept text; CR never reaches the screen.
    QCOMPARE(view.toPlainText(), QString(all.right(9000)).remove(QLatin1Char('\r')));
    view.appendLine(QStringLiteral("next\r\n"));
    QVERIFY(view.toPlainText().endsWith(QStringLiteral("x\nnext\n")));
}

void TestConsoleParts::logLineFormats()
{
    LogView view;
    view.appendLine(LogBuffer::systemLine(msg::WaitingForPlayers));
    view.appendLine(LogBuffer::chatLine(QStringLiteral("taro> りんご")));
    const QStringList lines = view.logText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d <system> ") + msg::WaitingForPlayers +
                               QLatin1Char('$'))
                .match(lines[0])
                .hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d <taro> りんご$")).match(lines[1]).hasMatch());
}

void TestConsoleParts::helpPagesAreTheReadmeBesideTheProgram()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("build/bin")));
    const QString bin = dir.filePath(QStringLiteral("build/bin"));
    setProgramFolder(bin);
    const QString readme = QFileInfo(dir.filePath(QStringLiteral("README.md"))).absoluteFilePath();

    // Not found anywhere: still a page of this program, never an outside site.
    QUrl url(helpPageUrl(PortsSection));
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.fragment(), QStringLiteral("ports"));

    // A build tree finds the README of its source folder two levels up.
    QFile(readme).open(QIODevice::WriteOnly);
    url = QUrl(helpPageUrl(DictionariesSection));
    QCOMPARE(QFileInfo(url.toLocalFile()).canonicalFilePath(), QFileInfo(readme).canonicalFilePath());
    QCOMPARE(url.fragment(), QStringLiteral("dictionaries"));

    // An installed program finds the one beside it first.
    const QString beside = QDir(bin).filePath(QStringLiteral("README.md"));
    QFile(beside).open(QIODevice::WriteOnly);
    url = QUrl(helpPageUrl(PortsSection));
    QCOMPARE(QFileInfo(url.toLocalFile()).canonicalFilePath(), QFileInfo(beside).canonicalFilePath());
}

QTEST_MAIN(TestConsoleParts)
#include "tst_consoleparts.moc"
