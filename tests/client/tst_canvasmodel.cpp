#include "canvasmodel.h"
#include "client/core/messages.h"
#include "gameclient.h"
#include "roundstate.h"
#include "spytexts.h"

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
    model.Init();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.lblColor_Click(2);
    model.lblDrawWidth_Click(1);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(10, 20));
    model.picMain_MouseMove(QPointF(11, 22));
    model.picMain_MouseMove(QPointF(13, 25));
    model.picMain_MouseUp();
    QCOMPARE(texts(sent), QStringList{QStringLiteral("255:8:10,20;10,20;11,22;13,25;")});
    QCOMPARE(model.canvas().pixelValue(12, 23), 255);
    QCOMPARE(model.PointCount(), 0);
    QVERIFY(!model.PenDown());
}

void TestCanvasModel::singleClickDot()
{
    CanvasModel model;
    model.Init();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(100, 100));
    model.picMain_MouseUp();
    QCOMPARE(texts(sent), QStringList{QStringLiteral("0:3:100,100;100,100;")});
    QCOMPARE(model.canvas().pixelValue(100, 100), 0);
    // The receiver draws the same dot.
    CanvasModel other;
    QVERIFY(other.DrawLine(sent.at(0).at(0).toString()));
    QCOMPARE(other.canvas().pixelValue(100, 100), 0);
    QCOMPARE(other.canvas().pixelValue(110, 100), 16777215);
}

void TestCanvasModel::strokeCutAt5000()
{
    CanvasModel model;
    model.Init();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(0, 0));
    for (int i = 1; i <= 4998; ++i)
        model.picMain_MouseMove(QPointF(i % 640, (i / 640) * 3));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(pointEntries(sent.at(0).at(0).toString()), 5000);
    QVERIFY(!model.PenDown());
    const QImage before = model.image();
    model.picMain_MouseMove(QPointF(300, 400));
    model.picMain_MouseMove(QPointF(320, 420));
    model.picMain_MouseUp();
    QCOMPARE(model.image(), before);
    QCOMPARE(sent.size(), 1);
}

void TestCanvasModel::outsidePointsRecorded()
{
    CanvasModel model;
    model.Init();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(5, 5));
    model.picMain_MouseMove(QPointF(-12, 700));
    model.picMain_MouseUp();
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
    client.Init();
    client.Cont(QStringLiteral("NUM"), QStringLiteral("0"));
    if (inGame) {
        client.Cont(QStringLiteral("QST"), drawer ? QStringLiteral("0:あ") : QStringLiteral("1:あ"));
        if (clock == -1) client.Cont(QStringLiteral("QOK"), QStringLiteral("1"));
        while (client.round().timeLimit() > clock)
            client.tmrTimelimit_Timer();
    }
    QCOMPARE(client.round().timeLimit(), inGame ? clock : -1);
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    QSignalSpy filled(&model, &CanvasModel::filled);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(50, 50));
    model.picMain_MouseMove(QPointF(60, 50));
    model.picMain_MouseUp();
    QCOMPARE(sent.size(), draws ? 1 : 0);
    QCOMPARE(model.canvas().pixelValue(55, 50), draws ? 0 : 16777215);
    model.lblColor_DblClick(2);
    QCOMPARE(filled.size(), fills ? 1 : 0);
    QCOMPARE(model.canvas().pixelValue(5, 5), fills ? 255 : 16777215);
    // Pen choices are the player's own at any time.
    model.lblColor_Click(5);
    model.lblDrawWidth_Click(2);
    QCOMPARE(model.DrawColor(), 65280);
    QCOMPARE(model.PenWidth(), 16);
}

void TestCanvasModel::drawerStrokeAtTimeUpNotSent()
{
    GameClient client;
    client.Cont(QStringLiteral("NUM"), QStringLiteral("0"));
    client.Cont(QStringLiteral("QST"), QStringLiteral("0:あ"));
    for (int i = 0; i < 119; ++i)
        client.tmrTimelimit_Timer();
    QSignalSpy sent(&client.canvas(), &CanvasModel::strokeFinished);
    client.canvas().picMain_MouseDown(Qt::LeftButton, QPointF(50, 50));
    client.canvas().picMain_MouseMove(QPointF(70, 50));
    client.tmrTimelimit_Timer();
    QCOMPARE(client.round().timeLimit(), 0);
    QVERIFY(!client.canvas().PenDown());
    QCOMPARE(client.canvas().PointCount(), 0);
    client.canvas().picMain_MouseUp();
    QCOMPARE(sent.size(), 0);
    // The stroke stays on the drawer's own canvas.
    QCOMPARE(client.canvas().canvas().pixelValue(60, 50), 0);
}

void TestCanvasModel::replay()
{
    CanvasModel model;
    model.Init();
    model.lblDrawWidth_Click(2);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    QVERIFY(model.DrawLine(QStringLiteral("255:8:10,20;10,20;11,22;")));
    QCOMPARE(model.canvas().pixelValue(10, 20), 255);
    QCOMPARE(model.canvas().pixelValue(11, 22), 255);
    QCOMPARE(model.canvas().pixelValue(30, 20), 16777215);
    QCOMPARE(model.PenWidth(), 16);
    QVERIFY(sounds.isEmpty());
}

void TestCanvasModel::replayDuringLocalStroke()
{
    CanvasModel model;
    model.Init();
    QSignalSpy sent(&model, &CanvasModel::strokeFinished);
    model.picMain_MouseDown(Qt::LeftButton, QPointF(100, 100));
    model.picMain_MouseMove(QPointF(110, 100));
    QVERIFY(model.DrawLine(QStringLiteral("16711680:28:300,300;300,300;400,400;")));
    model.picMain_MouseMove(QPointF(120, 100));
    model.picMain_MouseUp();
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
    client.Cont(QStringLiteral("STK"), QStringLiteral("255:8:10,20;10,20;40,20;x,5;600,20;"));
    QCOMPARE(texts(sys), QStringList{msg::UnknownError});
    QCOMPARE(client.canvas().canvas().pixelValue(30, 20), 255);
    QCOMPARE(client.canvas().canvas().pixelValue(300, 20), 16777215);
    sys.clear();
    client.Cont(QStringLiteral("STK"), QStringLiteral("65280:8:100,200;100,200;130,200"));
    QVERIFY(sys.isEmpty());
    QCOMPARE(client.canvas().canvas().pixelValue(129, 200), 65280);
    client.Cont(QStringLiteral("STK"), QStringLiteral("x:8:1,1;"));
    client.Cont(QStringLiteral("STK"), QStringLiteral("0:y:1,1;"));
    QCOMPARE(sys.size(), 2);
}

void TestCanvasModel::colourPicking()
{
    CanvasModel model;
    model.Init();
    QSignalSpy chosen(&model, &CanvasModel::colorSelected);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.picMain_MouseDown(Qt::RightButton, QPointF(5, 5));
    QCOMPARE(model.colorIndex(), 1);
    QCOMPARE(model.DrawColor(), 16777215);
    QVERIFY(model.DrawLine(QStringLiteral("255:8:50,50;50,50;")));
    model.picMain_MouseDown(Qt::RightButton, QPointF(50, 50));
    QCOMPARE(model.colorIndex(), 2);
    QVERIFY(model.DrawLine(QStringLiteral("123456:8:80,80;80,80;")));
    model.picMain_MouseDown(Qt::RightButton, QPointF(80, 80));
    QCOMPARE(model.colorIndex(), 0);
    QCOMPARE(model.DrawColor(), 0);
    QCOMPARE(chosen.size(), 3);
    QCOMPARE(texts(sounds), QStringList(3, QStringLiteral("click")));
    QVERIFY(!model.PenDown());
}

void TestCanvasModel::widthCycling()
{
    CanvasModel model;
    model.Init();
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    QList<int> widths;
    for (int i = 0; i < 5; ++i) {
        model.picMain_MouseDown(Qt::MiddleButton, QPointF(1, 1));
        widths << model.PenWidth();
    }
    QCOMPARE(widths, (QList<int>{8, 16, 28, 3, 8}));
    QCOMPARE(texts(sounds), QStringList(5, QStringLiteral("click2")));
    // Not while drawing is refused.
    RoundState round;
    round.MySlot = 0;
    round.startTurn(1, QStringLiteral("a"));
    CanvasModel guesser(&round);
    guesser.Init();
    guesser.picMain_MouseDown(Qt::MiddleButton, QPointF(1, 1));
    QCOMPARE(guesser.PenWidth(), 3);
}

void TestCanvasModel::colorChangeWidth()
{
    CanvasModel model;
    model.Init();
    model.setColorChangeWidth(true);
    model.lblDrawWidth_Click(3);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.lblColor_Click(7);
    QCOMPARE(texts(sounds), (QStringList{QStringLiteral("click"), QStringLiteral("click2")}));
    QCOMPARE(model.PenWidth(), 3);
    QCOMPARE(model.DrawColor(), 16711680);
}

void TestCanvasModel::fill()
{
    CanvasModel model;
    QSignalSpy filled(&model, &CanvasModel::filled);
    QSignalSpy sounds(&model, &CanvasModel::soundRequested);
    model.lblColor_DblClick(3);
    QCOMPARE(model.canvas().pixelValue(639, 479), 33023);
    model.cmdClear_Click();
    QCOMPARE(model.canvas().pixelValue(0, 0), 16777215);
    QCOMPARE(texts(filled), (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
    QCOMPARE(texts(sounds), QStringList(2, QStringLiteral("cls")));
    // A received fill makes no sound and is not sent back.
    model.ClsScreen(6);
    QCOMPARE(model.canvas().pixelValue(1, 1), 16776960);
    QCOMPARE(filled.size(), 2);
    QCOMPARE(sounds.size(), 2);
}

QTEST_MAIN(TestCanvasModel)
#include "tst_canvasmodel.moc"
