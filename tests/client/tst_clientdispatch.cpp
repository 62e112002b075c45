#include "client/core/gameclient.h"
#include "client/core/messages.h"
#include "shared/fileutil.h"
#include "tests/client/fakeserver.h"
#include "tests/client/spytexts.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zb;

namespace {
const QString Error = msg::UnknownError;
} // namespace

class TestClientDispatch : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void lists_data();
    void lists();
    void simpleCommands_data();
    void simpleCommands();
    void turnStart();
    void hitStopsClockEvenWithBadSlot();
    void hints_data();
    void hints();
    void drawerHints_data();
    void drawerHints();
    void hitAt57StopsHints();
    void sounds();
    void turnEndSaving();
    void saveWithoutDrawer();

  private:
    QTemporaryDir m_dir;
};

void TestClientDispatch::initTestCase()
{
    QVERIFY(m_dir.isValid());
    setProgramFolder(m_dir.path());
    QVERIFY(makePath(programFile(QStringLiteral("png"))));
}

void TestClientDispatch::lists_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("scores");
    const QList<int> zero(8, 0);
    QTest::newRow("NMS full") << "NMS"
                              << "alice::carol::::::" << true
                              << QStringList{"alice", "", "carol", "", "", "", "", ""} << zero;
    QTest::newRow("NMS short") << "NMS"
                               << "a:b:c" << false << QStringList{"a", "b", "c", "", "", "", "", ""} << zero;
    QTest::newRow("NMS extra fields")
        << "NMS"
        << "a:b:c:d:e:f:g:h:i:j" << true << QStringList{"a", "b", "c", "d", "e", "f", "g", "h"} << zero;
    QTest::newRow("SCR") << "SCR"
                         << "1:2:3:4:5:6:7:-8:" << true << QStringList(8, QString())
                         << QList<int>{1, 2, 3, 4, 5, 6, 7, -8};
    QTest::newRow("SCR bad number") << "SCR"
                                    << "9:x:3:4:5:6:7:8:" << false << QStringList(8, QString())
                                    << QList<int>{9, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("SCR empty entry") << "SCR"
                                     << "1:2::4:5:6:7:8:" << false << QStringList(8, QString())
                                     << QList<int>{1, 2, 0, 0, 0, 0, 0, 0};
}

void TestClientDispatch::lists()
{
    QFETCH(QString, command);
    QFETCH(QString, payload);
    QFETCH(bool, ok);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, scores);
    GameClient client;
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy players(&client, &GameClient::playersChanged);
    client.dispatch(command, payload);
    QCOMPARE(texts(sys), ok ? QStringList() : QStringList{Error});
    QCOMPARE(players.size(), ok ? 1 : 0);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(client.players().name(i), names.at(i));
        QCOMPARE(client.players().score(i), scores.at(i));
    }
    // The next line is handled normally.
    client.dispatch(QStringLiteral("RDY"), QStringLiteral("OK:NG:NG:NG:NG:NG:NG:NG:"));
    QCOMPARE(client.players().ready(0), QStringLiteral("OK"));
}

void TestClientDispatch::simpleCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("chat");
    const QStringList none;
    QTest::newRow("MSG") << "MSG"
                         << "3:hello" << none << QStringList{"taro> hello"};
    QTest::newRow("MSG colon") << "MSG"
                               << "3:a:b" << none << QStringList{"taro> a:b"};
    QTest::newRow("MSG empty slot") << "MSG"
                                    << "1:hi" << none << QStringList{"> hi"};
    QTest::newRow("MSG bad slot") << "MSG"
                                  << "x:hi" << QStringList{Error} << none;
    QTest::newRow("MSG slot 8") << "MSG"
                                << "8:hi" << QStringList{Error} << none;
    QTest::newRow("MSG empty") << "MSG"
                               << "" << QStringList{Error} << none;
    QTest::newRow("SYM") << "SYM"
                         << "お知らせ" << QStringList{"お知らせ"} << none;
    QTest::newRow("NUM bad") << "NUM"
                             << "x" << QStringList{Error} << none;
    QTest::newRow("NUM range") << "NUM"
                               << "8" << QStringList{Error} << none;
    QTest::newRow("STK bad") << "STK"
                             << "255:8:1,2;x,3;" << QStringList{Error} << none;
    QTest::newRow("STK no fields") << "STK"
                                   << "255" << QStringList{Error} << none;
    QTest::newRow("CLS range") << "CLS"
                               << "9" << QStringList{Error} << none;
    QTest::newRow("CLS text") << "CLS"
                              << "x" << QStringList{Error} << none;
    QTest::newRow("QST bad") << "QST"
                             << "x:word" << QStringList{Error} << none;
    QTest::newRow("QST slot 8") << "QST"
                                << "8:word" << QStringList{Error} << none;
    QTest::newRow("NST") << "NST"
                         << "null" << QStringList{msg::WrongVersion} << none;
    QTest::newRow("RET") << "RET"
                         << "null" << QStringList{msg::BackToWaiting, msg::PressReadyForNextGame} << none;
    QTest::newRow("unknown") << "XYZ"
                             << "1" << QStringList{msg::BadCommand} << none;
    QTest::newRow("lower case") << "msg"
                                << "3:hi" << QStringList{msg::BadCommand} << none;
    QTest::newRow("empty line") << ""
                                << "" << QStringList{msg::BadCommand} << none;
}

void TestClientDispatch::simpleCommands()
{
    QFETCH(QString, command);
    QFETCH(QString, payload);
    QFETCH(QStringList, system);
    QFETCH(QStringList, chat);
    GameClient client;
    client.dispatch(QStringLiteral("NMS"), QStringLiteral(":::taro:::::"));
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy chatSpy(&client, &GameClient::chatText);
    client.dispatch(command, payload);
    QCOMPARE(texts(sys), system);
    QCOMPARE(texts(chatSpy), chat);
}

void TestClientDispatch::turnStart()
{
    GameClient client;
    client.reset();
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a:bob:::::::"));
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    client.canvas().pickColor(2);
    client.canvas().pickPenWidth(3);
    client.canvas().canvas().clear(4);
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    QCOMPARE(client.qokSlot(), 1);
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy started(&client, &GameClient::turnStarted);
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:いぬ"));
    QCOMPARE(texts(sys),
             (QStringList{msg::drawerTurn(QStringLiteral("bob")), msg::guessersTurn(QStringLiteral("bob"))}));
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(1).toBool(), false);
    QVERIFY(client.round().inGame);
    QVERIFY(!client.bannerVisible());
    QCOMPARE(client.round().drawerSlot, 1);
    QCOMPARE(client.round().timeLimitText(), QStringLiteral("120"));
    QCOMPARE(client.round().questionText(), msg::HiddenWord);
    QCOMPARE(client.qokSlot(), -1);
    QCOMPARE(client.canvas().drawColor(), 0);
    QCOMPARE(client.canvas().penWidth(), 3);
    QCOMPARE(client.canvas().penWidthIndex(), 0);
    QCOMPARE(client.canvas().canvas().pixelValue(5, 5), 16777215);
    // RST and RET switch the game state and the ready button.
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    QVERIFY(!client.round().inGame);
    QVERIFY(client.readyEnabled());
    QVERIFY(client.bannerVisible());
    QCOMPARE(client.round().timeLimit(), -1);
    // A turn whose drawer cannot be read still ends free drawing.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("9:ねこ"));
    QVERIFY(client.round().inGame);
    QVERIFY(!client.bannerVisible());
    QCOMPARE(client.round().drawerSlot, 1);
    QCOMPARE(client.round().timeLimit(), -1);
    client.dispatch(QStringLiteral("RET"), QStringLiteral("null"));
    client.dispatch(QStringLiteral("RST"), QStringLiteral("null"));
    QVERIFY(client.round().inGame);
    QVERIFY(!client.readyEnabled());
    QVERIFY(!client.bannerVisible());
}

void TestClientDispatch::hitStopsClockEvenWithBadSlot()
{
    GameClient client;
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:ことり"));
    QSignalSpy sys(&client, &GameClient::systemText);
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("9"));
    QCOMPARE(texts(sys), QStringList{Error});
    QCOMPARE(client.round().timeLimit(), -1);
    QCOMPARE(client.round().questionText(), QStringLiteral("ことり"));
    QCOMPARE(client.qokSlot(), -1);
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("4"));
    QCOMPARE(client.qokSlot(), 4);
}

void TestClientDispatch::hints_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("shown"); // "t=text" at every change after the turn start
    QTest::newRow("2") << "いぬ" << QStringList{"90=○○", "0=いぬ"};
    QTest::newRow("3") << "ねずみ" << QStringList{"90=○○○", "30=ね○○", "0=ねずみ"};
    QTest::newRow("5") << "あいうえお" << QStringList{"90=○○○○○", "45=あ○○○○", "30=あ○○○お", "0=あいうえお"};
    QTest::newRow("10") << "abcdefghij" << QStringList{"90=○○○○○○○○○○", "60=a○○○○○○○○○", "45=a○○○○○○○○j",
                                                       "30=ab○○○○○○○j", "20=ab○○○○○○ij", "0=abcdefghij"};
}

void TestClientDispatch::hints()
{
    QFETCH(QString, word);
    QFETCH(QStringList, shown);
    GameClient client;
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:") + word);
    QCOMPARE(client.round().questionText(), msg::HiddenWord);
    QStringList seen;
    QString last = client.round().questionText();
    while (client.round().timeLimit() != -1) {
        client.onClockTick();
        if (client.round().questionText() != last) {
            last = client.round().questionText();
            seen << QStringLiteral("%1=%2").arg(client.round().timeLimit()).arg(last);
        }
    }
    QCOMPARE(seen, shown);
    client.onClockTick();
    QCOMPARE(client.round().timeLimit(), -1);
}

void TestClientDispatch::drawerHints_data()
{
    QTest::addColumn<bool>("window");
    QTest::newRow("word line") << false;
    QTest::newRow("floating window") << true;
}

void TestClientDispatch::drawerHints()
{
    QFETCH(bool, window);
    GameClient client;
    client.setQuestionWindow(window);
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("2"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("2:ねずみ"));
    QCOMPARE(client.round().questionWindowText(), window ? QStringLiteral("ねずみ") : msg::Question);
    QCOMPARE(client.round().questionText(), window ? msg::HiddenWord : QStringLiteral("ねずみ"));
    for (int i = 0; i < 30; ++i)
        client.onClockTick();
    QCOMPARE(client.round().questionText(), window ? QStringLiteral("○○○") : QStringLiteral("ねずみ"));
    // A guesser with the window on is pointed to the usual line.
    client.dispatch(QStringLiteral("QST"), QStringLiteral("3:いぬ"));
    QCOMPARE(client.round().questionWindowText(), window ? msg::QuestionInMainWindow : msg::Question);
}

void TestClientDispatch::hitAt57StopsHints()
{
    GameClient client;
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("0"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("1:abcdefghij"));
    for (int i = 0; i < 63; ++i)
        client.onClockTick();
    QCOMPARE(client.round().timeLimit(), 57);
    QCOMPARE(client.round().questionText(), QStringLiteral("a○○○○○○○○○"));
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("0"));
    QCOMPARE(client.round().timeLimitText(), QStringLiteral("-1"));
    QCOMPARE(client.round().questionText(), QStringLiteral("abcdefghij"));
    for (int i = 0; i < 60; ++i)
        client.onClockTick();
    QCOMPARE(client.round().timeLimit(), -1);
    QCOMPARE(client.round().questionText(), QStringLiteral("abcdefghij"));
}

void TestClientDispatch::sounds()
{
    GameClient client;
    QSignalSpy sounds(&client, &GameClient::soundRequested);
    QSignalSpy sys(&client, &GameClient::systemText);
    for (const char *name : {"ok", "win_2", "../disconnect", "a/b", "a\\b", "..", "", "sound.wav"})
        client.dispatch(QStringLiteral("SND"), QString::fromLatin1(name));
    QCOMPARE(texts(sounds), (QStringList{QStringLiteral("ok"), QStringLiteral("win_2")}));
    QVERIFY(sys.isEmpty());
    // Switched off, neither the server's sounds nor the canvas's own play.
    client.setSoundOn(false);
    sounds.clear();
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ok"));
    client.canvas().pickColor(2);
    client.canvas().clearCanvas();
    client.onConnectionClosed();
    QVERIFY(sounds.isEmpty());
    client.setSoundOn(true);
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ok"));
    QCOMPARE(texts(sounds), QStringList{QStringLiteral("ok")});
}

void TestClientDispatch::turnEndSaving()
{
    QDir png(programFile(QStringLiteral("png")));
    const int before = int(png.entryList(QDir::Files).size());
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("c"), QString()));
    QTRY_VERIFY(client.isConnected());
    client.dispatch(QStringLiteral("NMS"), QStringLiteral("a/b:c::::::"));
    client.dispatch(QStringLiteral("NUM"), QStringLiteral("1"));
    client.dispatch(QStringLiteral("QST"), QStringLiteral("0:とり"));
    client.setSaveReserve(true);
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy reserve(&client, &GameClient::saveReserveChanged);
    client.dispatch(QStringLiteral("SND"), QStringLiteral("ng"));
    QCOMPARE(texts(sys).first(), msg::SavingReservedPicture);
    QVERIFY(texts(sys).last().endsWith(QStringLiteral("を保存しました")));
    QVERIFY2(texts(sys).last().contains(QStringLiteral("a／b")), qPrintable(texts(sys).join('|')));
    QVERIFY(!client.saveReserved());
    QCOMPARE(reserve.size(), 1);
    QCOMPARE(int(png.entryList(QDir::Files).size()), before + 1);
    // The next turn end saves nothing unless automatic saving is on.
    sys.clear();
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    QVERIFY(sys.isEmpty());
    client.setAutoSavePicture(true);
    client.setSaveReserve(true);
    client.dispatch(QStringLiteral("QOK"), QStringLiteral("1"));
    const QStringList lines = texts(sys);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), msg::SavingReservedPicture);
    QCOMPARE(lines.at(2), msg::SavingPictureAutomatically);
    QVERIFY(lines.at(3).contains(QStringLiteral("「とり」")));
}

void TestClientDispatch::saveWithoutDrawer()
{
    FakeServer server;
    GameClient client;
    QSignalSpy sys(&client, &GameClient::systemText);
    client.savePicture();
    QVERIFY(texts(sys).last().contains(msg::OfflinePictureSuffix.trimmed().chopped(4)));
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("c"), QString()));
    QTRY_VERIFY(client.isConnected());
    client.savePicture();
    QVERIFY(texts(sys).last().contains(msg::ChatModePictureSuffix.trimmed().chopped(4)));
    // Joined a running game: no drawer is known until the next turn.
    client.dispatch(QStringLiteral("RST"), QStringLiteral("null"));
    client.savePicture();
    QCOMPARE(texts(sys).last(), msg::PictureCannotBeSaved);
}

QTEST_MAIN(TestClientDispatch)
#include "tst_clientdispatch.moc"
