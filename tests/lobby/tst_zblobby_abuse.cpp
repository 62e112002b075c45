#include "lobbyserver/lobbyserver.h"
#include "lobbyserver/messages.h"
#include "tests/freeport.h"
#include "tests/lobby/zblobbyclient.h"
#include "tests/wiretexts.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <memory>
#include <sys/resource.h>

using namespace zb;
using namespace zb::test;

namespace {

// The lobby in this process, its log collected; lists at once, no room checked unless asked.
struct Lobby {
    explicit Lobby(void (*adjust)(LobbyLimits &) = nullptr)
    {
        limits.updateIntervalMs = 0;
        limits.maxReachChecks = 0;
        if (adjust) adjust(limits);
        server.setLimits(limits);
        QObject::connect(&server, &LobbyServer::logLine, [this](const QString &line) { log.append(line); });
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    }
    quint16 port() const { return server.port(); }
    LobbyLimits limits;
    LobbyServer server;
    QStringList log;
};

using Crowd = std::vector<std::unique_ptr<Client>>;
Client &add(Crowd &crowd, const QString &from)
{
    crowd.push_back(std::make_unique<Client>(from));
    return *crowd.back();
}

QString statusAt(quint16 port)
{
    return urlEncode(QString(StatusText)
                         .replace(QStringLiteral("port=27064"), QStringLiteral("port=%1").arg(port))
                         .arg(QStringLiteral("pw"), QStringLiteral("部屋"), QStringLiteral("1")));
}

// Every field full of double-byte text, and dictionaries without end.
QString ceilingStatus(int count)
{
    const QString name(12, u'長');
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
    void sameNames()
    {
        // Players all named "a", eight to an address, all at once as a program would.
        constexpr int Players = 3000;
        rlimit files{};
        getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = files.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur < 2 * Players + 100)
            QSKIP("too few descriptors for the crowd");
        QProcess lobby;
        const quint16 port = freePort();
        lobby.start(QStringLiteral(ZB_BIN_DIR "/zblobby"),
                    QStringLiteral("--port %1 --update-interval-ms 60000 --max-connections-per-network %2 "
                                   "--max-connections %2")
                        .arg(port)
                        .arg(Players)
                        .split(u' '));
        QByteArray out;
        QTRY_VERIFY((out += lobby.readAll()).contains("ロビーサーバーを開始しました"));
        const long before = cpuTicks(lobby.processId());
        Crowd players;
        for (int i = 0; i < Players; ++i)
            add(players, QStringLiteral("127.40.%1.%2").arg(i / 1600).arg(i / 8 % 200 + 1))
                .socket.socket()
                ->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(players.cbegin(), players.cend(), [](const auto &p) { return p->wasConnected; }),
            30000);
        for (const auto &p : players)
            p->send("STS", announcement(QStringLiteral("a")));
        // All but the first are told the name they were given.
        QTRY_VERIFY_WITH_TIMEOUT(std::count_if(players.cbegin(), players.cend(),
                                               [](const auto &p) { return !p->with("SYM").isEmpty(); }) ==
                                     Players - 1,
                                 100000);
        const long used = cpuTicks(lobby.processId()) - before;
        QVERIFY2(used < 400, qPrintable(QStringLiteral("%1 ticks of lobby CPU").arg(used)));
    }

    void floodIsCut()
    {
        Lobby lobby;
        Client flooder(QStringLiteral("127.41.0.1"));
        QVERIFY(join(flooder, lobby.port(), QStringLiteral("洪水")));
        // Short unknown lines without end: dropped over the budget, logged once, the sender cut.
        const QByteArray burst = QByteArray("XYZ a\r\n").repeated(200);
        QVERIFY(QTest::qWaitFor([&] { return flooder.socket.sendRaw(burst), flooder.closed(); }, 30000));
        QCOMPARE(lobby.log.filter(QStringLiteral("不明なコマンド XYZ")).size(), 1);
        QCOMPARE(lobby.log.filter(msg::Flooded).size(), 1);
    }

    void logLinesPerSource()
    {
        // A window longer than the test: it ends when the lobby's clock is moved on.
        Lobby lobby([](LobbyLimits &l) { l.logWindowMs = 600000; });
        // Ten visits from one /24 cause thirty lines: connected, entered, left.
        for (int i = 1; i <= 10; ++i) {
            Client c(QStringLiteral("127.42.0.%1").arg(i));
            QVERIFY(join(c, lobby.port(), QStringLiteral("客")));
            c.socket.socket()->abort();
            QTRY_COMPARE(lobby.server.playerCount(), 0);
        }
        QCOMPARE(lobby.log.filter(QStringLiteral("127.42.0.")).size(), lobby.limits.logLines);
        lobby.server.advanceChatClock(lobby.limits.logWindowMs);
        Client next(QStringLiteral("127.42.0.99"));
        QVERIFY(join(next, lobby.port(), QStringLiteral("客")));
        QCOMPARE(lobby.log.filter(QStringLiteral("127.42.0.0/24 からの 10 件の行を省略しました")).size(), 1);
    }

    void ceilingRoomsLeaveRoom()
    {
        // Rooms at the record ceiling take every place but one: a real room still gets it.
        Lobby lobby([](LobbyLimits &l) {
            l.maxRooms = 6;
            l.maxListBytes = l.maxRooms * RoomListing::MaxRecordBytes;
        });
        Crowd rooms;
        for (int i = 0; i < 5; ++i)
            QVERIFY(registerRoom(add(rooms, QStringLiteral("127.43.%1.1").arg(i)), lobby.port(),
                                 ceilingStatus(1)));
        Client real(QStringLiteral("127.44.0.1")), player(QStringLiteral("127.44.0.2"));
        QVERIFY(registerRoom(real, lobby.port(), gameStatus(QStringLiteral("1"))));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        QCOMPARE(player.rooms().size(), 6);
        QVERIFY(player.rooms().last().startsWith(QStringLiteral("ipaddress=127.44.0.1&")));
    }

    void roomChangesHeld()
    {
        Lobby lobby([](LobbyLimits &l) { l.roomHoldMs = 600000; });
        Client player(QStringLiteral("127.45.0.1")), other(QStringLiteral("127.45.0.2")),
            game(QStringLiteral("127.45.0.3"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        QVERIFY(join(other, lobby.port(), QStringLiteral("太郎")));
        const auto shown = [&] {
            return StatusRecord::field(player.rooms().value(0), QStringLiteral("playercount="));
        };
        const auto change = [&](int count) { game.send("STS", gameStatus(QString::number(count))); };
        QVERIFY(registerRoom(game, lobby.port(), gameStatus(QStringLiteral("1"))));
        // The first change goes out at once; the next waits, and a later chat line comes first.
        change(2);
        QTRY_COMPARE(shown(), QStringLiteral("2"));
        change(3);
        game.send("CHK", QStringLiteral("null"));
        QTRY_COMPARE(game.with("CHK").size(), 2);
        other.send("MSG", QStringLiteral("marker"));
        QTRY_VERIFY(!player.with("MSG").isEmpty());
        QCOMPARE(shown(), QStringLiteral("2"));
        // Once the hold is over the newest status is listed; a change held back goes out by itself.
        lobby.server.advanceChatClock(lobby.limits.roomHoldMs);
        change(4);
        QTRY_COMPARE(shown(), QStringLiteral("4"));
        lobby.limits.roomHoldMs = 300;
        lobby.server.setLimits(lobby.limits);
        change(5);
        QTRY_COMPARE(shown(), QStringLiteral("5"));
    }

    void networkCaps()
    {
        Lobby lobby([](LobbyLimits &l) {
            l.roomsPerNetwork = 2;
            l.connectionsPerNetwork = 4;
            l.maxConnections = 7;
        });
        // Rooms from two addresses of one /24; a third address is told why it is sent away.
        Crowd c;
        for (int i = 1; i <= 2; ++i)
            QVERIFY(
                registerRoom(add(c, QStringLiteral("127.46.0.%1").arg(i)), lobby.port(), gameStatus("1")));
        Client &third = add(c, QStringLiteral("127.46.0.3"));
        QVERIFY(third.open(lobby.port()));
        third.send("NAM", QStringLiteral("ZBSERVER"));
        QTRY_VERIFY(third.closed());
        QCOMPARE(third.lines, QStringList{QStringLiteral("SYM ") + msg::tooManyNetworkRooms(2)});
        // The /24 holds four connections, the lobby seven; the rest are closed unheard.
        for (const char *from : {"127.46.0.3", "127.46.0.4", "127.47.0.1", "127.47.1.1", "127.47.2.1"})
            QVERIFY(join(add(c, QLatin1String(from)), lobby.port(), QStringLiteral("客")));
        for (const char *from : {"127.46.0.5", "127.48.0.1"}) {
            Client &refused = add(c, QLatin1String(from));
            QVERIFY(refused.open(lobby.port()));
            QTRY_VERIFY(refused.closed());
            QVERIFY(refused.lines.isEmpty());
        }
        // An IPv6 site counts by its /48; IPv4 reached over IPv6 as IPv4.
        const auto key = [](const char *a) {
            return LobbyServer::networkKey(QHostAddress(QLatin1String(a)));
        };
        QVERIFY(key("2001:db8:1:2::1") == key("2001:db8:1:ffff::9") &&
                key("2001:db8:1::1") != key("2001:db8:2::1") &&
                key("::ffff:127.46.0.9") == key("127.46.0.200"));
    }

    void idlePeersDropped()
    {
        Lobby lobby([](LobbyLimits &l) { l.idleTimeoutMs = 500; });
        Client silent(QStringLiteral("127.49.0.1")), talker(QStringLiteral("127.49.0.2"));
        QVERIFY(join(silent, lobby.port(), QStringLiteral("無言")));
        QVERIFY(join(talker, lobby.port(), QStringLiteral("話者")));
        // The talker's lines keep him in.
        QTimer talk;
        QObject::connect(&talk, &QTimer::timeout, [&] { talker.send("MSG", QStringLiteral("まだいます")); });
        talk.start(150);
        QTRY_VERIFY_WITH_TIMEOUT(silent.closed(), 10000);
        QVERIFY(silent.lines.contains(QStringLiteral("SYM ") + msg::idleNotice(1)));
        QVERIFY(!talker.closed());
    }

    void reachability()
    {
        Lobby lobby([](LobbyLimits &l) {
            l.maxReachChecks = 4;
            l.reachIntervalMs = 200;
        });
        Client player(QStringLiteral("127.50.0.1"));
        QVERIFY(join(player, lobby.port(), QStringLiteral("花子")));
        // A room listening at its own address is reached by a connection that says nothing.
        QTcpServer listening;
        QVERIFY(listening.listen(QHostAddress(QStringLiteral("127.50.1.1")), 0));
        const quint16 port = listening.serverPort();
        Client open(QStringLiteral("127.50.1.1")), closed(QStringLiteral("127.50.2.1"));
        QVERIFY(registerRoom(open, lobby.port(), statusAt(port)));
        QTRY_VERIFY(open.lines.contains(QStringLiteral("SYM ") + wire::ReachableNotice));
        QTRY_VERIFY(listening.hasPendingConnections());
        QTcpSocket *probe = listening.nextPendingConnection();
        QTRY_COMPARE(probe->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(probe->readAll().isEmpty());
        // The same port at an address where nothing listens: listed all the same, marked.
        QVERIFY(registerRoom(closed, lobby.port(), statusAt(port)));
        QTRY_VERIFY(closed.lines.contains(QStringLiteral("SYM ") + wire::unreachableNotice(port)));
        QTRY_VERIFY(player.rooms().size() == 2 && player.rooms().at(1).startsWith(QStringLiteral(
                                                      "ipaddress=127.50.2.1&reachable=0&port=")));
        QVERIFY(player.rooms().at(0).startsWith(QStringLiteral("ipaddress=127.50.1.1&reachable=1&port=")));
        // Once the host opens the port the next check finds it; each answer is told once.
        QTcpServer later;
        QVERIFY(later.listen(QHostAddress(QStringLiteral("127.50.2.1")), port));
        QTRY_VERIFY(closed.lines.contains(QStringLiteral("SYM ") + wire::ReachableNotice));
        QTRY_VERIFY(player.rooms().at(1).contains(QStringLiteral("&reachable=1&")));
        QCOMPARE(closed.with("SYM").size(), 2);
        QCOMPARE(open.with("SYM").size(), 1);

        // One check per room at a time, and a few in all.
        ReachProbe probes;
        probes.setLimits(60000, 3000, 1);
        QSignalSpy checked(&probes, &ReachProbe::checked);
        QObject a, b;
        for (QObject *room : {&a, &b, &a})
            probes.watch(room, QHostAddress(QStringLiteral("127.51.0.1")), port);
        QCOMPARE(probes.running(), 1);
        QTRY_COMPARE(checked.size(), 2);
    }

    void slowReaderGetsNewestList()
    {
        // Sixty rooms near the record ceiling: a list of about 120 KB.
        Lobby lobby([](LobbyLimits &l) { l.roomHoldMs = 0; });
        Crowd rooms;
        for (int i = 0; i < 60; ++i)
            QVERIFY(registerRoom(add(rooms, QStringLiteral("127.52.%1.1").arg(i)), lobby.port(),
                                 ceilingStatus(1)));
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
