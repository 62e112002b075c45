#include "freeport.h"
#include "linesocket.h"
#include "lobbyserver.h"
#include "lobbyserver/messages.h"
#include "reachprobe.h"
#include "roomlisting.h"
#include "wiretexts.h"
#include "zblobbyclient.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

using namespace zb;
using namespace zb::test;

namespace {

// zblobby as a program, with its log collected.
struct LobbyProcess {
    explicit LobbyProcess(const QStringList &options)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        port = freePort();
        process.start(QStringLiteral(ZB_BIN_DIR "/zblobby"),
                      QStringList{QStringLiteral("--port"), QString::number(port)} + options);
    }
    ~LobbyProcess()
    {
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill();
    }
    bool started()
    {
        return QTest::qWaitFor([this] { return output().contains("ロビーサーバーを開始しました"); }, 10000);
    }
    const QByteArray &output()
    {
        log += process.readAll();
        return log;
    }
    QProcess process;
    quint16 port = 0;
    QByteArray log;
};

// The lobby in this process, its log collected.
struct Lobby {
    explicit Lobby(LobbyLimits limits = quiet())
    {
        server.setLimits(limits);
        QObject::connect(&server, &LobbyServer::logLine, [this](const QString &line) { log.append(line); });
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    }
    // Lists at once, and no room checked unless a test asks.
    static LobbyLimits quiet()
    {
        LobbyLimits l;
        l.updateIntervalMs = 0;
        l.maxReachChecks = 0;
        return l;
    }
    quint16 port() const { return server.port(); }
    LobbyServer server;
    QStringList log;
};

QString statusAt(quint16 port, int count = 1)
{
    return urlEncode(QString(StatusText)
                         .replace(QStringLiteral("port=27064"), QStringLiteral("port=%1").arg(port))
                         .arg(QStringLiteral("pw"), QStringLiteral("テスト部屋"), QString::number(count)));
}

// A status at the record ceiling: every field full of double-byte text, and dictionaries without end.
QString ceilingStatus(int count)
{
    const QString name(RoomListing::MaxPlayerName, u'長');
    QString zbq;
    for (int i = 0; i < 300; ++i)
        zbq += QStringLiteral("zbq\\辞書%1.zbq:").arg(i);
    return urlEncode(QStringLiteral("port=27064&password=pw&roomname=%1&comment=%2&gametype=0&zbq=%3&"
                                    "version=1.16&players=%4&playercount=%5&playermax=8&playername=ZBSERVER&")
                         .arg(name, QString(50, u'長'), zbq, QString(8, u':').replace(u':', name + u':'))
                         .arg(count));
}

} // namespace

class TstZbLobbyAbuse : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase()
    {
        // Some cases hold thousands of connections, each with a descriptor at both ends.
        rlimit files{};
        getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    void sameNames()
    {
        // Players all named "a", eight to an address: each is given the next free name at once.
        constexpr int Players = 3000;
        rlimit files{};
        getrlimit(RLIMIT_NOFILE, &files);
        if (files.rlim_cur < 2 * Players + 100) QSKIP("too few descriptors for the crowd");
        LobbyProcess lobby({QStringLiteral("--update-interval-ms"), QStringLiteral("60000"),
                            QStringLiteral("--max-connections-per-network"), QString::number(Players),
                            QStringLiteral("--max-connections"), QString::number(Players)});
        QVERIFY(lobby.started());
        const long before = cpuTicks(lobby.process.processId());
        std::vector<std::unique_ptr<Client>> players;
        for (int i = 0; i < Players; ++i) {
            const int address = i / 8;
            players.push_back(std::make_unique<Client>(
                QStringLiteral("127.40.%1.%2").arg(address / 200).arg(address % 200 + 1)));
            players.back()->socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")),
                                                           lobby.port);
        }
        // All at once, as a program would: the lobby's cost is then its own, not its event loop's.
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(players.cbegin(), players.cend(), [](const auto &p) { return p->wasConnected; }),
            30000);
        for (const auto &p : players)
            p->send("STS", announcement(QStringLiteral("a")));
        // All but the first are told the name they were given.
        const auto renamed = [&] {
            return std::count_if(players.cbegin(), players.cend(),
                                 [](const auto &p) { return !p->with("SYM").isEmpty(); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(renamed() == Players - 1, 100000);
        const long used = cpuTicks(lobby.process.processId()) - before;
        qInfo("%d players named alike: %ld ticks of lobby CPU", Players, used);
        QSet<QString> names{QStringLiteral("a")};
        for (const auto &p : players) {
            for (const QString &line : p->with("SYM"))
                names.insert(line);
        }
        QCOMPARE(names.size(), Players);
        QVERIFY2(used < 400, qPrintable(QStringLiteral("%1 ticks").arg(used)));
    }

    void floodIsCut()
    {
        Lobby lobby;
        Client flooder(QStringLiteral("127.41.0.1"));
        QVERIFY(join(flooder, lobby.port(), QStringLiteral("洪水")));
        // Short unknown lines without end: dropped over the budget, logged once, and the sender cut.
        const QByteArray burst = QByteArray("XYZ a\r\n").repeated(200);
        QVERIFY(QTest::qWaitFor(
            [&] {
                flooder.socket.sendRaw(burst);
                return flooder.closed();
            },
            30000));
        QCOMPARE(lobby.log.filter(QStringLiteral("不明なコマンド XYZ")).size(), 1);
        QCOMPARE(lobby.log.filter(msg::Flooded).size(), 1);
    }

    void logLinesPerSource()
    {
        // A window longer than the test: it ends when the lobby's clock is moved on.
        LobbyLimits l = Lobby::quiet();
        l.logWindowMs = 600000;
        Lobby lobby(l);
        // Ten visits from one /24 make thirty lines: connected, entered, left.
        for (int i = 0; i < 10; ++i) {
            Client c(QStringLiteral("127.42.0.%1").arg(i + 1));
            QVERIFY(join(c, lobby.port(), QStringLiteral("客")));
            c.socket.socket()->abort();
            QTRY_COMPARE(lobby.server.playerCount(), 0);
        }
        QCOMPARE(lobby.log.filter(QStringLiteral("127.42.0.")).size(), l.logLines);
        lobby.server.advanceChatClock(l.logWindowMs);
        Client next(QStringLiteral("127.42.0.99"));
        QVERIFY(join(next, lobby.port(), QStringLiteral("客")));
        QVERIFY(lobby.log.filter(QStringLiteral("127.42.0.0/24 からの 10 件の行を省略しました")).size() == 1);
        QVERIFY(lobby.log.last().contains(QStringLiteral("127.42.0.99")));
    }

    void ceilingRoomsLeaveRoom()
    {
        // Rooms at the record ceiling take every place but one: a real room still gets it.
        LobbyLimits l = Lobby::quiet();
        l.maxRooms = 6;
        l.maxListBytes = l.maxRooms * RoomListing::MaxRecordBytes;
        Lobby lobby(l);
        std::vector<std::unique_ptr<Client>> fakes;
        for (int i = 0; i < l.maxRooms - 1; ++i) {
            fakes.push_back(std::make_unique<Client>(QStringLiteral("127.43.%1.1").arg(i)));
            QVERIFY(registerRoom(*fakes.back(), lobby.port(), ceilingStatus(1)));
        }
        Client real(QStringLiteral("127.44.0.1")), player(QStringLiteral("127.44.0.2"));
        QVERIFY(registerRoom(real, lobby.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        QCOMPARE(player.rooms().size(), l.maxRooms);
        QVERIFY(player.rooms().last().startsWith(QStringLiteral("ipaddress=127.44.0.1&")));
        // Options that would let records crowd rooms out are refused.
        QProcess p;
        p.start(QStringLiteral(ZB_BIN_DIR "/zblobby"),
                {QStringLiteral("--max-rooms"), QStringLiteral("1000")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
    }

    void roomChangesHeld()
    {
        LobbyLimits l = Lobby::quiet();
        l.roomHoldMs = 600000;
        Lobby lobby(l);
        Client player(QStringLiteral("127.45.0.1")), other(QStringLiteral("127.45.0.2")),
            game(QStringLiteral("127.45.0.3"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        QVERIFY(join(other, lobby.port(), QStringLiteral("太郎")));
        const auto count = [&] {
            return StatusRecord::field(player.rooms().value(0), QStringLiteral("playercount="));
        };
        QVERIFY(registerRoom(game, lobby.port(), gameStatus(QStringLiteral("1"))));
        QTRY_COMPARE(count(), QStringLiteral("1"));
        // The first change goes out at once, the next waits: a later chat line comes first.
        game.send("STS", gameStatus(QStringLiteral("2")));
        QTRY_COMPARE(count(), QStringLiteral("2"));
        game.send("STS", gameStatus(QStringLiteral("3")));
        game.send("CHK", QStringLiteral("null"));
        QTRY_COMPARE(game.with("CHK").size(), 2);
        other.send("MSG", QStringLiteral("marker"));
        QTRY_VERIFY(!player.with("MSG").isEmpty());
        QCOMPARE(count(), QStringLiteral("2"));
        // Once the hold is over the newest status is listed.
        lobby.server.advanceChatClock(l.roomHoldMs);
        game.send("STS", gameStatus(QStringLiteral("4")));
        QTRY_COMPARE(count(), QStringLiteral("4"));
        // A change held back goes out by itself when its time comes.
        l.roomHoldMs = 300;
        lobby.server.setLimits(l);
        game.send("STS", gameStatus(QStringLiteral("5")));
        QTRY_COMPARE(count(), QStringLiteral("5"));
    }

    void networkCaps()
    {
        LobbyLimits l = Lobby::quiet();
        l.roomsPerNetwork = 2;
        l.connectionsPerNetwork = 4;
        l.maxConnections = 7;
        Lobby lobby(l);
        // Two rooms from one /24, from two of its addresses; a third address is told why it is sent away.
        Client r1(QStringLiteral("127.46.0.1")), r2(QStringLiteral("127.46.0.2")),
            r3(QStringLiteral("127.46.0.3"));
        QVERIFY(registerRoom(r1, lobby.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(registerRoom(r2, lobby.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(r3.open(lobby.port()));
        r3.send("NAM", QStringLiteral("ZBSERVER"));
        QTRY_VERIFY(r3.closed());
        QCOMPARE(r3.lines, QStringList{QStringLiteral("SYM ") + msg::tooManyNetworkRooms(2)});

        // The /24 holds four connections, the lobby seven.
        Client c3(QStringLiteral("127.46.0.3")), c4(QStringLiteral("127.46.0.4")),
            c5(QStringLiteral("127.46.0.5"));
        QVERIFY(join(c3, lobby.port(), QStringLiteral("三")));
        QVERIFY(join(c4, lobby.port(), QStringLiteral("四")));
        QVERIFY(c5.open(lobby.port()));
        QTRY_VERIFY(c5.closed());
        std::vector<std::unique_ptr<Client>> others;
        for (int i = 0; i < 3; ++i) {
            others.push_back(std::make_unique<Client>(QStringLiteral("127.47.%1.1").arg(i)));
            QVERIFY(join(*others.back(), lobby.port(), QStringLiteral("客")));
        }
        Client late(QStringLiteral("127.48.0.1"));
        QVERIFY(late.open(lobby.port()));
        QTRY_VERIFY(late.closed());
        QVERIFY(c5.lines.isEmpty() && late.lines.isEmpty());

        // An IPv6 site counts by its /48; IPv4 reached over IPv6 as IPv4.
        const auto key = [](const char *a) {
            return LobbyServer::networkKey(QHostAddress(QLatin1String(a)));
        };
        QCOMPARE(key("2001:db8:1:2::1"), key("2001:db8:1:ffff::9"));
        QVERIFY(key("2001:db8:1::1") != key("2001:db8:2::1"));
        QCOMPARE(key("::ffff:127.46.0.9"), key("127.46.0.200"));
        QVERIFY(key("127.46.0.1") != key("127.46.1.1"));
    }

    void idlePeersDropped()
    {
        LobbyLimits l = Lobby::quiet();
        l.idleTimeoutMs = 500;
        Lobby lobby(l);
        Client silent(QStringLiteral("127.49.0.1")), talker(QStringLiteral("127.49.0.2"));
        QVERIFY(join(silent, lobby.port(), QStringLiteral("無言")));
        QVERIFY(join(talker, lobby.port(), QStringLiteral("話者")));
        QElapsedTimer sinceLine;
        sinceLine.start();
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (sinceLine.elapsed() >= 150) {
                    talker.send("MSG", QStringLiteral("まだいます"));
                    sinceLine.start();
                }
                return silent.closed();
            },
            10000));
        QVERIFY(silent.lines.contains(QStringLiteral("SYM ") + msg::idleNotice(1)));
        QVERIFY(!talker.closed());
    }

    void reachability()
    {
        LobbyLimits l = Lobby::quiet();
        l.maxReachChecks = 4;
        l.reachIntervalMs = 200;
        Lobby lobby(l);
        Client player(QStringLiteral("127.50.0.1"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));

        // A room that listens at its own address is reached; the lobby's connection says nothing.
        QTcpServer listening;
        QVERIFY(listening.listen(QHostAddress(QStringLiteral("127.50.1.1")), 0));
        const quint16 port = listening.serverPort();
        Client open(QStringLiteral("127.50.1.1"));
        QVERIFY(registerRoom(open, lobby.port(), statusAt(port)));
        QTRY_VERIFY(open.lines.contains(QStringLiteral("SYM ") + wire::ReachableNotice));
        QTRY_VERIFY(listening.hasPendingConnections());
        QTcpSocket *probe = listening.nextPendingConnection();
        QTRY_COMPARE(probe->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(probe->readAll().isEmpty());

        // The same port at an address where nothing listens: the room still registers, marked unreachable.
        Client closed(QStringLiteral("127.50.2.1"));
        QVERIFY(registerRoom(closed, lobby.port(), statusAt(port)));
        QTRY_VERIFY(closed.lines.contains(QStringLiteral("SYM ") + wire::unreachableNotice(port)));
        QTRY_VERIFY(player.rooms().size() == 2 &&
                    player.rooms().at(1).contains(QStringLiteral("reachable=0")));
        QVERIFY(player.rooms().at(0).startsWith(QStringLiteral("ipaddress=127.50.1.1&reachable=1&port=")));
        QVERIFY(player.rooms().at(1).startsWith(QStringLiteral("ipaddress=127.50.2.1&reachable=0&port=")));

        // Once the host opens the port, the next check finds it; the room hears each answer once.
        QTcpServer later;
        QVERIFY(later.listen(QHostAddress(QStringLiteral("127.50.2.1")), port));
        QTRY_VERIFY(closed.lines.contains(QStringLiteral("SYM ") + wire::ReachableNotice));
        QTRY_VERIFY(player.rooms().at(1).startsWith(QStringLiteral("ipaddress=127.50.2.1&reachable=1&")));
        QCOMPARE(closed.with("SYM").size(), 2);
        QCOMPARE(open.with("SYM").size(), 1);
    }

    void reachChecksAreFew()
    {
        ReachProbe probe;
        probe.setLimits(60000, 3000, 1);
        QSignalSpy checked(&probe, &ReachProbe::checked);
        QObject a, b, c;
        const quint16 port = freePort();
        for (QObject *room : {&a, &b, &c})
            probe.watch(room, QHostAddress(QStringLiteral("127.51.0.1")), port);
        probe.watch(&a, QHostAddress(QStringLiteral("127.51.0.1")), port);
        QCOMPARE(probe.running(), 1);
        QTRY_COMPARE(checked.size(), 3);
        QCOMPARE(probe.running(), 0);
    }

    void slowReaderGetsNewestList()
    {
        // Sixty rooms near the record ceiling make a list of about 120 KB.
        LobbyLimits l = Lobby::quiet();
        l.roomHoldMs = 0;
        Lobby lobby(l);
        std::vector<std::unique_ptr<Client>> rooms;
        for (int i = 0; i < 60; ++i) {
            rooms.push_back(std::make_unique<Client>(QStringLiteral("127.52.%1.1").arg(i)));
            QVERIFY(registerRoom(*rooms.back(), lobby.port(), ceilingStatus(1)));
        }
        // A player who stops reading.
        QTcpSocket slow;
        slow.bind(QHostAddress(QStringLiteral("127.53.0.1")));
        slow.setReadBufferSize(1);
        slow.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), lobby.port());
        QVERIFY(slow.waitForConnected(5000));
        slow.write(LineSocket::encodeLine(QStringLiteral("STS"), announcement(QStringLiteral("遅い"))));
        QTRY_COMPARE(lobby.server.playerCount(), 1);

        // Two hundred lists, 24 MB, far more than the sockets between hold.
        constexpr int Lists = 200;
        for (int i = 0; i < Lists; ++i) {
            const QString before = lobby.server.roomList();
            rooms.at(size_t(i % 60))->send("STS", ceilingStatus(2 + i / 60));
            QTRY_VERIFY(lobby.server.roomList() != before);
        }
        QCOMPARE(lobby.server.playerCount(), 1);
        // Reading again, the player finds a few lists, the newest last.
        slow.setReadBufferSize(0);
        const QByteArray newest = "SRV " + lobby.server.roomList().toLatin1() + "\r\n";
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += slow.readAll()).endsWith(newest), 20000);
        QVERIFY2(received.count("\r\nSRV ") < Lists / 2, QByteArray::number(received.count("\r\nSRV ")));
    }
};

QTEST_GUILESS_MAIN(TstZbLobbyAbuse)
#include "tst_zblobby_abuse.moc"
