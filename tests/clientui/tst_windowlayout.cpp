// The game window's canvas, palette and panels, at today's size and others.
#include "client/core/messages.h"
#include "client/ui/canvaswidget.h"
#include "client/ui/clicklabel.h"
#include "client/ui/gamewindow.h"
#include "client/ui/gamewindowlayout.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/settingsstore.h"
#include "tests/client/fakeserver.h"
#include "tests/clientui/windowparts.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace zb;

class TestWindowLayout : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void canvasAndPalette();
    void layoutFitsEverySize();
    void strokesAlikeAtEverySize();
    void ownPanelMarked();
    void everyWindowFitsAtItsMinimum();

  private:
    QTemporaryDir m_dir;
};

void TestWindowLayout::initTestCase()
{
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
}

void TestWindowLayout::init()
{
    static int n = 0;
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(++n)));
}

void TestWindowLayout::canvasAndPalette()
{
    GameWindow w;
    w.prepare();
    w.resize(GameWindowLayout::ClassicSize);
    const CanvasModel &model = w.client().canvas();
    QTest::mouseClick(part<ClickLabel>(&w, "lblColor", 2), Qt::LeftButton);
    QCOMPARE(model.drawColor(), 255);
    QVERIFY(part<QFrame>(&w, "shpSelectedColor")
                ->geometry()
                .contains(part<ClickLabel>(&w, "lblColor", 2)->geometry()));
    QTest::mousePress(part<CanvasWidget>(&w, "picMain"), Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(part<CanvasWidget>(&w, "picMain"), QPoint(140, 100));
    QTest::mouseRelease(part<CanvasWidget>(&w, "picMain"), Qt::LeftButton, {}, QPoint(140, 100));
    QCOMPARE(w.client().canvas().canvas().pixelValue(120, 100), 255);
    // What the widget shows is the model's picture.
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->grab().toImage().pixelColor(120, 100), QColor(255, 0, 0));
    QTest::mouseDClick(part<ClickLabel>(&w, "lblColor", 5), Qt::LeftButton);
    QCOMPARE(w.client().canvas().canvas().pixelValue(5, 5), 65280);
    QCOMPARE(model.drawColor(), 65280);
    QTest::mouseClick(part<ClickLabel>(&w, "lblColor", 4), Qt::LeftButton);
    QVERIFY(part<QFrame>(&w, "shpSelectedColor")->styleSheet().contains(QStringLiteral("#c0c0c0")));
    QTest::mouseClick(part<QPushButton>(&w, "cmdClear"), Qt::LeftButton);
    QCOMPARE(w.client().canvas().canvas().pixelValue(5, 5), 16777215);
    QTest::mouseClick(part<ClickLabel>(&w, "lblDrawWidth", 2), Qt::LeftButton);
    QCOMPARE(model.penWidth(), 16);
}

void TestWindowLayout::layoutFitsEverySize()
{
    const GameWindowLayout classic = GameWindowLayout::forSize(GameWindowLayout::ClassicSize);
    QCOMPARE(classic.canvas, QRect(8, 58, 640, 480));
    QCOMPARE(classic.playerColumn.left(), 724);
    QCOMPARE(classic.playerColumn.width(), 212);
    QVERIFY(GameWindowLayout::forSize(QSize(1920, 1050)).canvas.width() > 640);
    // Today's size at 1 and 1.5, maximised, long and narrow shapes, the least, below it, the largest.
    const QList<QSize> sizes{
        {944, 730},  {1416, 1095}, {1920, 1050}, {2560, 1400}, {3000, 730},
        {944, 2000}, {664, 448},   {944, 540},   {10, 10},     {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX}};
    for (const QSize &size : sizes) {
        const GameWindowLayout l = GameWindowLayout::forSize(size);
        const QByteArray at = QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
        QVERIFY2(l.canvas.width() * 3 == l.canvas.height() * 4, at);
        const QRect backdrop(QPoint(0, 0), l.backdrop.size());
        QList<QRect> palette{l.clearButton};
        for (const QRect &r : l.swatches)
            palette << r;
        for (const QRect &r : l.widthButtons)
            palette << r;
        QVERIFY2(backdrop.contains(l.canvas), at);
        for (const QRect &r : palette)
            QVERIFY2(backdrop.contains(r) && !r.intersects(l.canvas) && r.height() >= 10, at);
        const QRect window(QPoint(0, 0), size.expandedTo(GameWindowLayout::SmallestSize));
        const QList<QRect> parts{l.backdrop, l.playerColumn, l.systemView, l.chatView, l.sendBox};
        for (int i = 0; i < parts.size(); ++i) {
            QVERIFY2(window.contains(parts.at(i)), at);
            for (int j = i + 1; j < parts.size(); ++j)
                QVERIFY2(!parts.at(i).intersects(parts.at(j)), at);
        }
        QVERIFY2(l.chatView.height() >= 60 && l.systemView.height() >= 90, at);
        QVERIFY2(l.panelHeight >= 36, at);
        // Today's width keeps today's room for typing, whatever the height.
        if (size.width() >= GameWindowLayout::ClassicSize.width())
            QVERIFY2(l.sendBox.width() >= classic.sendBox.width(), at);
    }
    // The window itself: every part inside, as it grows and shrinks again.
    GameWindow w;
    w.prepare();
    for (const QSize &size :
         {QSize(1920, 1050), GameWindowLayout::SmallestSize, GameWindowLayout::ClassicSize}) {
        w.setMinimumSize(GameWindowLayout::SmallestSize);
        w.resize(size);
        for (const QWidget *child : w.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->isWindow() || child->isHidden()) continue;
            QVERIFY2(w.rect().contains(child->geometry()), qPrintable(child->metaObject()->className()));
        }
        QVERIFY(part<CanvasWidget>(&w, "picMain")->geometry().bottom() <
                part<QPlainTextEdit>(&w, "txtSystem")->geometry().top());
    }
}

void TestWindowLayout::strokesAlikeAtEverySize()
{
    GameWindow w;
    w.prepare();
    QSignalSpy strokes(&w.client().canvas(), &CanvasModel::strokeFinished);
    QTest::mouseClick(part<ClickLabel>(&w, "lblColor", 2), Qt::LeftButton);
    const QList<QPoint> path{{100, 100}, {140, 100}, {141, 203}, {639, 479}};
    // Each canvas pixel drawn on the screen pixel that covers its top left.
    auto drag = [&] {
        const double scale = part<CanvasWidget>(&w, "picMain")->width() / 640.0;
        auto at = [scale](QPoint p) {
            return QPoint(int(std::ceil(p.x() * scale)), int(std::ceil(p.y() * scale)));
        };
        QTest::mousePress(part<CanvasWidget>(&w, "picMain"), Qt::LeftButton, {}, at(path.first()));
        for (const QPoint &p : path)
            QTest::mouseMove(part<CanvasWidget>(&w, "picMain"), at(p));
        QTest::mouseRelease(part<CanvasWidget>(&w, "picMain"), Qt::LeftButton, {}, at(path.last()));
    };
    w.resize(GameWindowLayout::ClassicSize);
    drag();
    w.resize(1800, 1369);
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->size(), QSize(1280, 960));
    drag();
    // What the widget shows is the picture, scaled.
    QCOMPARE(part<CanvasWidget>(&w, "picMain")->grab().toImage().pixelColor(241, 201), QColor(255, 0, 0));
    w.resize(1920, 1050);
    drag();
    QCOMPARE(strokes.size(), 3);
    QVERIFY(strokes.at(0).at(0).toString().contains(QStringLiteral("100,100;140,100;141,203;639,479;")));
    QCOMPARE(strokes.at(1).at(0), strokes.at(0).at(0));
    QCOMPARE(strokes.at(2).at(0), strokes.at(0).at(0));
    QCOMPARE(part<CanvasWidget>(&w, "picMain")
                 ->toCanvas(QPointF(part<CanvasWidget>(&w, "picMain")->width() - 0.5,
                                    part<CanvasWidget>(&w, "picMain")->height() - 0.5)),
             QPointF(639, 479));
}

void TestWindowLayout::ownPanelMarked()
{
    const QString mark = msg::OwnNameMark;
    FakeServer server;
    GameWindow w;
    w.prepare();
    QVERIFY(w.client().connectToRoom(server.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    // Two players of one name: only the seat the server gave us is ours.
    server.send(QStringLiteral("NMS me:me:bob:::::"));
    server.send(QStringLiteral("NUM 1"));
    QTRY_COMPARE(part<QLabel>(&w, "lblPlayer", 1)->text(), QStringLiteral("me") + mark);
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 0)->text(), QStringLiteral("me"));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 2)->text(), QStringLiteral("bob"));
    server.send(QStringLiteral("NUM 2"));
    QTRY_COMPARE(part<QLabel>(&w, "lblPlayer", 2)->text(), QStringLiteral("bob") + mark);
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 1)->text(), QStringLiteral("me"));
    // An empty seat carries no mark.
    server.send(QStringLiteral("NUM 5"));
    QTRY_COMPARE(part<QLabel>(&w, "lblPlayer", 2)->text(), QStringLiteral("bob"));
    QCOMPARE(part<QLabel>(&w, "lblPlayer", 5)->text(), QString());
    // The mark is this window's alone.
    w.client().sendChat(QStringLiteral("hi"));
    QTRY_VERIFY(server.lines().contains(QStringLiteral("MSG hi")));
    QVERIFY(!server.received().contains(toCp932(mark)));
    // A new room knows nothing of the old seat until its own NUM.
    server.dropClient();
    QTRY_VERIFY(!w.client().isConnected());
    FakeServer next;
    QVERIFY(w.client().connectToRoom(next.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(w.client().isConnected());
    next.send(QStringLiteral("NMS a:b:c:d:e:f::"));
    QTRY_COMPARE(part<QLabel>(&w, "lblPlayer", 5)->text(), QStringLiteral("f"));
    for (int i = 0; i < SlotCount; ++i)
        QVERIFY(!part<QLabel>(&w, "lblPlayer", i)->text().contains(mark));
}

namespace {
// Shown at its minimum size, every named part the window shows lies inside it.
void checkAtMinimum(QWidget *window)
{
    window->show();
    window->resize(window->minimumSize().expandedTo(window->minimumSizeHint()));
    QVERIFY(window->width() <= 800 && window->height() <= 600);
    for (const QWidget *child : window->findChildren<QWidget *>()) {
        // Qt's own parts (scroll bars, viewports) are Qt's business.
        if (child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")) ||
            !child->isVisibleTo(window))
            continue;
        QVERIFY2(window->rect().contains(QRect(child->mapTo(window, QPoint(0, 0)), child->size())),
                 qPrintable(child->objectName()));
    }
}
} // namespace

void TestWindowLayout::everyWindowFitsAtItsMinimum()
{
    GameWindow w;
    // Asked before the screen is known: the test screen is smaller than a laptop's.
    QVERIFY(w.minimumSize().width() <= 800 && w.minimumSize().height() <= 600);
    w.prepare();
    // With the views over the canvas: the results and the notice of a cut.
    const QString name = QStringLiteral("ひとりめのなまえ");
    w.client().dispatch(QStringLiteral("NMS"), name + QStringLiteral(":b::::::"));
    w.client().dispatch(QStringLiteral("RST"), QStringLiteral("null"));
    w.client().dispatch(QStringLiteral("SYM"), msg::WinnerNoticePrefix + name + msg::WinnerNoticeSuffix);
    w.client().dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    w.client().onConnectionClosed();
    checkAtMinimum(&w);
    QVERIFY(part<QFrame>(&w, "leaveNotice")->isVisible() && part<QWidget>(&w, "resultsView")->isVisible());
    // Strokes keep canvas coordinates on the smaller canvas.
    auto *canvas = part<CanvasWidget>(&w, "picMain");
    QVERIFY(canvas->width() < 640);
    const double scale = canvas->width() / 640.0;
    QSignalSpy strokes(&w.client().canvas(), &CanvasModel::strokeFinished);
    QTest::mouseClick(canvas, Qt::LeftButton, {},
                      QPoint(int(std::ceil(638 * scale)), int(std::ceil(478 * scale))));
    QCOMPARE(strokes.size(), 1);
    QVERIFY(strokes.at(0).at(0).toString().endsWith(QStringLiteral(";638,478;")));
    w.onConnectButtonClicked();
    checkAtMinimum(w.lobbyWindow());
    w.openConnectDialog();
    checkAtMinimum(w.connectDialog());
    w.openOptions();
    checkAtMinimum(w.optionsDialog());
}

QTEST_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
