#include "server/core/banlist.h"
#include "server/core/linerelay.h"
#include "server/texts/messages.h"
#include "tests/server/serverfixture.h"
#include "tests/wiretexts.h"

using namespace zb;

namespace {
const QString kSettingsLine = QStringLiteral("SYM ") + msg::settingsLine(8, 3, false);
QString nms(const QStringList &names)
{
    QString out;
    for (int i = 0; i < 8; ++i)
        out += names.value(i) + QLatin1Char(':');
    return QStringLiteral("NMS ") + out;
}
} // namespace

class TstGameServer : public ServerFixture {
    Q_OBJECT
  private slots:
    void init() { setUpFolder(QStringLiteral("りんご\r\nみかん\r\n")); }
    void cleanup() { tearDownServer(); }

    void handshake_data()
    {
        QTest::addColumn<QString>("serverPassword");
        QTest::addColumn<QString>("clientPassword");
        QTest::addColumn<QString>("passwordLog");
        QTest::newRow("no password") << QString() << QStringLiteral("anything") << QString();
        QTest::newRow("right password")
            << QStringLiteral("pw") << QStringLiteral("pw") << msg::passwordMatched(0);
    }
    void handshake()
    {
        QFETCH(QString, serverPassword);
        QFETCH(QString, clientPassword);
        QFETCH(QString, passwordLog);
        ServerSettings s = quietSettings();
        s.password = serverPassword;
        startServer(s);
        TestClient *alice = connectClient(2);
        alice->join(QStringLiteral("alice"), clientPassword);
        const QStringList expected{
            QStringLiteral("NUM 0"),
            QStringLiteral("SYM ") + msg::playerJoined(QStringLiteral("alice")),
            nms({QStringLiteral("alice")}),
            QStringLiteral("RDY NG:NG:NG:NG:NG:NG:NG:NG:"),
            QStringLiteral("SCR 0:0:0:0:0:0:0:0:"),
            QStringLiteral("SND connect"),
            QStringLiteral("SYM ") + msg::DictionaryListHeading,
            QStringLiteral("SYM ") + msg::BuiltInDictionary + QLatin1Char(':'),
            QStringLiteral("SYM ") + msg::GameSettingsHeading,
            kSettingsLine,
        };
        QTRY_COMPARE(alice->lines, expected);
        QVERIFY(logged(sys(msg::clientConnected(0))));
        QVERIFY(logged(sys(msg::clientVersion(0, QStringLiteral("1.16")))));
        QVERIFY(logged(sys(msg::clientName(0, QStringLiteral("alice")))));
        QVERIFY(logged(sys(QStringLiteral("127.0.0.2"))));
        QCOMPARE(logged(sys(msg::passwordMatched(0))), !passwordLog.isEmpty());
        QCOMPARE(m_server->seats().name(0), QStringLiteral("alice"));
        QCOMPARE(m_server->seats().at(0)->joinTicks, -1);
        QCOMPARE(m_server->seats().label(0), QStringLiteral("alice Score: 0"));

        // A second player: everybody sees the join, only the newcomer the four notices.
        alice->lines.clear();
        TestClient *bob = connectClient(3);
        bob->join(QStringLiteral("bob"), clientPassword);
        QTRY_COMPARE(bob->lines.size(), 10);
        QCOMPARE(bob->lines.first(), QStringLiteral("NUM 1"));
        QTRY_COMPARE(alice->lines,
                     (QStringList{QStringLiteral("SYM ") + msg::playerJoined(QStringLiteral("bob")),
                                  nms({QStringLiteral("alice"), QStringLiteral("bob")}),
                                  QStringLiteral("RDY NG:NG:NG:NG:NG:NG:NG:NG:"),
                                  QStringLiteral("SCR 0:0:0:0:0:0:0:0:"), QStringLiteral("SND connect")}));
    }

    void wrongPassword()
    {
        ServerSettings s = quietSettings();
        s.password = QStringLiteral("secret");
        startServer(s);
        TestClient *alice = joinClient(2, QStringLiteral("alice"), QStringLiteral("secret"));
        alice->lines.clear();
        TestClient *mallory = connectClient(3);
        mallory->join(QStringLiteral("mallory"), QStringLiteral("guess"));
        QTRY_VERIFY(mallory->has(QStringLiteral("NSP null")));
        // The room hears of it; the refused player reads only his own answer.
        QTRY_COMPARE(alice->lines, QStringList{QStringLiteral("SYM ") + wire::PasswordMismatch});
        QVERIFY(!mallory->has(QStringLiteral("SYM ") + wire::PasswordMismatch));
        QVERIFY(logged(sys(msg::passwordWrong(1))));
        // Never seated: the server closes it without a join or a departure.
        QTRY_VERIFY(mallory->closed());
        QTRY_VERIFY(!m_server->seats().busy(1));
        QVERIFY(logged(sys(msg::PasswordKick)));
        QCOMPARE(alice->lines, QStringList{QStringLiteral("SYM ") + wire::PasswordMismatch});
    }

    void wrongVersion()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        alice->lines.clear();
        TestClient *old = connectClient(3);
        old->join(QStringLiteral("old"), QString(), QStringLiteral("1.15"));
        QTRY_VERIFY(old->closed());
        QCOMPARE(old->lines, (QStringList{QStringLiteral("SYM ") + msg::versionAdvice(QStringLiteral("1.16")),
                                          QStringLiteral("NST null")}));
        QVERIFY(logged(sys(msg::VersionMismatch)));
        QVERIFY(logged(sys(msg::VersionKick)));
        // A stranger makes the room say nothing.
        QVERIFY(alice->lines.isEmpty());
        QCOMPARE(m_server->seats().playerCount(), 1);
    }

    void roomFullByPlayerMax()
    {
        ServerSettings s = quietSettings();
        s.playerMaxIndex = 0;
        startServer(s);
        for (int i = 0; i < 3; ++i)
            joinClient(2 + i, QStringLiteral("p%1").arg(i));
        QCOMPARE(m_server->seats().playerCount(), 3);
        TestClient *late = connectClient(9);
        QTRY_VERIFY(logged(sys(msg::RoomFullConnected)));
        QTRY_COMPARE(m_server->captionText(), QStringLiteral("zbserver Port:%1 [7] [-1]").arg(m_port));
        late->join(QStringLiteral("late"));
        QTRY_VERIFY(late->closed());
        QCOMPARE(late->lines, QStringList{QStringLiteral("SYM ") + wire::RoomFull});
        QVERIFY(logged(sys(msg::RoomFullSent)));
        QTRY_VERIFY(logged(sys(msg::RoomFullDone)));
        QVERIFY(!m_server->seats().busy(3));
        QTRY_COMPARE(m_server->captionText(), QStringLiteral("zbserver Port:%1 [0] [-1]").arg(m_port));
    }

    void timeOuts()
    {
        // Seven silent connections fill every free socket; a player arriving
        // then takes the seat of the oldest of them; all are dropped by the
        // time-outs.
        startServer(quietSettings(), 100);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        alice->lines.clear();
        QList<TestClient *> silent;
        for (int i = 0; i < 7; ++i) {
            silent << connectClient(3 + i);
            QTRY_VERIFY(m_server->seats().busy(1 + i));
        }
        TestClient *player = connectClient(20);
        player->join(QStringLiteral("bob"));
        QTRY_VERIFY(logged(sys(msg::joinerGaveWay(1))));
        QTRY_VERIFY(silent.first()->closed());
        QTRY_COMPARE(m_server->seats().name(1), QStringLiteral("bob"));
        QVERIFY(!logged(sys(msg::RoomFullConnected)));
        QTRY_VERIFY(logged(sys(msg::strangerKicked(7))));
        QVERIFY(logged(sys(QStringLiteral("127.0.0.9"))));
        for (int i = 2; i < 8; ++i)
            QTRY_VERIFY(!m_server->seats().busy(i));
        // None of them joined: the room was never told of them.
        QVERIFY(!alice->has(QStringLiteral("SYM ") + msg::playerLeft(QString())));
        QCOMPARE(m_server->seats().playerCount(), 2);
    }

    void slowJoinerSeatedOnAQuickClock()
    {
        // Thirty ticks of a 10 ms clock pass before the name: a client slow to
        // start is still let in, however fast the room's clock runs.
        startServer(quietSettings(), 10);
        TestClient *slow = connectClient(2);
        QTest::qWait(300);
        slow->join(QStringLiteral("slow"));
        QTRY_COMPARE(m_server->seats().name(0), QStringLiteral("slow"));
        QVERIFY(!logged(sys(msg::strangerKicked(0))));
    }

    void joinTimeOutSurvivesInit()
    {
        // The last player leaving resets the room; a connection still joining
        // must keep its time-out.
        startServer(quietSettings(), 100);
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        connectClient(3);
        QTRY_VERIFY(m_server->seats().busy(1));
        alice->close();
        QTRY_VERIFY(!m_server->seats().busy(0));
        QTRY_VERIFY(!m_server->seats().busy(1));
    }

    void kick_data()
    {
        QTest::addColumn<bool>("withBan");
        QTest::newRow("kick") << false;
        QTest::newRow("kick and ban") << true;
    }
    void kick()
    {
        QFETCH(bool, withBan);
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *taro = joinClient(3, QStringLiteral("taro"));
        alice->lines.clear();
        m_server->kick(1, withBan);
        QTRY_VERIFY(taro->closed());
        // Told why, last thing before the close.
        QCOMPARE(taro->lines.last(), withBan ? QStringLiteral("SYM ") + wire::BannedByHost
                                             : QStringLiteral("SYM ") + wire::KickedByHost);
        QVERIFY(!taro->has(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("taro"))));
        QTRY_COMPARE(
            alice->lines,
            (QStringList{QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("taro")),
                         QStringLiteral("SND disconnect"), nms({QStringLiteral("alice")}),
                         QStringLiteral("RET null"), QStringLiteral("RDY NG:NG:NG:NG:NG:NG:NG:NG:")}));
        QFile ban(BanList::path());
        if (!withBan) {
            QVERIFY(!ban.exists());
        } else {
            QVERIFY(ban.open(QIODevice::ReadOnly));
            QCOMPARE(ban.readAll(), QByteArray("taro\t127.0.0.3\r\n\r\n"));
        }
        TestClient *again = connectClient(3);
        again->join(QStringLiteral("taro2"));
        if (withBan) {
            QTRY_VERIFY(again->closed());
            QVERIFY(logged(sys(msg::BannedKick)));
            QCOMPARE(m_server->seats().playerCount(), 1);
        } else {
            QTRY_COMPARE(m_server->seats().name(1), QStringLiteral("taro2"));
        }
    }

    void banMatchesAddressField_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("banned");
        QTest::newRow("entry") << "taro\t192.168.1.5\r\n\r\n"
                               << "192.168.1.5" << true;
        QTest::newRow("longer address") << "taro\t192.168.1.50\r\n"
                                        << "192.168.1.5" << false;
        QTest::newRow("shorter address") << "taro\t192.168.1.5\r\n"
                                         << "192.168.1.50" << false;
        QTest::newRow("address as name") << "192.168.1.5\t10.0.0.1\r\n"
                                         << "192.168.1.5" << false;
        QTest::newRow("bare line") << "192.168.1.5\r\n"
                                   << "192.168.1.5" << true;
        QTest::newRow("bare line, spaces, no end") << "x\t1.1.1.1\r\n  192.168.1.5 "
                                                   << "192.168.1.5" << true;
        QTest::newRow("name with tab") << "a\tb\t192.168.1.5\r\n"
                                       << "192.168.1.5" << true;
        QTest::newRow("cr line ends, blanks and tab around") << "a\t10.0.0.1\rb\t 192.168.1.5 \t\r"
                                                             << "192.168.1.5" << true;
        QTest::newRow("empty file") << ""
                                    << "192.168.1.5" << false;
        QTest::newRow("empty address") << "\r\n\r\n"
                                       << "" << false;
        // Entries that end in a separator ban the range they start.
        QTest::newRow("v4 range") << "x\t192.168.1.\r\n"
                                  << "192.168.1.77" << true;
        QTest::newRow("v4 range, other net") << "x\t192.168.1.\r\n"
                                             << "192.168.10.7" << false;
        QTest::newRow("v6 /64") << "x\t2001:db8:0:1::/64\r\n"
                                << "2001:db8:0:1:abcd::5" << true;
        QTest::newRow("v6 /64, next net") << "x\t2001:db8:0:1::/64\r\n"
                                          << "2001:db8:0:2::5" << false;
        QTest::newRow("v6 groups") << "x\t2001:db8:0:1:\r\n"
                                   << "2001:db8:0:1:ffff::1" << true;
        QTest::newRow("v6 written otherwise") << "x\t2001:DB8:0::1\r\n"
                                              << "2001:db8::1" << true;
        QTest::newRow("v6 exact, other host") << "x\t2001:db8::1\r\n"
                                              << "2001:db8::2" << false;
    }
    void banMatchesAddressField()
    {
        QFETCH(QString, file);
        QFETCH(QString, address);
        QFETCH(bool, banned);
        QCOMPARE(BanList::matches(file, address), banned);
    }

    void banAppendKeepsEntries()
    {
        writeFile(QStringLiteral("ban.txt"), "old\t10.0.0.1\r\n\r\n");
        // A name is the player's text: line breaks must not forge an entry.
        QVERIFY(BanList::add(QStringLiteral("x\n10.0.0.9\n"), QStringLiteral("10.0.0.2")));
        QVERIFY(BanList::isBanned(QStringLiteral("10.0.0.1")));
        QVERIFY(BanList::isBanned(QStringLiteral("10.0.0.2")));
        QVERIFY(!BanList::isBanned(QStringLiteral("10.0.0.9")));
        QCOMPARE(readTextFile(BanList::path()),
                 QStringLiteral("old\t10.0.0.1\r\n\r\nx10.0.0.9\t10.0.0.2\r\n\r\n"));

        // A list edited by hand in UTF-8, with its mark and no final line end,
        // keeps every byte; the new entry gets a line of its own.
        const QByteArray handMade("\xEF\xBB\xBF"
                                  "192.168.1.5\n\xE5\xA4\xAA\xE9\x83\x8E\t10.0.0.3");
        writeFile(QStringLiteral("ban.txt"), handMade);
        QVERIFY(BanList::isBanned(QStringLiteral("192.168.1.5")));
        QVERIFY(BanList::add(QStringLiteral("ta:ro&"), QStringLiteral("10.0.0.4")));
        QFile f(BanList::path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), handMade + "\r\ntaro\t10.0.0.4\r\n\r\n");
        QVERIFY(BanList::isBanned(QStringLiteral("10.0.0.3")));
    }

    void sameAddress()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        alice->lines.clear();
        TestClient *twin = connectClient(2);
        twin->join(QStringLiteral("alice"));
        QTRY_VERIFY(twin->closed());
        QVERIFY(logged(sys(msg::SameAddressKick)));
        // Told why, and never given the name of a seated player.
        QCOMPARE(twin->lines.last(), QStringLiteral("SYM ") + wire::SameAddress);
        QVERIFY(logged(sys(msg::clientName(1, QStringLiteral("alice")))));
        QVERIFY(!logged(sys(msg::clientName(1, QStringLiteral("alice(2)")))));
        QCOMPARE(m_server->seats().name(0), QStringLiteral("alice"));
        QVERIFY(alice->connected());
        QCOMPARE(m_server->seats().playerCount(), 1);
        QVERIFY(alice->lines.isEmpty());

        // Two players behind one router, when the host allows it.
        tearDownServer();
        ServerSettings family = quietSettings();
        family.allowSameAddress = true;
        startServer(family);
        joinClient(2, QStringLiteral("mother"));
        joinClient(2, QStringLiteral("son"));
        QTRY_COMPARE(m_server->seats().playerCount(), 2);
    }

    void departures()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        TestClient *carol = joinClient(4, QStringLiteral("carol"));
        carol->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        // Alice's copy of the readiness, not just the server's: her lines are cleared next.
        QTRY_VERIFY(alice->has(QStringLiteral("RDY NG:NG:OK:NG:NG:NG:NG:NG:")));
        alice->lines.clear();
        carol->close();
        QTRY_COMPARE(alice->lines,
                     (QStringList{QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("carol")),
                                  QStringLiteral("SND disconnect"),
                                  nms({QStringLiteral("alice"), QStringLiteral("bob")})}));
        QVERIFY(logged(sys(msg::clientDisconnected(2))));
        QCOMPARE(m_server->seats().mark(2), QStringLiteral("NG"));
        // One player left: back to the ready stage.
        alice->lines.clear();
        bob->close();
        QTRY_VERIFY(alice->has(QStringLiteral("RET null")));
        QCOMPARE(alice->lines.mid(3),
                 (QStringList{QStringLiteral("RET null"), QStringLiteral("RDY NG:NG:NG:NG:NG:NG:NG:NG:")}));
        // The last one: the room is reset.
        alice->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_COMPARE(m_server->seats().mark(0), QStringLiteral("OK"));
        alice->close();
        QTRY_COMPARE(m_server->seats().playerCount(), 0);
        QCOMPARE(m_server->seats().mark(0), QStringLiteral("NG"));
        QCOMPARE(m_server->round().timeLeft(), -1);
        QTRY_VERIFY(!m_server->seats().busy(0));
    }

    void relays()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        TestClient *carol = joinClient(4, QStringLiteral("carol"));
        for (TestClient *c : {alice, bob, carol})
            c->lines.clear();
        QSignalSpy strokes(&m_server->relay(), &LineRelay::strokeRelayed);
        QSignalSpy fills(&m_server->relay(), &LineRelay::fillRelayed);
        QString big = QStringLiteral("255:8:");
        for (int i = 0; i < 5000; ++i)
            big += QStringLiteral("%1,%2;").arg(i % 640).arg(i % 480);
        bob->send(QStringLiteral("STK"), big);
        bob->send(QStringLiteral("CLS"), QStringLiteral("8"));
        bob->send(QStringLiteral("MSG"), QStringLiteral("a:b"));
        bob->send(QStringLiteral("CLS"), QStringLiteral("x"));
        bob->send(QStringLiteral("MSG"), QStringLiteral("end"));
        // A fill no palette has is not passed on.
        const QStringList expected{QStringLiteral("STK ") + big, QStringLiteral("CLS 8"),
                                   QStringLiteral("MSG 1:a:b"), QStringLiteral("MSG 1:end")};
        QTRY_COMPARE(alice->lines, expected);
        QTRY_COMPARE(carol->lines, expected);
        QVERIFY(bob->lines.isEmpty());
        QCOMPARE(strokes.size(), 1);
        QCOMPARE(fills.size(), 1);
        QCOMPARE(fills.first().first().toInt(), 8);
        QVERIFY(m_log.contains(QStringLiteral("<bob> a:b")));

        // A connection that has not joined is not heard (its VER is answered
        // after its chat has been handled).
        TestClient *anon = connectClient(5);
        anon->send(QStringLiteral("MSG"), QStringLiteral("hi"));
        anon->send(QStringLiteral("VER"), QStringLiteral("1.16"));
        QTRY_VERIFY(anon->has(QStringLiteral("NUM 3")));
        QVERIFY(!alice->has(QStringLiteral("MSG 3:hi")));
        QVERIFY(!m_log.contains(QStringLiteral("<> hi")));
    }

    void canvasLinesGoOutAsReceived()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        QSignalSpy strokes(&m_server->relay(), &LineRelay::strokeRelayed);
        alice->bytes.clear();
        // Strokes a player's program never sends (bytes no code page 932 text
        // holds, a NUL, an escape, nothing) are dropped; the rest pass as they are.
        const QByteArray odd = QByteArray("STK 0:3:\x82\xa0\xff\x80\x00\x1b;", 15);
        const QByteArray plain = "STK 0:3:1,1;2,2;\r\nCLS 8\r\n";
        bob->sendRaw(plain + odd + "\r\nSTKx0:3:3,3;\r\nSTK\r\nCLS 1\r\nMSG end\r\n");
        QTRY_VERIFY(alice->has(QStringLiteral("MSG 1:end")));
        // Any other separator is sent as the usual one, as it always was.
        QCOMPARE(alice->bytes, plain + "STK 0:3:3,3;\r\nCLS 1\r\nMSG 1:end\r\n");
        QCOMPARE(strokes.size(), 2);
        QCOMPARE(strokes.at(1).first().toByteArray(), QByteArray("0:3:3,3;"));
        QVERIFY(logged(sys(msg::ignoredFromClient(1, msg::IgnoredStroke))));
    }

    void unknownAndEmptyLines()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *bob = joinClient(3, QStringLiteral("bob"));
        alice->lines.clear();
        bob->sendRaw("\r\nmsg lower\r\nSYM note\r\nSND\r\n");
        QTRY_COMPARE(m_log.count(QLatin1Char('<') + msg::BadCommandIgnored), 3);
        // Commands alone, and no SYM of a player: neither can look like the room's lines.
        QVERIFY(logged(sys(QStringLiteral("msg"))));
        QVERIFY(!logged(sys(QStringLiteral("lower"))));
        QVERIFY(logged(sys(QString())));
        QVERIFY(!logged(sys(QStringLiteral("note"))));
        QVERIFY(logged(sys(msg::ignoredFromClient(1, msg::IgnoredSystemLine))));
        QVERIFY(bob->connected());
        QVERIFY(alice->lines.isEmpty());
    }

    void announcement()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        alice->lines.clear();
        m_server->announce(QString());
        m_server->announce(QStringLiteral("まもなく開始"));
        QTRY_COMPARE(alice->lines,
                     QStringList{QStringLiteral("SYM ") + msg::announcement(QStringLiteral("まもなく開始"))});
        QVERIFY(m_log.contains(QLatin1Char('<') + msg::announcementLog(QStringLiteral("まもなく開始"))));
        QVERIFY(m_server->log().text().endsWith(QStringLiteral(" <") +
                                                msg::announcementLog(QStringLiteral("まもなく開始")) +
                                                QStringLiteral("\r\n")));
    }

    void oversizedLine()
    {
        startServer();
        TestClient *alice = joinClient(2, QStringLiteral("alice"));
        TestClient *flood = joinClient(3, QStringLiteral("flood"));
        alice->lines.clear();
        flood->sendRaw(QByteArray(LineFramer::DefaultCap + 1024, 'x'));
        QTRY_VERIFY(flood->closed());
        QVERIFY(logged(sys(msg::clientLineTooLong(1))));
        QTRY_VERIFY(alice->has(QStringLiteral("SYM ") + msg::playerLeft(QStringLiteral("flood"))));
    }

    void stalledReader()
    {
        // A player who stops reading while another floods strokes: the
        // flooder is cut long before the reader's output reaches its cap.
        startServer(quietSettings(), 50);
        TestClient *sender = joinClient(2, QStringLiteral("sender"));
        TestClient *stalled = joinClient(3, QStringLiteral("stalled"));
        // Stop reading: Qt leaves the data in the kernel once its buffer is full.
        stalled->socket().setReadBufferSize(1);
        const QString payload = QStringLiteral("0:3:") + QString(200000, QLatin1Char('1'));
        const QString cut = sys(msg::clientFlooding(0));
        // The flood must outlast several moderation ticks, however fast the server reads.
        QElapsedTimer flooding;
        flooding.start();
        while (!logged(cut) && flooding.elapsed() < 20000) {
            for (int k = 0; k < 10; ++k)
                sender->send(QStringLiteral("STK"), payload);
            (void)QTest::qWaitFor([&] { return logged(cut) || sender->socket().bytesToWrite() == 0; }, 1000);
        }
        QTRY_VERIFY(logged(cut));
        QTRY_VERIFY(sender->closed());
        QVERIFY(!logged(sys(msg::clientNotReading(1))));
        QCOMPARE(m_server->seats().name(1), QStringLiteral("stalled"));
    }

    void fixString_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("separators") << "a:b;c,d=e&f"
                                    << "abcdef";
        QTest::newRow("line breaks and spaces") << "  room\r\nname  "
                                                << "roomname";
        QTest::newRow("japanese") << "ゼン:ブリル"
                                  << "ゼンブリル";
        QTest::newRow("only separators") << " :: "
                                         << "";
    }
    void fixString()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(fixedText(in), out);
    }

    void startAndSettings()
    {
        GameServer server;
        server.prepare();
        QVERIFY(QFileInfo(programFile(QStringLiteral("zbq"))).isDir());
        ServerSettings s = server.config().load();
        QCOMPARE(s.port, QStringLiteral("27064"));
        QCOMPARE(s.playerMax(), 8);
        QCOMPARE(s.roundMax(), 3);
        s.lobbyRegister = false;

        // Bad port texts refuse the start and save nothing.
        for (const QString &bad : {QStringLiteral("abc"), QStringLiteral("70000"), QString()}) {
            s.port = bad;
            QCOMPARE(server.startOrApply(s), GameServer::StartResult::PortRefused);
            QVERIFY(!server.startError().isEmpty());
        }
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::Any, 0));
        s.port = QString::number(busy.serverPort());
        QCOMPARE(server.startOrApply(s), GameServer::StartResult::PortRefused);
        QVERIFY(!(server.listeningPort() != 0));
        QVERIFY(SettingsStore::read(QStringLiteral("ServerPort")).isEmpty());

        // Added dictionaries only, none ticked: no words.
        s.dictionaryMode = QuestionBank::AddedOnly;
        s.port = QString::number(freePort());
        QCOMPARE(server.startOrApply(s), GameServer::StartResult::NoWords);
        QVERIFY(!(server.listeningPort() != 0));

        s.dictionaryMode = QuestionBank::BuiltInOnly;
        s.roomName = QStringLiteral(" 部:屋; ");
        s.comment = QString();
        s.playerMaxIndex = 0;
        QCOMPARE(server.startOrApply(s), GameServer::StartResult::Started);
        QCOMPARE(server.settings().roomName, QStringLiteral("部屋"));
        QCOMPARE(server.settings().comment, msg::DefaultComment);
        QCOMPARE(server.captionText(), QStringLiteral("zbserver Port:%1 [0] [-1]").arg(s.port));
        QCOMPARE(SettingsStore::read(QStringLiteral("ServerRoomName")), QStringLiteral("部屋"));
        QCOMPARE(SettingsStore::read(QStringLiteral("ServerComment")), msg::DefaultComment);
        QCOMPARE(SettingsStore::read(QStringLiteral("ServerPort")), s.port);
        QCOMPARE(SettingsStore::read(QStringLiteral("PlayerMax")), QStringLiteral("0"));

        // A later press re-applies the game settings; an empty pool keeps the old ones.
        s.roundMaxIndex = 3;
        s.dictionaryMode = QuestionBank::AddedOnly;
        QCOMPARE(server.startOrApply(s), GameServer::StartResult::NoWords);
        QCOMPARE(server.round().roundMax(), 3);
        s.dictionaryMode = QuestionBank::BuiltInTwice;
        s.questionControl = true;
        QCOMPARE(server.startOrApply(s), GameServer::StartResult::Reapplied);
        QCOMPARE(server.round().roundMax(), 5);
        QCOMPARE(server.settings().settingsLine(), msg::settingsLine(3, 5, true));
        QCOMPARE(SettingsStore::read(QStringLiteral("QuestionControl")), QStringLiteral("1"));

        const ServerSettings stored = ServerSettings::load();
        QCOMPARE(stored.roundMaxIndex, 3);
        QCOMPARE(stored.playerMaxIndex, 0);
        QVERIFY(stored.questionControl);
    }

    void storedIndexesOutOfRange()
    {
        SettingsStore::write(QStringLiteral("PlayerMax"), QStringLiteral("9"));
        SettingsStore::write(QStringLiteral("RoundMax"), QStringLiteral("x"));
        SettingsStore::write(QStringLiteral("ServerPort"), QStringLiteral("2000"));
        const ServerSettings s = ServerSettings::load();
        QCOMPARE(s.playerMaxIndex, 5);
        QCOMPARE(s.roundMaxIndex, 1);
        QCOMPARE(s.port, QStringLiteral("2000"));
    }
};

QTEST_GUILESS_MAIN(TstGameServer)
#include "tst_gameserver.moc"
