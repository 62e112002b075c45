#include "shared/gui/canvasimage.h"
#include "shared/letterhint.h"
#include "shared/logbuffer.h"
#include "shared/settingsstore.h"
#include "shared/statusrecord.h"
#include "shared/stroke.h"
#include "shared/textutil.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

class TstModels : public QObject {
    Q_OBJECT
  private slots:
    void logLines()
    {
        const QTime t(9, 5);
        QCOMPARE(LogBuffer::chatLine(QStringLiteral("alice> hi"), t), QStringLiteral("09:05 <alice> hi\r\n"));
        QCOMPARE(LogBuffer::systemLine(QStringLiteral("x"), t), QStringLiteral("09:05 <system> x\r\n"));
        QCOMPARE(LogBuffer::clientChatLine(QStringLiteral("bob> yo")), QStringLiteral("<bob> yo\r\n"));
        QCOMPARE(LogBuffer::clientSystemLine(QStringLiteral("y"), QTime(23, 59)),
                 QStringLiteral("23:59 y\r\n"));
    }

    void logTrim()
    {
        LogBuffer log;
        QVERIFY(!log.append(QString(9999, QLatin1Char('a'))));
        QVERIFY(!log.append(QStringLiteral("b")));
        QCOMPARE(log.text().size(), 10000);
        QVERIFY(log.append(QStringLiteral("c")));
        QCOMPARE(log.text().size(), 9000);
        QVERIFY(log.text().endsWith(QStringLiteral("bc")));
    }

    void hints_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("t");
        QTest::addColumn<QString>("shown");
        const QString null;
        QTest::newRow("2 at 90") << QStringLiteral("いぬ") << 90 << QStringLiteral("○○");
        QTest::newRow("2 at 30") << QStringLiteral("いぬ") << 30 << null;
        QTest::newRow("3 at 60") << QStringLiteral("りんご") << 60 << null;
        QTest::newRow("3 at 30") << QStringLiteral("りんご") << 30 << QStringLiteral("り○○");
        QTest::newRow("4 at 45") << QStringLiteral("くるまや") << 45 << QStringLiteral("く○○○");
        QTest::newRow("5 at 30") << QStringLiteral("さくらんぼ") << 30 << QStringLiteral("さ○○○ぼ");
        QTest::newRow("5 at 60") << QStringLiteral("さくらんぼ") << 60 << null;
        QTest::newRow("6 at 60") << QStringLiteral("ひこうきぐも") << 60 << QStringLiteral("ひ○○○○○");
        QTest::newRow("6 at 40") << QStringLiteral("ひこうきぐも") << 40 << QStringLiteral("ひ○○○○も");
        QTest::newRow("6 at 45") << QStringLiteral("ひこうきぐも") << 45 << null;
        QTest::newRow("10 at 90") << QStringLiteral("abcdefghij") << 90 << QStringLiteral("○○○○○○○○○○");
        QTest::newRow("10 at 60") << QStringLiteral("abcdefghij") << 60 << QStringLiteral("a○○○○○○○○○");
        QTest::newRow("10 at 45") << QStringLiteral("abcdefghij") << 45 << QStringLiteral("a○○○○○○○○j");
        QTest::newRow("10 at 30") << QStringLiteral("abcdefghij") << 30 << QStringLiteral("ab○○○○○○○j");
        QTest::newRow("10 at 20") << QStringLiteral("abcdefghij") << 20 << QStringLiteral("ab○○○○○○ij");
        QTest::newRow("10 at 40") << QStringLiteral("abcdefghij") << 40 << null;
        QTest::newRow("301 at 60") << QString(301, QLatin1Char('x')) << 60 << null;
    }
    void hints()
    {
        QFETCH(QString, word);
        QFETCH(int, t);
        QFETCH(QString, shown);
        const QString got = letterHint(word, t);
        QCOMPARE(got.isNull(), shown.isNull());
        QCOMPARE(got, shown);
    }

    void strokeEncoding()
    {
        const QList<QPointF> pts{{10, 20}, {10, 20}, {11, 22}, {13, 25}};
        QCOMPARE(encodeStroke(255, 8, pts), QStringLiteral("255:8:10,20;10,20;11,22;13,25;"));
        QCOMPARE(formatPoint(-3, 0.5), QStringLiteral("-3,0.5"));

        Stroke s = decodeStroke(QStringLiteral("255:8:10,20;10,20;11,22;13,25;"));
        QVERIFY(s.ok);
        QCOMPARE(s.color, 255);
        QCOMPARE(s.width, 8);
        QCOMPARE(s.points, pts);
        // Without the final ";" the last point still counts.
        s = decodeStroke(QStringLiteral("0:3:1,2;3,4"));
        QVERIFY(s.ok);
        QCOMPARE(s.points.size(), 2);
        // A bad point ends the stroke there; what came before is kept.
        s = decodeStroke(QStringLiteral("0:3:1,2;x,4;5,6;"));
        QVERIFY(!s.ok);
        QCOMPARE(s.points, QList<QPointF>{QPointF(1, 2)});
        QVERIFY(!decodeStroke(QStringLiteral("red:3:1,2;")).ok);
        QVERIFY(!decodeStroke(QStringLiteral("0:3")).ok);
        QVERIFY(!decodeStroke(QStringLiteral("0:99999:1,1;")).ok);
        QVERIFY(decodeStroke(QStringLiteral("0:3:")).points.isEmpty());
    }

    void fillsAndPalette()
    {
        int i = -1;
        QVERIFY(decodeFill(QStringLiteral("8"), i));
        QCOMPARE(i, 8);
        QVERIFY(!decodeFill(QStringLiteral("9"), i));
        QVERIFY(!decodeFill(QStringLiteral("-1"), i));
        QVERIFY(!decodeFill(QStringLiteral("x"), i));
        QCOMPARE(paletteIndexOf(16777215), 1);
        QCOMPARE(paletteIndexOf(33023), 3);
        QCOMPARE(paletteIndexOf(12345), 0);
        QCOMPARE(colorValue(255, 128, 0), 33023);
    }

    void canvasDrawing()
    {
        CanvasImage c;
        QCOMPARE(c.image().size(), QSize(640, 480));
        QCOMPARE(c.pixelValue(0, 0), PaletteValues[1]);
        // A black line from (10,10) to (20,10), width 3.
        c.drawSegment(QPointF(10, 10), QPointF(20, 10), 0, 3);
        QCOMPARE(c.pixelValue(15, 10), 0);
        QCOMPARE(c.pixelValue(15, 14), PaletteValues[1]);
        // A single click leaves a round dot.
        const Stroke dot = decodeStroke(QStringLiteral("255:8:100,100;100,100;"));
        c.drawStroke(dot);
        QCOMPARE(c.pixelValue(100, 100), 255);
        QCOMPARE(c.pixelValue(102, 101), 255);
        QCOMPARE(c.pixelValue(110, 100), PaletteValues[1]);
        c.clear(8);
        QCOMPARE(c.pixelValue(320, 240), 16711935);
        QCOMPARE(c.pixelValue(640, 0), -1);
        // Every pixel stays a palette colour: no smoothing.
        c.drawStroke(decodeStroke(QStringLiteral("33023:28:0,0;0,0;200,130;400,30;")));
        QSet<int> seen;
        for (int y = 0; y < 480; y += 3)
            for (int x = 0; x < 640; x += 3)
                seen.insert(c.pixelValue(x, y));
        QCOMPARE(seen, (QSet<int>{16711935, 33023}));
    }

    void statusRecord()
    {
        StatusRecord r;
        r.add(QStringLiteral("port="), QStringLiteral("27064"))
            .add(QStringLiteral("roomname="), QStringLiteral("部屋 一"));
        QCOMPARE(r.text(), QStringLiteral("port=27064&roomname=部屋 一&"));
        QVERIFY(!r.encoded().contains(QLatin1Char(':')));
        QVERIFY(!r.encoded().contains(QLatin1Char('&')));
        const QString back = StatusRecord::decode(r.encoded());
        QCOMPARE(StatusRecord::field(back, QStringLiteral("roomname=")), QStringLiteral("部屋 一"));
        QCOMPARE(StatusRecord::field(back, QStringLiteral("playermax=")), QString());
        // The first occurrence of the key's text counts, wherever it stands.
        QCOMPARE(StatusRecord::field(QStringLiteral("xport=1&port=2&"), QStringLiteral("port=")),
                 QStringLiteral("1"));
    }

    void settingsStore()
    {
        QTemporaryDir dir;
        SettingsStore::setFile(dir.filePath(QStringLiteral("settings.ini")));
        QCOMPARE(SettingsStore::read(QStringLiteral("Name")), QString());
        SettingsStore::write(QStringLiteral("Name"), QStringLiteral("ゼンブリル"));
        SettingsStore::write(QStringLiteral("Port"), QStringLiteral("x"));
        SettingsStore::write(QStringLiteral("Cost"), QStringLiteral("70000"));
        QCOMPARE(SettingsStore::read(QStringLiteral("Name")), QStringLiteral("ゼンブリル"));
        int v = 27064;
        QVERIFY(!SettingsStore::readInt(QStringLiteral("Port"), v));
        QCOMPARE(v, 27064);
        v = 9;
        QVERIFY(!SettingsStore::readInt16(QStringLiteral("Cost"), v));
        QCOMPARE(v, 9);
        QVERIFY(SettingsStore::readInt(QStringLiteral("Cost"), v));
        QCOMPARE(v, 70000);
        SettingsStore::setFile(QString());
        // The default store lives under the application's name.
        QVERIFY(SettingsStore::location().contains(QStringLiteral("ゼンブリル")));
    }
};

QTEST_GUILESS_MAIN(TstModels)
#include "tst_models.moc"
