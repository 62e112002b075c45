#include "client/core/gameclient.h"
#include "client/core/messages.h"
#include "tests/client/fakeserver.h"
#include "tests/client/spytexts.h"
#include "tests/freeport.h"

#include <QSignalSpy>
#include <QTest>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace zb;

class TestClientConnection : public QObject {
    Q_OBJECT
  private slots:
    void parseAddress_data();
    void parseAddress();
    void joinLines_data();
    void joinLines();
    void bindAddress();
    void badAddressMakesNoAttempt();
    void secondAttemptRefused();
    void refusedThenTimeoutLines();
    void splitAndCombinedDeliveries();
    void peerCloseRunsDisconnectRoutine();
    void nspDisconnects();
    void leaveReasons_data();
    void leaveReasons();
    void refusedPasswordHearsWhy();
    void overlongLineCuts();
    void idleWatchdog_data();
    void idleWatchdog();
    void sendRateLimit();
    void chatSendAndMask();
    void ipv6Address();
};

void TestClientConnection::parseAddress_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("no port") << "192.168.0.2" << true << "192.168.0.2" << 27064;
    QTest::newRow("port") << "192.168.0.2:30000" << true << "192.168.0.2" << 30000;
    QTest::newRow("v6 bracket") << "[::1]:27064" << true << "::1" << 27064;
    QTest::newRow("v6 bracket no port") << "[::1]" << true << "::1" << 27064;
    QTest::newRow("v6 bare") << "::1" << false << "" << 0;
    QTest::newRow("three fields") << "a:1:2" << false << "" << 0;
    QTest::newRow("port zero") << "host:0" << false << "" << 0;
    QTest::newRow("port too big") << "host:65536" << false << "" << 0;
    QTest::newRow("empty port") << "host:" << false << "" << 0;
    QTest::newRow("empty host") << ":27064" << false << "" << 0;
    QTest::newRow("empty") << "" << false << "" << 0;
    QTest::newRow("bracket not v6") << "[abc]:1" << false << "" << 0;
}

void TestClientConnection::parseAddress()
{
    QFETCH(QString, input);
    QFETCH(bool, ok);
    const ServerAddress a = parseServerAddress(input);
    QCOMPARE(a.ok, ok);
    if (ok) {
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(a.host, host);
        QCOMPARE(int(a.port), port);
    }
}

void TestClientConnection::joinLines_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("password") << "secret" << QByteArray("PSW secret\r\nVER 1.16\r\nNAM \x82\xbd\x82\xeb\r\n");
    QTest::newRow("empty") << "" << QByteArray("PSW \r\nVER 1.16\r\nNAM \x82\xbd\x82\xeb\r\n");
}

void TestClientConnection::joinLines()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, expected);
    FakeServer server;
    GameClient client;
    client.reset();
    client.canvas().canvas().clear(0);
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy open(&client, &GameClient::connectionOpenChanged);
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("たろ"), password));
    QCOMPARE(texts(sys), QStringList{msg::ConnectingToServer});
    QTRY_COMPARE(server.received(), expected);
    QCOMPARE(texts(sys).last(), msg::ConnectedToServer);
    QVERIFY(client.isConnected());
    QVERIFY(client.readyEnabled());
    QVERIFY(client.bannerVisible());
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.at(0).at(0).toBool(), true);
    QCOMPARE(client.canvas().canvas().pixelValue(320, 240), 16777215);
    // Nagle's algorithm is off in the kernel, not just asked for.
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    QCOMPARE(::getsockopt(int(client.connection().socket()->socketDescriptor()), IPPROTO_TCP, TCP_NODELAY,
                          &noDelay, &size),
             0);
    QVERIFY(noDelay != 0);
}

void TestClientConnection::bindAddress()
{
    FakeServer server;
    GameClient client;
    client.setBindAddress(QHostAddress(QStringLiteral("127.0.0.3")));
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer());
    QCOMPARE(server.peer()->peerAddress(), QHostAddress(QStringLiteral("127.0.0.3")));
}

void TestClientConnection::badAddressMakesNoAttempt()
{
    GameClient client;
    QSignalSpy sys(&client, &GameClient::systemText);
    QVERIFY(!client.connectToRoom(QStringLiteral("1:2:3"), QStringLiteral("a"), QString()));
    QCOMPARE(sys.size(), 1);
    QVERIFY(texts(sys).first().contains(QStringLiteral("正しくありません")));
    QCOMPARE(client.connection().state(), GameConnection::State::Closed);
}

void TestClientConnection::secondAttemptRefused()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QSignalSpy sys(&client, &GameClient::systemText);
    QVERIFY(!client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(client.isConnected());
    QVERIFY(!client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QVERIFY(client.isConnected());
    const QStringList lines = texts(sys);
    QCOMPARE(lines.count(msg::AlreadyConnected), 2);
}

void TestClientConnection::refusedThenTimeoutLines()
{
    const quint16 port = freePort();
    GameClient client;
    client.setTickMs(20);
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy sounds(&client, &GameClient::soundRequested);
    QVERIFY(client.connectToRoom(QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("a"), QString()));
    QTRY_COMPARE(sys.size(), 6);
    const QStringList expected{msg::ConnectingToServer,    msg::Disconnected,
                               msg::CannotConnectToServer, msg::ServerMayBeDown,
                               msg::ServerPortMayBeClosed, msg::AskServerHost};
    QCOMPARE(texts(sys), expected);
    QCOMPARE(texts(sounds), QStringList{QStringLiteral("disconnect")});
    QVERIFY(!client.isConnected());
}

void TestClientConnection::splitAndCombinedDeliveries()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy chat(&client, &GameClient::chatText);
    QSignalSpy sys(&client, &GameClient::systemText);
    server.send(QStringLiteral("NMS :::taro:::::"));
    QTRY_COMPARE(client.players().name(3), QStringLiteral("taro"));
    // The client's reader runs before this spy: once it fires, the piece has been taken in.
    QSignalSpy arrived(client.connection().socket(), &QIODevice::readyRead);
    server.sendRaw("MSG 3:he");
    QVERIFY(arrived.wait());
    QCOMPARE(chat.size(), 0);
    server.sendRaw("llo\r\n");
    QTRY_COMPARE(texts(chat), QStringList{QStringLiteral("taro> hello")});
    // Two lines in one delivery, and a Japanese character cut between two.
    const QByteArray both = toCp932(QStringLiteral("SYM 一\r\nMSG 3:a:b\r\nSYM 絵です\r\n"));
    const qsizetype cut = both.indexOf(toCp932(QStringLiteral("絵"))) + 1;
    server.sendRaw(both.left(cut));
    // The first piece is read on its own before the rest is sent.
    QTRY_COMPARE(chat.size(), 2);
    server.sendRaw(both.mid(cut));
    QTRY_COMPARE(texts(sys), (QStringList{QStringLiteral("一"), QStringLiteral("絵です")}));
    QCOMPARE(texts(chat).last(), QStringLiteral("taro> a:b"));
    // A bare command without separator.
    server.sendRaw("SND\r\nXYZ 1\r\n");
    QTRY_COMPARE(sys.size(), 3);
    QCOMPARE(texts(sys).last(), msg::BadCommand);
}

void TestClientConnection::peerCloseRunsDisconnectRoutine()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    server.send(QStringLiteral("NMS a:b::::::"));
    server.send(QStringLiteral("SCR 5:7:0:0:0:0:0:0:"));
    server.send(QStringLiteral("RST null"));
    server.send(QStringLiteral("NUM 1"));
    server.send(QStringLiteral("QST 0:いぬ"));
    QTRY_COMPARE(client.round().drawerSlot, 0);
    QSignalSpy sys(&client, &GameClient::systemText);
    QSignalSpy sounds(&client, &GameClient::soundRequested);
    QSignalSpy players(&client, &GameClient::playersChanged);
    QSignalSpy open(&client, &GameClient::connectionOpenChanged);
    server.dropClient();
    QTRY_VERIFY(!client.isConnected());
    QCOMPARE(texts(sys), QStringList{msg::Disconnected});
    QCOMPARE(texts(sounds), QStringList{QStringLiteral("disconnect")});
    QCOMPARE(players.size(), 1);
    QCOMPARE(open.size(), 1);
    QCOMPARE(client.players().playerCount(), 0);
    QCOMPARE(client.players().score(1), 7);
    QVERIFY(!client.round().inGame);
    QVERIFY(!client.readyEnabled());
    QVERIFY(!client.bannerVisible());
    // What stays: slots, the word and the running clock.
    QCOMPARE(client.round().mySlot, 1);
    QCOMPARE(client.round().currentWord, QStringLiteral("いぬ"));
    QCOMPARE(client.round().timeLimit(), 120);
    client.onClockTick();
    QCOMPARE(client.round().timeLimit(), 119);
}

void TestClientConnection::nspDisconnects()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QStringLiteral("x")));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy sys(&client, &GameClient::systemText);
    server.send(QStringLiteral("NSP null"));
    server.send(QStringLiteral("SYM after"));
    QTRY_VERIFY(!client.isConnected());
    // The server seeing the close takes a round of the event loop: anything queued has run.
    QTRY_COMPARE(server.peer()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(texts(sys), (QStringList{msg::WrongPassword, msg::Disconnected}));
    QVERIFY(!client.readyEnabled());
}

void TestClientConnection::leaveReasons_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("reason");
    for (const QString &reason : {msg::KickedReason, msg::BannedReason, msg::RoomFullNotice,
                                  msg::FloodedReason, msg::SameAddressReason, msg::IdleReason})
        QTest::newRow(qPrintable(reason)) << QStringList{QStringLiteral("SYM ") + reason} << reason;
    QTest::newRow("no reason") << QStringList{QStringLiteral("SYM hello")} << msg::RoomClosedOrLost;
    QTest::newRow("reason not last") << QStringList{QStringLiteral("SYM ") + msg::KickedReason,
                                                    QStringLiteral("SYM hello")}
                                     << msg::RoomClosedOrLost;
    QTest::newRow("wrong version") << QStringList{QStringLiteral("NST null"), QStringLiteral("SYM x")}
                                   << msg::RefusedVersion;
}

void TestClientConnection::leaveReasons()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, reason);
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy left(&client, &GameClient::leftRoom);
    for (const QString &line : lines)
        server.send(line);
    server.dropClient();
    QTRY_COMPARE(texts(left), QStringList{reason});
}

void TestClientConnection::refusedPasswordHearsWhy()
{
    const QString notice = QStringLiteral("SYM ") + msg::PasswordMismatchNotice;
    {
        FakeServer server;
        GameClient client;
        QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QStringLiteral("x")));
        QTRY_VERIFY(server.hasPeer() && client.isConnected());
        QSignalSpy sys(&client, &GameClient::systemText);
        QSignalSpy left(&client, &GameClient::leftRoom);
        // The room tells every connection, the refused one too.
        server.send(notice);
        server.send(QStringLiteral("RDY PSW:::::::"));
        server.send(QStringLiteral("NSP null"));
        QTRY_VERIFY(!client.isConnected());
        QCOMPARE(texts(sys), (QStringList{msg::WrongPassword, msg::Disconnected}));
        QCOMPARE(texts(left), QStringList{msg::RefusedPassword});
    }
    // A seated player hears of a stranger's refusal, also when it came just before his seat.
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy sys(&client, &GameClient::systemText);
    server.send(notice);
    server.send(QStringLiteral("NUM 1"));
    server.send(notice);
    QTRY_COMPARE(texts(sys), (QStringList{msg::PasswordMismatchNotice, msg::PasswordMismatchNotice}));
}

void TestClientConnection::overlongLineCuts()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("a"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy sys(&client, &GameClient::systemText);
    server.sendRaw("SYM ok\r\n" + QByteArray(1024 * 1024, 'x'));
    QTRY_VERIFY(!client.isConnected());
    QCOMPARE(texts(sys), (QStringList{QStringLiteral("ok"), msg::ServerLineTooLong, msg::Disconnected}));
}

void TestClientConnection::idleWatchdog_data()
{
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("cut");
    QTest::newRow("alone") << "me:::::::" << false;
    QTest::newRow("two players") << "me:you::::::" << true;
}

void TestClientConnection::idleWatchdog()
{
    QFETCH(QString, names);
    QFETCH(bool, cut);
    FakeServer server;
    GameClient client;
    client.setTickMs(100000); // the test ticks by hand
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    server.send(QStringLiteral("NMS ") + names);
    QTRY_VERIFY(client.players().playerCount() > 0);
    QSignalSpy sys(&client, &GameClient::systemText);
    for (int i = 0; i < 300; ++i)
        client.onIdleTick();
    // Any press on the canvas counts as action, even when drawing is not allowed.
    client.canvas().beginStroke(Qt::RightButton, QPointF(1, 1));
    for (int i = 0; i < 539; ++i)
        client.onIdleTick();
    QVERIFY(sys.isEmpty());
    // A minute before the cut the player is warned, once.
    client.onIdleTick();
    const QStringList warning{msg::IdleWarning};
    QCOMPARE(texts(sys), cut ? warning : QStringList());
    for (int i = 0; i < 59; ++i)
        client.onIdleTick();
    QVERIFY(client.isConnected());
    QCOMPARE(client.watch().idleCount(), cut ? 599 : 0);
    client.onIdleTick();
    QCOMPARE(client.isConnected(), !cut);
    if (cut) {
        const QStringList expected = warning + QStringList{msg::Disconnected, msg::IdleDisconnect};
        QCOMPARE(texts(sys), expected);
    } else {
        QVERIFY(sys.isEmpty());
    }
}

void TestClientConnection::sendRateLimit()
{
    FakeServer server;
    GameClient client;
    client.setTickMs(100000);
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("me"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy sys(&client, &GameClient::systemText);
    for (int i = 0; i < 4; ++i)
        QVERIFY(client.sendChat(QStringLiteral("x%1").arg(i)));
    QCOMPARE(client.watch().sendCount(), 4);
    for (int i = 0; i < 4; ++i)
        client.onIdleTick();
    QCOMPARE(client.watch().sendCount(), 0);
    // Four quickly again pass; a fill is the fifth and cuts.
    for (int i = 0; i < 4; ++i)
        QVERIFY(client.sendChat(QStringLiteral("y")));
    QVERIFY(sys.isEmpty());
    client.canvas().clearCanvas();
    QVERIFY(!client.isConnected());
    QCOMPARE(texts(sys), (QStringList{msg::FloodDisconnect, msg::Disconnected}));
    QTRY_VERIFY(server.lines().contains(QStringLiteral("CLS 1")));
    QCOMPARE(server.lines().count(QStringLiteral("MSG y")), 4);
}

void TestClientConnection::chatSendAndMask()
{
    FakeServer server;
    GameClient client;
    QVERIFY(client.connectToRoom(server.address(), QStringLiteral("Hanako"), QString()));
    QTRY_VERIFY(server.hasPeer() && client.isConnected());
    QSignalSpy chat(&client, &GameClient::chatText);
    QVERIFY(client.sendChat(QStringLiteral("abc")));
    server.send(QStringLiteral("NUM 2"));
    server.send(QStringLiteral("QST 2:ねこ"));
    QTRY_COMPARE(client.round().drawerSlot, 2);
    QVERIFY(client.sendChat(QStringLiteral("ねこはねこ\r\nだ")));
    QVERIFY(!client.sendChat(QString()));
    // The last drawer keeps being masked after the game until the next turn.
    server.send(QStringLiteral("RET null"));
    QTRY_VERIFY(!client.round().inGame);
    QVERIFY(client.sendChat(QStringLiteral("ねこ")));
    QCOMPARE(texts(chat), (QStringList{QStringLiteral("Hanako> abc"), QStringLiteral("Hanako> ○○は○○だ"),
                                       QStringLiteral("Hanako> ○○")}));
    QTRY_COMPARE(
        server.lines().mid(3),
        (QStringList{QStringLiteral("MSG abc"), QStringLiteral("MSG ○○は○○だ"), QStringLiteral("MSG ○○")}));
    // A guesser's text goes out as typed.
    QCOMPARE(prepareChatText(QStringLiteral("ねこ"), false, QStringLiteral("ねこ")), QStringLiteral("ねこ"));
}

void TestClientConnection::ipv6Address()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHostIPv6, 0)) QSKIP("no IPv6 loopback here");
    GameClient client;
    QVERIFY(client.connectToRoom(QStringLiteral("[::1]:%1").arg(server.serverPort()), QStringLiteral("a"),
                                 QString()));
    QTRY_VERIFY(client.isConnected());
}

QTEST_MAIN(TestClientConnection)
#include "tst_clientconnection.moc"
