// A stranger on a raw connection tries to spoil the room while players are
// seated; what the players see is asserted.
#include "server/core/floodguard.h"
#include "server/core/roundengine.h"
#include "server/core/strokecheck.h"
#include "shared/stroke.h"
#include "shared/textclean.h"
#include "tests/server/serverfixture.h"
#include "tests/wiretexts.h"

using namespace zb;

namespace {
const QString kFull = QStringLiteral("SYM ") + wire::RoomFull;

QString stroke(int points)
{
    QString s = QStringLiteral("0:3:");
    for (int i = 0; i < points; ++i)
        s += QStringLiteral("%1,%2;").arg(100 + i % 400).arg(100 + i % 300);
    return s;
}
} // namespace

class TstTrustBoundary : public ServerFixture {
    Q_OBJECT

    void tickTo(int value)
    {
        for (int i = 0; i < 200 && m_server->round().timeLeft() != value; ++i)
            RoomInternals::engine(*m_server).onClockTick();
        QCOMPARE(m_server->round().timeLeft(), value);
    }

  private slots:
    void init() { setUpFolder(QStringLiteral("りんご\r\n")); }
    void cleanup() { tearDownServer(); }

    void strangersHearNothing()
    {
        startServer();
        writeFile(QStringLiteral("ban.txt"), "x\t127.0.0.9\r\n");
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        alice->lines.clear();
        bob->lines.clear();

        // Not joined: only its own handshake is answered; a name that cleans
        // to nothing leaves it joining.
        TestClient *lurker = connectClient(4);
        lurker->send(QStringLiteral("VER"), QStringLiteral("1.16"));
        for (const char *command : {"MSG", "STK", "CLS", "RDY", "SYM"})
            lurker->send(QString::fromLatin1(command), QStringLiteral("0:3:1,1;"));
        lurker->send(QStringLiteral("NAM"), QStringLiteral(" :;\x01 "));
        QTRY_VERIFY(lurker->has(QStringLiteral("NUM 2")));
        // A second joining connection from its address, and a banned address, get nothing.
        TestClient *twin = connectClient(4);
        TestClient *banned = connectClient(9);
        banned->join(QStringLiteral("banned"));
        alice->send(QStringLiteral("MSG"), QStringLiteral("secret"));
        QTRY_VERIFY(twin->closed());
        QTRY_VERIFY(banned->closed());
        QVERIFY(logged(sys(msg::BannedKick)));
        // The join time-out ends the lurker without a word to the room.
        QTRY_VERIFY(lurker->closed());
        QCOMPARE(lurker->lines, QStringList{QStringLiteral("NUM 2")});
        QVERIFY(twin->lines.isEmpty() && banned->lines.isEmpty());
        QVERIFY(alice->lines.isEmpty());
        QCOMPARE(bob->lines, QStringList{QStringLiteral("MSG 0:secret")});
    }

    void passwordRoom()
    {
        ServerSettings s = quietSettings();
        s.password = QStringLiteral("pw");
        startServer(s, 0);
        TestClient *alice = joinClient(2, QStringLiteral("alice"), QStringLiteral("pw"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"), QStringLiteral("pw"));
        // One ignores NSP and readies; one never sends a password at all.
        TestClient *mallory = connectClient(4);
        mallory->join(QStringLiteral("mallory"), QStringLiteral("guess"));
        mallory->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        mallory->send(QStringLiteral("MSG"), QStringLiteral("hi"));
        TestClient *sneak = connectClient(5);
        sneak->send(QStringLiteral("VER"), QStringLiteral("1.16"));
        sneak->send(QStringLiteral("NAM"), QStringLiteral("sneak"));
        for (TestClient *c : {mallory, sneak}) {
            QTRY_VERIFY(c->closed());
            QVERIFY(c->has(QStringLiteral("NSP null")));
        }
        // Never seated, so never announced; the clock never ticks here, so the
        // second refusal waits in the count.
        for (const QString &name : {QStringLiteral("mallory"), QStringLiteral("sneak")}) {
            QVERIFY(!alice->has(QStringLiteral("SYM ") + msg::playerLeft(name)));
            QVERIFY(!alice->has(QStringLiteral("SYM ") + msg::playerJoined(name)));
        }
        QCOMPARE(alice->count(QStringLiteral("SYM ") + wire::PasswordMismatch), 1);
        for (const QString &marks : alice->payloads(QStringLiteral("RDY")))
            QCOMPARE(marks.split(QLatin1Char(':')).value(2) == QLatin1String("OK"), false);
        QVERIFY(!bob->has(QStringLiteral("MSG 2:hi")));
        QCOMPARE(m_server->seats().playerCount(), 2);

        // A program trying again and again is soon refused, silently.
        for (int i = 0; i < ConnectGuard::MaxConnects + 3; ++i) {
            TestClient *retry = connectClient(6);
            retry->join(QStringLiteral("retry"), QStringLiteral("guess"));
            QTRY_VERIFY(retry->closed());
        }
        QTRY_COMPARE(m_log.count(sys(msg::TooManyConnections)), 1);
        QCOMPARE(alice->count(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("retry"))), 0);
        QCOMPARE(alice->count(QStringLiteral("SYM ") + wire::PasswordMismatch), 1);
    }

    void versionIsPerConnection()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *first = joinClient(3, QStringLiteral("first"));
        first->close();
        QTRY_VERIFY(!m_server->seats().busy(1));
        // The next connection in that slot never sends VER.
        TestClient *next = connectClient(4);
        next->send(QStringLiteral("NAM"), QStringLiteral("next"));
        QTRY_VERIFY(next->closed());
        QVERIFY(logged(sys(msg::VersionKick)));
        QVERIFY(!alice->has(QStringLiteral("SYM ") + msg::playerJoined(QStringLiteral("next"))));
    }

    void namesAreCleanedUniqueAndFixed()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        joinClient(3, QStringLiteral("ali:ce\x1b"));
        joinClient(4, QStringLiteral("a&b=c;d,e\tfghijklmnop"));
        QCOMPARE(m_server->seats().name(1), QStringLiteral("alice(2)"));
        QCOMPARE(m_server->seats().name(2), QStringLiteral("abcdefghijkl"));
        // A seated player cannot rename himself: no line, no sound.
        alice->lines.clear();
        m_clients[1]->send(QStringLiteral("NAM"), QStringLiteral("boss"));
        m_clients[1]->send(QStringLiteral("SYM"), QStringLiteral("renamed?"));
        QTRY_VERIFY(logged(sys(msg::ignoredFromClient(1, msg::IgnoredSystemLine))));
        QCOMPARE(m_server->seats().name(1), QStringLiteral("alice(2)"));
        QVERIFY(alice->lines.isEmpty());
    }

    void burstOfJoinsKeepsPlayerLimit()
    {
        ServerSettings s = quietSettings();
        s.playerMaxIndex = 0;
        startServer(s);
        // All five are accepted while nobody is seated; only three may sit.
        QList<TestClient *> burst;
        for (int i = 0; i < 5; ++i)
            burst << connectClient(2 + i);
        QTRY_VERIFY(m_server->seats().busy(4));
        for (int i = 0; i < 5; ++i)
            burst[i]->join(QStringLiteral("p%1").arg(i));
        QTRY_COMPARE(
            int(std::count_if(burst.cbegin(), burst.cend(), [](TestClient *c) { return c->closed(); })), 2);
        QCOMPARE(m_server->seats().playerCount(), 3);
        for (TestClient *c : burst) {
            if (c->closed()) QCOMPARE(c->lines.last(), kFull);
        }
    }

    void onlyTheDrawerDrawsAndOnlyGuessersScore()
    {
        startServer(quietSettings(), 0);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        TestClient *carol = joinClient(4, QStringLiteral("carol"));
        for (TestClient *c : {alice, bob, carol})
            c->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY(m_server->round().gameRunning());
        // Before the first turn the players do not know a game runs: all draw.
        bob->send(QStringLiteral("STK"), QStringLiteral("0:3:1,1;"));
        QTRY_VERIFY(carol->has(QStringLiteral("STK 0:3:1,1;")));
        tickTo(100);
        QCOMPARE(m_server->round().drawerSlot(), 0);
        bob->send(QStringLiteral("STK"), QStringLiteral("0:3:2,2;"));
        bob->send(QStringLiteral("CLS"), QStringLiteral("8"));
        alice->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
        alice->send(QStringLiteral("STK"), QStringLiteral("0:3:3,3;"));
        bob->send(QStringLiteral("MSG"), QStringLiteral("seen"));
        QTRY_VERIFY(carol->has(QStringLiteral("STK 0:3:3,3;")));
        QTRY_VERIFY(carol->has(QStringLiteral("MSG 1:seen")));
        QVERIFY(carol->has(QStringLiteral("MSG 0:りんご")));
        QVERIFY(!carol->has(QStringLiteral("STK 0:3:2,2;")) && !carol->has(QStringLiteral("CLS 8")));
        QVERIFY(!carol->has(QStringLiteral("QOK 0")));
        carol->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
        QTRY_VERIFY(alice->has(QStringLiteral("QOK 2")));
        QCOMPARE(m_server->round().score(0), 100);
    }

    void chatCannotForgeLines()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        bob->send(QStringLiteral("MSG"), QStringLiteral("a\nMSG 0:fake\x1b[2J\r\x00z") + QString(200, u'x'));
        QTRY_COMPARE(alice->payloads(QStringLiteral("MSG")).size(), 1);
        const QString text = QStringLiteral("aMSG 0:fake[2Jz") + QString(200, u'x');
        QCOMPARE(alice->payloads(QStringLiteral("MSG")).first(),
                 QStringLiteral("1:") + text.left(MaxChatLength));
        // Nor a line on the host's console.
        TestClient *stranger = connectClient(9);
        stranger->send(QStringLiteral("VER"), QStringLiteral("a\n12:00 <system> b\x1b"));
        QTRY_VERIFY(logged(sys(msg::clientVersion(2, QStringLiteral("a\\x0A12:00 <system> b\\x1B")))));
    }

    void onlyStrokesAProgramDrawsAreRelayed_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("relayed");
        QByteArray most = "255:28:";
        for (int i = 0; i < MaxStrokePoints; ++i)
            most += QByteArray::number(i % 640) + ',' + QByteArray::number(-i % 480) + ';';
        QTest::newRow("as the program sends it") << QByteArray("255:8:10,20;10,20;11,22;") << true;
        QTest::newRow("fractions, off the canvas") << QByteArray("0:3:-12.5,490;1e-05,-0.25;") << true;
        QTest::newRow("the most points") << most << true;
        QTest::newRow("one point more") << most + "1,1;" << false;
        QTest::newRow("a width never offered") << QByteArray("0:1000:10,10;10,10;") << false;
        QTest::newRow("far off the canvas") << QByteArray("0:3:10,10;99999,10;") << false;
        QTest::newRow("no points") << QByteArray("0:3:") << false;
        QTest::newRow("no final separator") << QByteArray("0:3:1,1;2,2") << false;
        QTest::newRow("more fields") << QByteArray("0:3:1,1;:5") << false;
        QTest::newRow("colour out of range") << QByteArray("16777216:3:1,1;") << false;
        QTest::newRow("not a number") << QByteArray("0:3:1,nan;") << false;
        QTest::newRow("huge number text") << QByteArray("0:3:1,") + QByteArray(40, '1') + ";" << false;
        QTest::newRow("on the margin") << QByteArray("0:3:8832,-8192;-8192.000,8672.0;") << true;
        QTest::newRow("just past the margin") << QByteArray("0:3:8832.000001,1;") << false;
        QTest::newRow("just past, below") << QByteArray("0:3:-8192.5,1;") << false;
        QTest::newRow("past, with leading zeros") << QByteArray("0:3:00000000000000008833,1;") << false;
        QTest::newRow("long decimals") << QByteArray("0:3:8832.0000001,1;") << false;
        QTest::newRow("exponent") << QByteArray("0:3:8.833e3,1;") << false;
    }
    void onlyStrokesAProgramDrawsAreRelayed()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, relayed);
        QCOMPARE(isPlausibleStroke(payload), relayed);
    }

    // Whole numbers around every bound, as the first point of a long stroke
    // and as its last, and bytes next to the digits that are none.
    void strokeBoundsHoldEverywhereInAStroke()
    {
        const QByteArray tail = "1,1;2,2;3,3;";
        QList<int> values;
        for (int v = -8200; v <= 8840; ++v) {
            if (v < -8185 || (v > -1010 && v < -990) || (v > 990 && v < 1010) || v > 8660) values << v;
        }
        for (const int v : values) {
            const QByteArray n = QByteArray::number(v);
            const bool x = v >= -8192 && v <= 8832;
            const bool y = v >= -8192 && v <= 8672;
            QCOMPARE(isPlausibleStroke("0:3:" + n + ",1;" + tail), x);
            QCOMPARE(isPlausibleStroke("0:3:" + tail + n + ",1;"), x);
            QCOMPARE(isPlausibleStroke("0:3:1," + n + ";" + tail), y);
            QCOMPARE(isPlausibleStroke("0:3:" + tail + "1," + n + ";"), y);
        }
        for (const char c : {'/', ':', ' ', '+', char(0x80), char(0xb1)}) {
            QVERIFY(!isPlausibleStroke("0:3:12" + QByteArray(1, c) + ",1;" + tail));
            QVERIFY(!isPlausibleStroke("0:3:1,1" + QByteArray(1, c) + "2;" + tail));
        }
    }

    void silentSeatIsReleased()
    {
        // Eleven minutes of a 2 ms clock: the silent player is let go, told
        // why; the one who speaks stays.
        startServer(quietSettings(), 2);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        QTimer chatter;
        connect(&chatter, &QTimer::timeout, bob,
                [bob] { bob->send(QStringLiteral("RDY"), QStringLiteral("NG")); });
        chatter.start(200);
        QTRY_VERIFY_WITH_TIMEOUT(alice->closed(), 30000);
        QCOMPARE(alice->lines.last(), QStringLiteral("SYM ") + wire::Silent);
        QVERIFY(logged(sys(msg::clientIdle(0, 11))));
        QVERIFY(bob->connected());
        QTRY_VERIFY(bob->has(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("alice"))));
    }

    void refusedPasswordsReachTheRoomOncePerWindow()
    {
        ServerSettings s = quietSettings();
        s.password = QStringLiteral("pw");
        startServer(s, 200);
        TestClient *alice = joinClient(2, QStringLiteral("alice"), QStringLiteral("pw"));
        alice->lines.clear();
        for (int i = 0; i < 3; ++i)
            connectClient(10 + i)->join(QStringLiteral("guess"), QStringLiteral("x"));
        // Every refusal counted, in at most two notices: one at once, one with
        // the count when the window ends.
        int reported = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                reported = 0;
                for (const QString &text : alice->payloads(QStringLiteral("SYM"))) {
                    if (text == wire::PasswordMismatch)
                        reported += 1;
                    else if (text.startsWith(wire::PasswordMismatch))
                        reported += text.mid(wire::PasswordMismatch.size() + 1).chopped(2).toInt();
                }
                return reported == 3;
            }(),
            10000);
        QVERIFY(alice->lines.size() <= 2);
        QCOMPARE(alice->lines.first(), QStringLiteral("SYM ") + wire::PasswordMismatch);
        QCOMPARE(m_server->seats().playerCount(), 1);
    }

    void networkTextInTheLogIsBounded()
    {
        startServer(quietSettings(), 50);
        joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        m_log.clear();
        const QString huge(100000, u'\x1b');
        TestClient *stranger = connectClient(9);
        stranger->send(QStringLiteral("VER"), huge);
        // Under the flood budget, but more lines than the log takes from one address.
        for (int i = 0; i < 12; ++i)
            bob->send(QStringLiteral("XYZ"), huge);
        for (int i = 0; i < 4; ++i)
            bob->send(QStringLiteral("SYM"), huge);
        const QString summary = QStringLiteral("<system> 127.0.0.3 からの ");
        QTRY_VERIFY(std::any_of(m_log.cbegin(), m_log.cend(), [&](const QString &line) {
            return line.startsWith(summary) && line.endsWith(QStringLiteral(" 件の行を省略しました"));
        }));
        QVERIFY(bob->connected());
        qsizetype longest = 0;
        for (const QString &line : std::as_const(m_log))
            longest = qMax(longest, line.size());
        QVERIFY2(longest < 300, qPrintable(QString::number(longest)));
        QVERIFY(m_log.size() < 40);
    }

    void floodIsHeldToBudget()
    {
        // The tick never comes: every line counts in one window.
        startServer(quietSettings(), 0);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        TestClient *carol = joinClient(4, QStringLiteral("carol"));
        const QString big = stroke(5000);
        for (int i = 0; i < FloodGuard::MaxLines + 5; ++i)
            bob->send(QStringLiteral("MSG"), QString::number(i));
        bob->send(QStringLiteral("STK"), QStringLiteral("0:3:1,1;"));
        for (int i = 0; i < 30; ++i)
            carol->send(QStringLiteral("STK"), big);
        carol->send(QStringLiteral("MSG"), QStringLiteral("done"));
        QTRY_VERIFY(alice->has(QStringLiteral("STK 0:3:1,1;")));
        QTRY_VERIFY(alice->has(QStringLiteral("MSG 2:done")));
        // Joining took three of each sender's lines.
        QCOMPARE(alice->payloads(QStringLiteral("MSG")).size(), FloodGuard::MaxLines - 3 + 1);
        const qint64 lineBytes = LineSocket::encodeLine(QStringLiteral("STK"), big).size();
        QCOMPARE(alice->count(QStringLiteral("STK ") + big), int(FloodGuard::MaxCanvasBytes / lineBytes));
    }

    void humanDrawerIsNeverHeldBack()
    {
        // Faster than any hand: a 1000 Hz mouse dragged without a pause and
        // released twice a second, 15 clicks and 2 fills every second.
        FloodGuard guard;
        const qint64 drag = LineSocket::encodeLine(QStringLiteral("STK"),
                                                   QStringLiteral("16777215:28:") + QString(500 * 10, u'9'))
                                .size();
        for (int second = 0; second < 30; ++second) {
            for (int i = 0; i < 2; ++i)
                QVERIFY(guard.take(FloodGuard::Kind::Stroke, drag));
            for (int i = 0; i < 15; ++i)
                QVERIFY(guard.take(FloodGuard::Kind::Stroke, 30));
            for (int i = 0; i < 2; ++i)
                QVERIFY(guard.take(FloodGuard::Kind::Fill, 7));
            QVERIFY(!guard.tick());
        }
    }

    void strokeBudgetIsTheRunsOwn()
    {
        startServer(quietSettings(), 0);
        m_server->config().setStrokeBudget(4 * FloodGuard::MaxCanvasBytes);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        const QString big = stroke(5000);
        for (int i = 0; i < 30; ++i)
            bob->send(QStringLiteral("STK"), big);
        bob->send(QStringLiteral("MSG"), QStringLiteral("done"));
        QTRY_VERIFY(alice->has(QStringLiteral("MSG 1:done")));
        QCOMPARE(alice->count(QStringLiteral("STK ") + big), 30);
    }

    void flooderIsCutWithReason()
    {
        startServer(quietSettings(), 50);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *flooder = joinClient(3, QStringLiteral("flooder"));
        // Twenty lines every 10 ms: a steady flood, read as it comes, that outlasts
        // several moderation ticks.
        QTimer flood;
        flood.setInterval(10);
        connect(&flood, &QTimer::timeout, flooder, [flooder] {
            if (flooder->closed()) return;
            for (int k = 0; k < 20; ++k)
                flooder->send(QStringLiteral("CLS"), QStringLiteral("1"));
        });
        flood.start();
        QTRY_VERIFY_WITH_TIMEOUT(flooder->closed(), 20000);
        flood.stop();
        QVERIFY(logged(sys(msg::clientFlooding(1))));
        QCOMPARE(flooder->lines.last(), QStringLiteral("SYM ") + wire::SentTooMuch);
        QTRY_VERIFY(alice->has(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("flooder"))));
        QVERIFY(alice->connected());
    }
};

QTEST_GUILESS_MAIN(TstTrustBoundary)
#include "tst_trustboundary.moc"
