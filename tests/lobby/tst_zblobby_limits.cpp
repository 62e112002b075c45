#include "lobbyserver/lobbyserver.h"
#include "lobbyserver/messages.h"
#include "lobbyserver/roomlisting.h"
#include "shared/cp932.h"
#include "shared/linesocket.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "tests/freeport.h"
#include "tests/lobby/zblobbyclient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

using namespace zb;
using namespace zb::test;

class TstZbLobbyLimits : public QObject {
    Q_OBJECT
  private:
    LobbyLimits small()
    {
        LobbyLimits l;
        l.updateIntervalMs = 100;
        return l;
    }

  private slots:
    void perAddressLimits()
    {
        LobbyLimits l = small();
        l.connectionsPerAddress = 3;
        l.roomsPerAddress = 2;
        LobbyServer lobby;
        lobby.setLimits(l);
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));

        Client a1(QStringLiteral("127.0.1.1")), a2(QStringLiteral("127.0.1.1")),
            a3(QStringLiteral("127.0.1.1"));
        QVERIFY(registerRoom(a1, lobby.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(registerRoom(a2, lobby.port(), gameStatus(QStringLiteral("2"))));
        // A third game server from the address is told why and sent away.
        QVERIFY(a3.open(lobby.port()));
        a3.send("NAM", QStringLiteral("ZBSERVER"));
        QTRY_VERIFY(a3.closed());
        QCOMPARE(a3.lines, QStringList{QStringLiteral("SYM ") + msg::tooManyRooms(2)});

        Client p1(QStringLiteral("127.0.1.1")), p2(QStringLiteral("127.0.1.1"));
        QVERIFY(join(p1, lobby.port(), QStringLiteral("花子")));
        QTRY_COMPARE(p1.rooms().size(), 2);
        // The fourth connection is closed before it can say anything.
        QVERIFY(p2.open(lobby.port()));
        QTRY_VERIFY(p2.closed());
        QVERIFY(p2.lines.isEmpty());

        // A connection that ends makes room for another.
        a1.socket.socket()->disconnectFromHost();
        QTRY_COMPARE(p1.rooms().size(), 1);
        Client p3(QStringLiteral("127.0.1.1"));
        QVERIFY(join(p3, lobby.port(), QStringLiteral("太郎")));

        // IPv4 reached over IPv6 counts as IPv4; an IPv6 host is counted by its /64.
        QCOMPARE(LobbyServer::limitKey(QHostAddress(QStringLiteral("::ffff:127.0.1.1"))),
                 LobbyServer::limitKey(QHostAddress(QStringLiteral("127.0.1.1"))));
        QCOMPARE(LobbyServer::limitKey(QHostAddress(QStringLiteral("2001:db8:1:2::1"))),
                 LobbyServer::limitKey(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::9"))));
        QVERIFY(LobbyServer::limitKey(QHostAddress(QStringLiteral("2001:db8:1:2::1"))) !=
                LobbyServer::limitKey(QHostAddress(QStringLiteral("2001:db8:1:3::1"))));
    }

    void fieldLimits()
    {
        const QString address = QStringLiteral("10.0.0.7");
        // The largest record a game server writes goes through unchanged.
        const QString name12 = QStringLiteral("あいうえおかきくけこさし");
        const QString full =
            QStringLiteral("port=27064&password=&roomname=%1&comment=%2&gametype=1&"
                           "zbq=内蔵辞書（高確率）:zbq\\動物.zbq:&version=1.16&players=%3&"
                           "playercount=8&playermax=8&playername=ZBSERVER&")
                .arg(name12, QString(50, QChar(0x3042)), QString(8, u':').replace(u':', name12 + u':'));
        QCOMPARE(StatusRecord::decode(LobbyServer::listingRecord(full, address)),
                 QStringLiteral("ipaddress=10.0.0.7&") + full);

        // A stranger's record is cut to that shape.
        QString zbq;
        for (int i = 0; i < 500; ++i)
            zbq += QStringLiteral("zbq\\辞書%1.zbq:").arg(i);
        const QString huge =
            QStringLiteral("port=27064&password=%1&roomname=%2&comment=%3&zbq=%4&players=%5&"
                           "playercount=%6&")
                .arg(QString(30, u'p'), QString(30000, u'x'), QString(3000, u'c'), zbq,
                     QString(20, u':').replace(QStringLiteral(":"), QString(30, u'n') + u':'),
                     QString(100, u'9'));
        const QString cut = StatusRecord::decode(LobbyServer::listingRecord(huge, address));
        const auto f = [&](const char *key) { return StatusRecord::field(cut, QLatin1String(key)); };
        QCOMPARE(f("roomname="), QString(12, u'x'));
        QCOMPARE(f("comment="), QString(50, u'c'));
        QCOMPARE(f("password="), QStringLiteral("1"));
        QCOMPARE(f("playercount="), QString(8, u'9'));
        QCOMPARE(f("players="), QString(8, u':').replace(QStringLiteral(":"), QString(12, u'n') + u':'));
        QVERIFY(toCp932(cut).size() <= RoomListing::MaxRecordBytes);
        QVERIFY(f("zbq=").startsWith(QStringLiteral("zbq\\辞書0.zbq:zbq\\辞書1.zbq:")));
        QVERIFY(f("zbq=").endsWith(QStringLiteral(".zbq:")));
        QVERIFY(f("zbq=").size() < zbq.size());

        // Nothing inside a value may pose as another field or break a line.
        const QString forged = StatusRecord::decode(LobbyServer::listingRecord(
            StatusRecord::decode(gameStatus(QStringLiteral("1"), QStringLiteral("a\n\x1b=port=1"))),
            address));
        QCOMPARE(StatusRecord::field(forged, QStringLiteral("roomname=")), QStringLiteral("aport1"));
        QCOMPARE(forged.count(QStringLiteral("port=")), 1);

        // A port that is no port cannot be cut into one.
        for (const char *port : {"", "abc", "0", "65536", "000027064"})
            QVERIFY2(LobbyServer::listingRecord(QStringLiteral("port=%1&").arg(QLatin1String(port)), address)
                         .isEmpty(),
                     port);

        // Over the wire: the game server hears why its status was refused.
        LobbyServer lobby;
        lobby.setLimits(small());
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Client game(QStringLiteral("127.0.1.10"));
        QVERIFY(registerRoom(game, lobby.port(), StatusRecord().add(QStringLiteral("port="), {}).encoded()));
        QVERIFY(game.lines.contains(QStringLiteral("SYM ") + msg::StatusRefused));
        QCOMPARE(lobby.roomCount(), 0);
    }

    void wholeListCap()
    {
        // By count: rooms wait in order and are listed when a place frees up.
        LobbyLimits l = small();
        l.maxRooms = 2;
        LobbyServer lobby;
        lobby.setLimits(l);
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Client player(QStringLiteral("127.0.1.20"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        Client g1(QStringLiteral("127.0.1.21")), g2(QStringLiteral("127.0.1.22")),
            g3(QStringLiteral("127.0.1.23"));
        QVERIFY(registerRoom(g1, lobby.port(), gameStatus(QStringLiteral("1"), QStringLiteral("一"))));
        QVERIFY(registerRoom(g2, lobby.port(), gameStatus(QStringLiteral("1"), QStringLiteral("二"))));
        QVERIFY(registerRoom(g3, lobby.port(), gameStatus(QStringLiteral("1"), QStringLiteral("三"))));
        QTRY_VERIFY(g3.lines.contains(QStringLiteral("SYM ") + msg::ListFull));
        QTRY_COMPARE(player.rooms().size(), 2);
        QVERIFY(!g1.lines.contains(QStringLiteral("SYM ") + msg::ListFull));
        g1.socket.socket()->disconnectFromHost();
        QTRY_COMPARE(player.rooms().size(), 2);
        QTRY_VERIFY(player.rooms().last().contains(QStringLiteral("roomname=三&")));

        // By size: a list never grows past its byte cap.
        const int one = int(LobbyServer::listingRecord(StatusRecord::decode(gameStatus(QStringLiteral("1"))),
                                                       QStringLiteral("127.0.1.31"))
                                .size());
        l.maxRooms = 100;
        l.maxListBytes = one + 1;
        // Unchecked, the record keeps the size measured above.
        l.maxReachChecks = 0;
        LobbyServer tight;
        tight.setLimits(l);
        QVERIFY(tight.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Client h1(QStringLiteral("127.0.1.31")), h2(QStringLiteral("127.0.1.32"));
        QVERIFY(registerRoom(h1, tight.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(registerRoom(h2, tight.port(), gameStatus(QStringLiteral("1"))));
        QTRY_VERIFY(h2.lines.contains(QStringLiteral("SYM ") + msg::ListFull));
        QCOMPARE(tight.roomCount(), 1);
        QCOMPARE(tight.roomList().size(), one + 1);
    }

    void coalescedUpdates()
    {
        LobbyLimits l;
        l.updateIntervalMs = 300;
        LobbyServer lobby;
        lobby.setLimits(l);
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Client player(QStringLiteral("127.0.1.40"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        QTRY_COMPARE(player.with("NMS"), QStringList{QStringLiteral("NMS 花子:")});

        // Thirty changes in one burst reach the player as at most two lists.
        Client game(QStringLiteral("127.0.1.41"));
        QVERIFY(game.open(lobby.port()));
        QByteArray burst = LineSocket::encodeLine(QStringLiteral("NAM"), QStringLiteral("ZBSERVER"));
        for (int i = 1; i <= 30; ++i)
            burst += LineSocket::encodeLine(QStringLiteral("STS"), gameStatus(QString::number(i)));
        game.socket.sendRaw(burst);
        QTRY_VERIFY(!player.rooms().isEmpty() &&
                    player.rooms().first().contains(QStringLiteral("playercount=30&")));
        QVERIFY(player.with("SRV").size() <= 3);

        // Changes that alter nothing players see send nothing: the same status,
        // another password (players only see that there is one).
        // With no interval to pile changes into, each is judged at once: a list
        // one of them caused would reach the player before a later chat line.
        Client other(QStringLiteral("127.0.1.43"));
        QVERIFY(join(other, lobby.port(), QStringLiteral("次郎")));
        l.updateIntervalMs = 0;
        lobby.setLimits(l);
        const int lists = int(player.with("SRV").size());
        for (int i = 0; i < 3; ++i)
            game.send("STS", gameStatus(QStringLiteral("30")));
        game.send("STS",
                  gameStatus(QStringLiteral("30"), QStringLiteral("テスト部屋"), QStringLiteral("other")));
        game.send("CHK", QStringLiteral("null"));
        QTRY_VERIFY(game.lines.contains(QStringLiteral("CHK null")));
        other.send("MSG", QStringLiteral("marker"));
        QTRY_VERIFY(!player.with("MSG").isEmpty());
        QCOMPARE(player.with("SRV").size(), lists);

        // A player who arrives between two lists gets the page and the last list at once.
        game.send("STS", gameStatus(QStringLiteral("31")));
        QTRY_VERIFY(player.with("SRV").size() == lists + 1);
        l.updateIntervalMs = 60000;
        lobby.setLimits(l);
        game.send("STS", gameStatus(QStringLiteral("32")));
        Client late(QStringLiteral("127.0.1.42"));
        QVERIFY(late.open(lobby.port()));
        late.send("STS", announcement(QStringLiteral("太郎")));
        QTRY_COMPARE(late.lines.size(), 3);
        QVERIFY(late.lines.at(0).startsWith(QStringLiteral("HDR ")));
        QVERIFY(late.lines.at(1).startsWith(QStringLiteral("FTR ")));
        QCOMPARE(late.lines.at(2), player.with("SRV").last());
        QVERIFY(late.rooms().first().contains(QStringLiteral("playercount=31&")));
    }

    void chat()
    {
        LobbyLimits l = small();
        l.chatWindowMs = 400;
        LobbyServer lobby;
        lobby.setLimits(l);
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Client a(QStringLiteral("127.0.1.50")), b(QStringLiteral("127.0.1.51"));
        QVERIFY(join(a, lobby.port(), QStringLiteral("花子")));
        QVERIFY(join(b, lobby.port(), QStringLiteral("太郎")));

        // No control character gets through: a lone LF would forge a line on every screen.
        a.socket.sendRaw(QByteArray("MSG hi\n12:00 <system> fake\x1b[2J\t!\r\nMSG \x01\x7f\r\n"));
        QTRY_COMPARE(b.with("MSG"), QStringList{QStringLiteral("MSG 花子> hi12:00 <system> fake[2J!")});
        a.send("MSG", QString(300, u'長'));
        QTRY_COMPARE(b.with("MSG").size(), 2);
        QCOMPARE(b.with("MSG").last(),
                 QStringLiteral("MSG 花子> ") + QString(LobbyServer::MaxChatLength, u'長'));

        // Eight lines at once: the window allows five, the sender hears about the rest once.
        lobby.advanceChatClock(l.chatWindowMs);
        QByteArray burst;
        for (int i = 0; i < 8; ++i)
            burst += LineSocket::encodeLine(QStringLiteral("MSG"), QStringLiteral("line %1").arg(i));
        a.socket.sendRaw(burst);
        QTRY_COMPARE(a.with("SYM").filter(msg::ChatTooFast).size(), 1);
        QTRY_COMPARE(b.with("MSG").size(), 2 + 5);
        QCOMPARE(b.with("MSG").last(), QStringLiteral("MSG 花子> line 4"));
        // Others are not held back, and the sender may speak again once the window has passed.
        b.send("MSG", QStringLiteral("やあ"));
        QTRY_COMPARE(a.with("MSG"), QStringList{QStringLiteral("MSG 太郎> やあ")});
        // The burst went in one write, so it was read whole before the window moves on.
        lobby.advanceChatClock(l.chatWindowMs);
        a.send("MSG", QStringLiteral("again"));
        QTRY_COMPARE(b.with("MSG").last(), QStringLiteral("MSG 花子> again"));
    }

    void names()
    {
        LobbyServer lobby;
        lobby.setLimits(small());
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        const QStringList announced = {QStringLiteral("花子"),     QStringLiteral("花子"),
                                       QStringLiteral("ZBSERVER"), QStringLiteral(" a:b;c,d=e\x07 "),
                                       QString(20, u'長'),         QString(),
                                       QString(12, u'長')};
        const QStringList expected = {QStringLiteral("花子"),
                                      QStringLiteral("花子(2)"),
                                      QStringLiteral("zbserver"),
                                      QStringLiteral("abcde"),
                                      QString(12, u'長'),
                                      msg::Unnamed,
                                      QString(9, u'長') + QStringLiteral("(2)")};
        std::vector<std::unique_ptr<Client>> players;
        for (int i = 0; i < announced.size(); ++i) {
            players.push_back(std::make_unique<Client>(QStringLiteral("127.0.1.%1").arg(60 + i)));
            QVERIFY(join(*players.back(), lobby.port(), announced.at(i)));
            // Whoever is shown under another name is told so.
            const bool renamed = !players.back()->with("SYM").isEmpty();
            QCOMPARE(renamed, announced.at(i) != expected.at(i));
        }
        QTRY_COMPARE(players.front()->with("NMS").last(),
                     QStringLiteral("NMS ") + expected.join(u':') + u':');
        QVERIFY(players.at(6)->with("SYM").contains(QStringLiteral("SYM ") + msg::renamed(expected.at(6))));
        // A name freed by a leaving player can be taken again.
        players.front()->socket.socket()->disconnectFromHost();
        Client again(QStringLiteral("127.0.1.80"));
        QTRY_VERIFY(!players.at(1)->with("NMS").last().startsWith(QStringLiteral("NMS 花子:")));
        QVERIFY(join(again, lobby.port(), QStringLiteral("花子")));
        QVERIFY(again.with("SYM").isEmpty());
    }

    // The lobby as a program: its soft descriptor limit is raised, and when the
    // descriptors run out it waits for some to close instead of spinning, then takes people in again.
    void descriptorsRunOut()
    {
#ifdef __SANITIZE_ADDRESS__
        // The sanitizers open a pipe to check a virtual call; with no descriptor left they report a fault.
        QSKIP("the sanitizers need descriptors of their own");
#endif
        QProcess lobby;
        lobby.setProcessChannelMode(QProcess::MergedChannels);
        lobby.setChildProcessModifier([] {
            const rlimit files{24, 48};
            setrlimit(RLIMIT_NOFILE, &files);
        });
        const quint16 port = freePort();
        lobby.start(QStringLiteral(ZB_BIN_DIR "/zblobby"),
                    {QStringLiteral("--port"), QString::number(port),
                     QStringLiteral("--max-connections-per-address"), QStringLiteral("2")});
        QVERIFY(lobby.waitForStarted(5000));
        QByteArray out;
        const auto output = [&] {
            out += lobby.readAll();
            return out;
        };
        QTRY_VERIFY_WITH_TIMEOUT(output().contains("同時に開けるファイル数 48"), 10000);

        // The option holds: a third connection from one address is closed.
        Client one(QStringLiteral("127.0.2.250")), two(QStringLiteral("127.0.2.250")),
            three(QStringLiteral("127.0.2.250"));
        QVERIFY(one.open(port));
        QVERIFY(two.open(port));
        QVERIFY(three.open(port));
        QTRY_VERIFY_WITH_TIMEOUT(three.closed(), 10000);

        std::vector<std::unique_ptr<Client>> crowd;
        for (int i = 1; i <= 60; ++i) {
            crowd.push_back(std::make_unique<Client>(QStringLiteral("127.0.2.%1").arg(i)));
            QVERIFY(crowd.back()->open(port));
        }
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("一時停止"), out.right(2000).constData(), 10000);
        const long before = cpuTicks(lobby.processId());
        // A second of wall time, cut short once the lobby has spun through the budget.
        (void)QTest::qWaitFor([&] { return cpuTicks(lobby.processId()) - before >= 25; }, 1000);
        const long used = cpuTicks(lobby.processId()) - before;
        QVERIFY2(used < 25, qPrintable(QStringLiteral("%1 ticks while paused").arg(used)));
        QVERIFY(lobby.state() == QProcess::Running);

        crowd.clear();
        one.socket.socket()->abort();
        two.socket.socket()->abort();
        Client player(QStringLiteral("127.0.3.1"));
        QVERIFY(player.open(port));
        player.send("STS", announcement(QStringLiteral("花子")));
        QTRY_VERIFY_WITH_TIMEOUT(!player.with("SRV").isEmpty(), 15000);
        QVERIFY(output().contains("再開"));
        QVERIFY(out.count("一時停止") <= 3);

        lobby.terminate();
        if (!lobby.waitForFinished(5000)) lobby.kill();
    }
};

QTEST_GUILESS_MAIN(TstZbLobbyLimits)
#include "tst_zblobby_limits.moc"
