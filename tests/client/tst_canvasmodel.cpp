#include "client/core/canvasmodel.h"
#include "client/core/gameclient.h"
#include "client/core/messages.h"
#include "client/core/roundstate.h"
#include "tests/client/spytexts.h"

#include <QSignalSpy>
#include <QTest>

using namespace zb;

namespace {
int pointEntries(const QString &payload)
{
    return int(payload.section(QLatin1Char(':'), 2).count(QLatin1Char(';')));
}
} // namespace

class TestCanvasModel : public QObject {
    Q_OBJECT
  private slots:
    void redStroke();
    void singleClickDot();
    void strokeCutAt5000();
    void outsidePointsRecorded();
    void permission_data();
    void permission();
    void drawerStrokeAtTimeUpNotSent();
    void strokeStopsWhenAnotherDrawsNow();
    void replay();
    void replayDuringLocalStroke();
    void replayBadAndLenient();
    void colourPicking();
    void widthCycling();
    void colorChangeWidth();
    void fill();
};

void TestCanvasModel::redStroke()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.pickColor(2);
    model.pickPenWidth(1);
    model.beginStroke(Qt::LeftButton, QPointF(10, 20));
    model.extendStroke(QPointF(11, 22));
    model.extendStroke(QPointF(13, 25));
    model.finishStroke();
    QCOMPARE(texts(sent), QStringList{QStringLiteral("255:8:10,20;10,20;11,22;13,25;")});
    QCOMPARE(model.canvas().pixelValue(12, 23), 255);
    QCOMPARE(model.pointCount(), 0);
    QVERIFY(!model.penDown());
}

void TestCanvasModel::singleClickDot()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.beginStroke(Qt::LeftButton, QPointF(100, 100));
    model.finishStroke();
    QCOMPARE(texts(sent), QStringList{QStringLiteral("0:3:100,100;100,100;")});
    QCOMPARE(model.canvas().pixelValue(100, 100), 0);
    // The receiver draws the same dot.
    CanvasModel other;
    QVERIFY(other.drawStroke(sent.at(0).at(0).toString()));
    QCOMPARE(other.canvas().pixelValue(100, 100), 0);
    QCOMPARE(other.canvas().pixelValue(110, 100), 16777215);
}

void TestCanvasModel::strokeCutAt5000()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.beginStroke(Qt::LeftButton, QPointF(0, 0));
    for (int i = 1; i <= 4998; ++i)
        model.extendStroke(QPointF(i % 640, (i / 640) * 3));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(pointEntries(sent.at(0).at(0).toString()), 5000);
    QVERIFY(!model.penDown());
    const QImage before = model.image();
    model.extendStroke(QPointF(300, 400));
    model.extendStroke(QPointF(320, 420));
    model.finishStroke();
    QCOMPARE(model.image(), before);
    QCOMPARE(sent.size(), 1);
}

void TestCanvasModel::outsidePointsRecorded()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.beginStroke(Qt::LeftButton, QPointF(5, 5));
    model.extendStroke(QPointF(-12, 700));
    model.finishStroke();
    QCOMPARE(texts(sent), QStringList{QStringLiteral("0:3:5,5;5,5;-12,700;")});
}

void TestCanvasModel::permission_data()
{
    QTest::addColumn<bool>("inGame");
    QTest::addColumn<bool>("drawer");
    QTest::addColumn<int>("clock");
    QTest::addColumn<bool>("draws");
    QTest::addColumn<bool>("fills");
    QTest::newRow("between games") << false << false << -1 << true << true;
    QTest::newRow("drawer, time left") << true << true << 50 << true << true;
    QTest::newRow("drawer at 0") << true << true << 0 << false << true;
    QTest::newRow("drawer after hit") << true << true << -1 << false << true;
    QTest::newRow("guesser") << true << false << 50 << false << false;
}

void TestCanvasModel::permission()
{
    QFETCH(bool, inGame);
    QFETCH(bool, drawer);
    QFETCH(int, clock);
    QFETCH(bool, draws);
    QFETCH(bool, fills);
    GameClient client;
    CanvasModel &model = client.canvas();
    client.reset();
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    if (inGame) {
        client.dispatch(QStringLiteral("QST"), drawer ? QStringLiteral("0:あ") : QStringLiteral("1:あ"));
        if (clock == -1) client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
        while (client.round().timeLimit() > clock)
            client.onClockTick();
    }
    QCOMPARE(client.round().timeLimit(), inGame ? clock : -1);
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    QSignalSpy filled(&model, &CanvasModel::filled);
    model.beginStroke(Qt::LeftButton, QPointF(50, 50));
    model.extendStroke(QPointF(60, 50));
    model.finishStroke();
    QCOMPARE(sent.size(), draws ? 1 : 0);
    QCOMPARE(model.canvas().pixelValue(55, 50), draws ? 0 : 16777215);
    model.fillWithColor(2);
    QCOMPARE(filled.size(), fills ? 1 : 0);
    QCOMPARE(model.canvas().pixelValue(5, 5), fills ? 255 : 16777215);
    // Pen choices are the player's own at any time.
    model.pickColor(5);
    model.pickPenWidth(2);
    QCOMPARE(model.drawColor(), 65280);
    QCOMPARE(model.penWidth(), 16);
}

void TestCanvasModel::drawerStrokeAtTimeUpNotSent()
{
    GameClient client;
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:あ"));
    for (int i = 0; i < 119; ++i)
        client.onClockTick();
    QSignalSpy sent(&client.canvas(), &CanvasModel::strokeFinished);
    client.canvas().beginStroke(Qt::LeftButton, QPointF(50, 50));
    client.canvas().extendStroke(QPointF(70, 50));
    client.onClockTick();
    QCOMPARE(client.round().timeLimit(), 0);
    QVERIFY(!client.canvas().penDown());
    QCOMPARE(client.canvas().pointCount(), 0);
    client.canvas().finishStroke();
    QCOMPARE(sent.size(), 0);
    // The stroke stays on the drawer's own canvas.
    QCOMPARE(client.canvas().canvas().pixelValue(60, 50), 0);
}

void TestCanvasModel::strokeStopsWhenAnotherDrawsNow()
{
    GameClient client;
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    QSignalSpy sent(&client.canvas(), &CanvasModel::strokeFinished);
    // Pressed between games, when everybody draws; then slot 1's turn begins.
    client.canvas().beginStroke(Qt::LeftButton, QPointF(50, 50));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:あ"));
    QVERIFY(!client.round().mayDraw());
    client.canvas().extendStroke(QPointF(90, 50));
    QCOMPARE(client.canvas().canvas().pixelValue(70, 50), 16777215);
    client.canvas().finishStroke();
    QCOMPARE(sent.size(), 0);
}

void TestCanvasModel::replay()
{
    CanvasModel model;
    model.reset();
    model.pickPenWidth(2);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    QVERIFY(model.drawStroke(QStringLiteral("255:8:10,20;10,20;11,22;")));
    QCOMPARE(model.canvas().pixelValue(10, 20), 255);
    QCOMPARE(model.canvas().pixelValue(11, 22), 255);
    QCOMPARE(model.canvas().pixelValue(30, 20), 16777215);
    QCOMPARE(model.penWidth(), 16);
    QVERIFY(sounds.isEmpty());
}

void TestCanvasModel::replayDuringLocalStroke()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.beginStroke(Qt::LeftButton, QPointF(100, 100));
    model.extendStroke(QPointF(110, 100));
    QVERIFY(model.drawStroke(QStringLiteral("16711680:28:300,300;300,300;400,400;")));
    model.extendStroke(QPointF(120, 100));
    model.finishStroke();
    // The local stroke went on from its own last point with its own width.
    QCOMPARE(model.canvas().pixelValue(115, 100), 0);
    QCOMPARE(model.canvas().pixelValue(115, 104), 16777215);
    QCOMPARE(texts(sent), QStringList{QStringLiteral("0:3:100,100;100,100;110,100;120,100;")});
    QCOMPARE(model.canvas().pixelValue(350, 350), 16711680);
}

void TestCanvasModel::replayBadAndLenient()
{
    GameClient client;
    QSignalSpy sys(&client, &GameClient::systemText);
    client.dispatch(QStringLiteral("STK"), QStringLiteral("255:8:10,20;10,20;40,20;x,5;600,20;"));
    QCOMPARE(texts(sys), QStringList{msg::UnknownError});
    QCOMPARE(client.canvas().canvas().pixelValue(30, 20), 255);
    QCOMPARE(client.canvas().canvas().pixelValue(300, 20), 16777215);
    sys.clear();
    client.dispatch(QStringLiteral("STK"), QStringLiteral("65280:8:100,200;100,200;130,200"));
    QVERIFY(sys.isEmpty());
    QCOMPARE(client.canvas().canvas().pixelValue(129, 200), 65280);
    client.dispatch(QStringLiteral("STK"), QStringLiteral("x:8:1,1;"));
    client.dispatch(QStringLiteral("STK"), QStringLiteral("0:y:1,1;"));
    QCOMPARE(sys.size(), 2);
}

void TestCanvasModel::colourPicking()
{
    CanvasModel model;
    model.reset();
    QSignalSpy chosen(&model, &CanvasModel::colorSelected);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.beginStroke(Qt::RightButton, QPointF(5, 5));
    QCOMPARE(model.colorIndex(), 1);
    QCOMPARE(model.drawColor(), 16777215);
    QVERIFY(model.drawStroke(QStringLiteral("255:8:50,50;50,50;")));
    model.beginStroke(Qt::RightButton, QPointF(50, 50));
    QCOMPARE(model.colorIndex(), 2);
    QVERIFY(model.drawStroke(QStringLiteral("123456:8:80,80;80,80;")));
    model.beginStroke(Qt::RightButton, QPointF(80, 80));
    QCOMPARE(model.colorIndex(), 0);
    QCOMPARE(model.drawColor(), 0);
    QCOMPARE(chosen.size(), 3);
    QCOMPARE(texts(sounds), QStringList(3, QStringLiteral("click")));
    QVERIFY(!model.penDown());
}

void TestCanvasModel::widthCycling()
{
    CanvasModel model;
    model.reset();
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    QList<int> widths;
    for (int i = 0; i < 5; ++i) {
        model.beginStroke(Qt::MiddleButton, QPointF(1, 1));
        widths << model.penWidth();
    }
    QCOMPARE(widths, (QList<int>{8, 16, 28, 3, 8}));
    QCOMPARE(texts(sounds), QStringList(5, QStringLiteral("click2")));
    // Not while drawing is refused.
    RoundState round;
    round.mySlot = 0;
    round.startTurn(1, QStringLiteral("a"));
    CanvasModel guesser(&round);
    guesser.reset();
    guesser.beginStroke(Qt::MiddleButton, QPointF(1, 1));
    QCOMPARE(guesser.penWidth(), 3);
}

void TestCanvasModel::colorChangeWidth()
{
    CanvasModel model;
    model.reset();
    model.setColorChangeWidth(true);
    model.pickPenWidth(3);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.pickColor(7);
    QCOMPARE(texts(sounds), (QStringList{QStringLiteral("click"), QStringLiteral("click2")}));
    QCOMPARE(model.penWidth(), 3);
    QCOMPARE(model.drawColor(), 16711680);
}

void TestCanvasModel::fill()
{
    CanvasModel model;
    QSignalSpy filled(&model, &CanvasModel::filled);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.fillWithColor(3);
    QCOMPARE(model.canvas().pixelValue(639, 479), 33023);
    model.clearCanvas();
    QCOMPARE(model.canvas().pixelValue(0, 0), 16777215);
    QCOMPARE(texts(filled), (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
    QCOMPARE(texts(sounds), QStringList(2, QStringLiteral("cls")));
    // A received fill makes no sound and is not sent back.
    model.fill(6);
    QCOMPARE(model.canvas().pixelValue(1, 1), 16776960);
    QCOMPARE(filled.size(), 2);
    QCOMPARE(sounds.size(), 2);
}

QTEST_MAIN(TestCanvasModel)
#include "tst_canvasmodel.moc"
