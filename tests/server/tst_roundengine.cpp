#include "server/core/questionbank.h"
#include "server/core/roundannouncer.h"
#include "server/core/roundengine.h"
#include "server/core/roundhost.h"
#include "tests/server/serverfixture.h"

using namespace zb;

namespace {
const QString kAllNg = QStringLiteral("RDY NG:NG:NG:NG:NG:NG:NG:NG:");

// A room without sockets: writes down what the engine's events make it send, in order.
struct RecordingHost final : RoundHost {
    QStringList calls;
    void broadcast(const QString &command, const QString &text) override
    {
        calls << command + QLatin1Char(' ') + text;
    }
    void sendTo(const QString &command, const QString &text, int slot) override
    {
        calls << QString::number(slot) + QLatin1Char('>') + command + QLatin1Char(' ') + text;
    }
    void broadcastReadys() override { calls << QStringLiteral("readys"); }
    void broadcastScores() override { calls << QStringLiteral("scores"); }
    void roundLog(const QString &text) override { calls << QStringLiteral("log ") + text; }
    void refreshPlayerList() override { calls << QStringLiteral("labels"); }
};
} // namespace

class TstRoundEngine : public ServerFixture {
    Q_OBJECT

    // Moves the round clock on by hand until it shows `value`.
    void tickTo(int value)
    {
        for (int i = 0; i < 200 && m_server->round().timeLeft() != value; ++i)
            RoomInternals::engine(*m_server).onClockTick();
        QCOMPARE(m_server->round().timeLeft(), value);
    }

    // Ticks through the end of a turn (the same tick schedules the next one).
    void timeOut()
    {
        tickTo(1);
        RoomInternals::engine(*m_server).onClockTick();
    }

    // Players on 127.0.0.2, 127.0.0.3, … in slots 0, 1, …, all ready.
    QList<TestClient *> readyPlayers(int count, int roundMaxIndex = 1)
    {
        ServerSettings s = quietSettings();
        s.roundMaxIndex = roundMaxIndex;
        startServer(s, 0);
        QList<TestClient *> players;
        for (int i = 0; i < count; ++i)
            players << joinClient(2 + i, QStringLiteral("p%1").arg(i));
        for (TestClient *p : players)
            p->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        return players;
    }

    // Waits until every line sent so far by `from` has been handled.
    static void sync(TestClient *from, TestClient *to)
    {
        static int n = 0;
        const QString mark = QStringLiteral("sync%1").arg(++n);
        from->send(QStringLiteral("MSG"), mark);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::any_of(to->lines.cbegin(), to->lines.cend(),
                                   [&](const QString &l) { return l.endsWith(mark); });
            },
            5000));
    }

  private slots:
    void init() { setUpFolder(QStringLiteral("りんご\r\n")); }
    void cleanup() { tearDownServer(); }

    void rotationRoundsAndWinner()
    {
        ServerSettings s = quietSettings();
        s.roundMaxIndex = 0;
        startServer(s, 0);
        QList<TestClient *> c;
        for (int i = 0; i < 7; ++i)
            c << joinClient(2 + i, QStringLiteral("p%1").arg(i));
        for (int i : {0, 2, 3, 5})
            c[i]->close();
        QTRY_COMPARE(m_server->seats().playerCount(), 3);
        for (int i : {1, 4, 6})
            c[i]->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY(m_server->round().gameRunning());
        QVERIFY(m_log.contains(sys(msg::AllReady)));
        QCOMPARE(m_server->round().timeLeft(), 125);
        for (int turn = 0; turn < 6; ++turn) {
            tickTo(120);
            timeOut();
        }
        QVERIFY(!m_server->round().gameRunning());
        TestClient *watcher = c[1];
        QTRY_VERIFY(watcher->has(QStringLiteral("RET null")));
        QCOMPARE(watcher->payloads(QStringLiteral("QST")),
                 (QStringList{QStringLiteral("1:りんご"), QStringLiteral("4:りんご"),
                              QStringLiteral("6:りんご"), QStringLiteral("1:りんご"),
                              QStringLiteral("4:りんご"), QStringLiteral("6:りんご")}));
        QStringList announcements;
        for (const QString &p : watcher->payloads(QStringLiteral("SYM"))) {
            if (p.contains(QStringLiteral("秒後に"))) announcements << p;
        }
        QCOMPARE(announcements, (QStringList{
                                    msg::firstTurnSoon(1, msg::roundSuffix(1, 2)),
                                    msg::nextTurnSoon(2, msg::roundSuffix(1, 2)),
                                    msg::nextTurnSoon(3, msg::roundSuffix(1, 2)),
                                    msg::nextTurnSoon(4, msg::roundSuffix(2, 2)),
                                    msg::nextTurnSoon(5, msg::roundSuffix(2, 2)),
                                    msg::nextTurnSoon(6, msg::roundSuffix(2, 2)),
                                }));
        QCOMPARE(watcher->count(QStringLiteral("SYM ") + msg::timeUp(QStringLiteral("りんご"))), 6);
        QCOMPARE(watcher->count(QStringLiteral("SND ng")), 6);
        QCOMPARE(watcher->count(QStringLiteral("SND question")), 6);
        // Nobody scored: no winner, and everybody hears the game end as a loss.
        const QStringList end =
            watcher->lines.mid(watcher->lines.indexOf(QStringLiteral("SYM ") + msg::GameOver));
        QCOMPARE(end, (QStringList{QStringLiteral("SYM ") + msg::GameOver,
                                   QStringLiteral("SYM ") + msg::NoWinnerNotice, QStringLiteral("SND lose"),
                                   QStringLiteral("RET null"), kAllNg}));
        QTRY_VERIFY(c[6]->has(QStringLiteral("SND lose")));
        QVERIFY(!c[6]->has(QStringLiteral("SND win")));
        QVERIFY(m_log.contains(sys(msg::NoWinnerNotice)));
        QCOMPARE(m_server->round().timeLeft(), -1);
        QCOMPARE(m_server->round().drawerSlot(), 0);
        QCOMPARE(m_server->round().highlightedSlot(), -1);
    }

    void scoring()
    {
        QList<TestClient *> p = readyPlayers(2);
        TestClient *alice = p[0], *bob = p[1];
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(121);
        bob->send(QStringLiteral("MSG"), QStringLiteral("りんご")); // lead-in: chat only
        sync(bob, alice);
        tickTo(120);
        QTRY_VERIFY(alice->has(QStringLiteral("QST 0:りんご")));
        QCOMPARE(m_server->round().questionLabel(), msg::HiddenQuestion);
        QCOMPARE(m_server->round().highlightedSlot(), 0);
        bob->send(QStringLiteral("MSG"), QStringLiteral("りんご")); // at 120 itself: no hit
        sync(bob, alice);
        QVERIFY(!alice->has(QStringLiteral("QOK 1")));

        tickTo(37);
        alice->lines.clear();
        bob->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
        bob->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
        QTRY_VERIFY(alice->has(QStringLiteral("QOK 1")));
        sync(bob, alice);
        QCOMPARE(
            alice->lines.mid(0, 8),
            (QStringList{
                QStringLiteral("MSG 1:りんご"),
                QStringLiteral("SYM ") + msg::guessed(QStringLiteral("p1"), QStringLiteral("りんご"), 37),
                QStringLiteral("SYM ") + msg::drawerScored(QStringLiteral("p0"), 37),
                QStringLiteral("SND ok"), QStringLiteral("QOK 1"), QStringLiteral("SCR 37:37:0:0:0:0:0:0:"),
                QStringLiteral("SYM ") + msg::nextTurnSoon(2, msg::roundSuffix(1, 3)),
                QStringLiteral("MSG 1:りんご")}));
        QCOMPARE(alice->count(QStringLiteral("QOK 1")), 1);
        QCOMPARE(m_server->round().score(0), 37);
        QCOMPARE(m_server->round().score(1), 37);
        QCOMPARE(m_server->round().timeLeft(), 130);
        QCOMPARE(m_server->round().questionLabel(), QStringLiteral("りんご"));
        QCOMPARE(m_server->seats().label(1), QStringLiteral("p1 Score: 37"));
        QVERIFY(m_log.contains(sys(msg::guessedLog(QStringLiteral("p1")))));
        QVERIFY(m_log.contains(sys(msg::nextTurnLog(2, msg::roundSuffix(1, 3)))));
        tickTo(120);
        QTRY_VERIFY(alice->has(QStringLiteral("QST 1:りんご")));
    }

    // A guess and a drawer's strokes waiting at once: the guess is handled first,
    // so the room hears the hit before the strokes that came with it.
    void guessGoesBeforeStrokes()
    {
        QList<TestClient *> p = readyPlayers(3);
        TestClient *drawer = p[0], *guesser = p[1], *watcher = p[2];
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(120);
        QTRY_VERIFY(watcher->has(QStringLiteral("QST 0:りんご")));
        tickTo(100);
        QByteArray strokes;
        for (int i = 0; i < 40; ++i)
            strokes += "STK 0:3:10," + QByteArray::number(i) + ";20," + QByteArray::number(i) + ";\r\n";
        drawer->sendRaw(strokes);
        guesser->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
        // Both are in the server's socket buffers before its event loop runs again.
        drawer->flush();
        guesser->flush();
        QTRY_VERIFY(watcher->has(QStringLiteral("QOK 1")));
        QTRY_COMPARE(watcher->count(QStringLiteral("STK 0:3:10,39;20,39;")), 1);
        const qsizetype hit = watcher->lines.indexOf(QStringLiteral("QOK 1"));
        const qsizetype firstStroke = watcher->lines.indexOf(QStringLiteral("STK 0:3:10,0;20,0;"));
        QVERIFY2(hit < firstStroke, qPrintable(watcher->lines.join(QLatin1Char('|'))));
    }

    void guessForms_data()
    {
        QTest::addColumn<QByteArray>("dictionary");
        QTest::addColumn<QString>("guess");
        QTest::addColumn<bool>("hit");
        QTest::newRow("ヴ typed") << QByteArray("ヴァイオリン\r\n") << QStringLiteral("ヴぁいおりん") << true;
        QTest::newRow("stored form") << QByteArray("ヴァイオリン\r\n") << QStringLiteral("う゛ぁいおりん")
                                     << true;
        QTest::newRow("katakana not converted")
            << QByteArray("ばなな\r\n") << QStringLiteral("バナナ") << false;
        QTest::newRow("exact") << QByteArray("Apple\r\n") << QStringLiteral("Apple") << true;
        QTest::newRow("case") << QByteArray("Apple\r\n") << QStringLiteral("apple") << false;
        QTest::newRow("trailing space") << QByteArray("Apple\r\n") << QStringLiteral("Apple ") << false;
    }
    void guessForms()
    {
        QFETCH(QByteArray, dictionary);
        QFETCH(QString, guess);
        QFETCH(bool, hit);
        writeFile(QStringLiteral("default.dat"), toCp932(QString::fromUtf8(dictionary)));
        QList<TestClient *> p = readyPlayers(2);
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(100);
        p[1]->send(QStringLiteral("MSG"), guess);
        sync(p[1], p[0]);
        QCOMPARE(p[0]->has(QStringLiteral("QOK 1")), hit);
    }

    void hintsOnConsole()
    {
        writeFile(QStringLiteral("default.dat"), toCp932(QStringLiteral("すいとう\r\n")));
        readyPlayers(2);
        QTRY_VERIFY(m_server->round().gameRunning());
        QSignalSpy labels(&m_server->round(), &RoundEngine::questionLabelChanged);
        timeOut();
        QStringList shown;
        for (const auto &args : labels)
            shown << args.first().toString();
        QCOMPARE(shown, (QStringList{msg::HiddenQuestion, QStringLiteral("○○○○"), QStringLiteral("す○○○"),
                                     QStringLiteral("す○○う"), QStringLiteral("すいとう")}));
    }

    void drawerLeavesAndComesBack_data()
    {
        QTest::addColumn<int>("turn");
        QTest::addColumn<bool>("midTurn");
        // p0 draws the first word and p1 guesses it: both score, the tie goes
        // up, and a player who comes back starts again from 0.
        QTest::addColumn<QString>("winner");
        QTest::newRow("top drawer, mid-turn") << 3 << true << QStringLiteral("p1");
        QTest::newRow("middle drawer, mid-turn") << 2 << true << QStringLiteral("p0");
        QTest::newRow("top drawer, in the lead-in after its turn") << 3 << false << QStringLiteral("p1");
        QTest::newRow("top drawer, mid-turn of the last round") << 9 << true << QStringLiteral("p1");
    }
    void drawerLeavesAndComesBack()
    {
        // Three players, three rounds: nine turns, each player drawing once a
        // round, whoever leaves and comes back under the same name.
        QFETCH(int, turn);
        QFETCH(bool, midTurn);
        QFETCH(QString, winner);
        QList<TestClient *> p = readyPlayers(3);
        TestClient *watcher = p[0];
        QTRY_VERIFY(m_server->round().gameRunning());
        for (int t = 1; m_server->round().gameRunning(); ++t) {
            tickTo(120);
            const int drawer = m_server->round().drawerSlot();
            if (t == 1) {
                tickTo(100);
                p[1]->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
                QTRY_VERIFY(m_server->round().timeLeft() == 130);
                continue;
            }
            if (t != turn) {
                timeOut();
                continue;
            }
            tickTo(60);
            if (!midTurn) timeOut();
            p[drawer]->close();
            QTRY_COMPARE(m_server->seats().playerCount(), 2);
            // The turn is over at once; nobody waits on an empty canvas.
            QCOMPARE(m_server->round().timeLeft(), m_server->round().gameRunning() ? 130 : -1);
            if (m_server->round().gameRunning())
                p[drawer] = joinClient(2 + drawer, QStringLiteral("p%1").arg(drawer));
        }
        QTRY_VERIFY(watcher->has(QStringLiteral("RET null")));

        QStringList drawers, rounds;
        for (const QString &q : watcher->payloads(QStringLiteral("QST")))
            drawers << q.left(1);
        for (const QString &sym : watcher->payloads(QStringLiteral("SYM"))) {
            if (sym.contains(QStringLiteral("秒後に")))
                rounds << sym.section(QStringLiteral("秒後に"), 1).section(QStringLiteral("回目"), 0, 0) +
                              sym.section(QStringLiteral("ラウンド"), 1);
        }
        QCOMPARE(drawers.join(QString()), QStringLiteral("012012012"));
        QCOMPARE(rounds, (QStringList{"1[1/3]", "2[1/3]", "3[1/3]", "4[2/3]", "5[2/3]", "6[2/3]", "7[3/3]",
                                      "8[3/3]", "9[3/3]"}));
        const QString leftNotice = QStringLiteral("SYM ") + msg::drawerLeft(QStringLiteral("りんご"));
        QCOMPARE(watcher->count(leftNotice), midTurn ? 1 : 0);
        QCOMPARE(watcher->count(QStringLiteral("SND ng")), 8);
        if (midTurn)
            QCOMPARE(watcher->lines.at(watcher->lines.indexOf(leftNotice) + 1), QStringLiteral("SND ng"));
        QVERIFY(watcher->has(QStringLiteral("SYM ") + msg::winner(winner)));
    }

    void everybodyStillToDrawLeavesInTheLeadIn()
    {
        // Slots 2 and 3 leave before their turns: the round is over, the next
        // turn opens the second (last) round, and the game still ends after it.
        QList<TestClient *> p = readyPlayers(4, 0);
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(120);
        timeOut();
        tickTo(120);
        QCOMPARE(m_server->round().drawerSlot(), 1);
        timeOut();
        p[2]->close();
        p[3]->close();
        QTRY_COMPARE(m_server->seats().playerCount(), 2);
        tickTo(120);
        QCOMPARE(m_server->round().drawerSlot(), 0);
        QCOMPARE(RoomInternals::engine(*m_server).roundIndex(), 1);
        timeOut();
        tickTo(120);
        QCOMPARE(m_server->round().drawerSlot(), 1);
        timeOut();
        QVERIFY(!m_server->round().gameRunning());
        QTRY_VERIFY(p[0]->has(QStringLiteral("SYM ") + msg::GameOver));
        QCOMPARE(p[0]->payloads(QStringLiteral("QST")).size(), 4);
    }

    void allButOneLeave()
    {
        QList<TestClient *> p = readyPlayers(3);
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(120);
        tickTo(50);
        p[0]->lines.clear();
        p[1]->close();
        QTRY_COMPARE(m_server->seats().playerCount(), 2);
        QVERIFY(m_server->round().gameRunning());
        p[2]->close();
        QTRY_VERIFY(p[0]->has(QStringLiteral("RET null")));
        QCOMPARE(p[0]->lines.last(), kAllNg);
        QVERIFY(!p[0]->has(QStringLiteral("SYM ") + msg::GameOver));
        QVERIFY(!m_server->round().gameRunning());
        QCOMPARE(m_server->round().timeLeft(), -1);
    }

    void joinDuringGame()
    {
        QList<TestClient *> p = readyPlayers(2);
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(120);
        TestClient *late = joinClient(4, QStringLiteral("late"));
        QCOMPARE(late->lines.mid(0, 3), (QStringList{QStringLiteral("NUM 2"), QStringLiteral("RST null"),
                                                     QStringLiteral("RDY OK:OK:OK:NG:NG:NG:NG:NG:")}));
        timeOut();
        tickTo(120);
        timeOut();
        tickTo(120);
        QTRY_VERIFY(late->has(QStringLiteral("QST 2:りんご")));
    }

    void readyChangesDuringGame()
    {
        QList<TestClient *> p = readyPlayers(2);
        QTRY_VERIFY(m_server->round().gameRunning());
        tickTo(122);
        // A repeated "OK" does not restart the game.
        p[0]->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        sync(p[0], p[1]);
        QCOMPARE(m_server->round().timeLeft(), 122);
        // Nobody ready at the turn start: back to waiting without a winner.
        p[0]->send(QStringLiteral("RDY"), QStringLiteral("NG"));
        p[1]->send(QStringLiteral("RDY"), QStringLiteral("NG"));
        sync(p[0], p[1]);
        sync(p[1], p[0]);
        p[0]->lines.clear();
        tickTo(121);
        RoomInternals::engine(*m_server).onClockTick();
        QVERIFY(!m_server->round().gameRunning());
        QCOMPARE(m_server->round().timeLeft(), -1);
        QTRY_COMPARE(p[0]->lines, (QStringList{QStringLiteral("RET null"), kAllNg}));
    }

    void winner_data()
    {
        QTest::addColumn<QList<int>>("seated");
        QTest::addColumn<QList<int>>("scores");
        QTest::addColumn<int>("winner");
        QTest::newRow("tie goes up") << QList<int>{0, 2, 5} << QList<int>{0, 0, 40, 0, 0, 40, 0, 0} << 5;
        QTest::newRow("clear best") << QList<int>{0, 2, 5} << QList<int>{90, 0, 40, 0, 0, 40, 0, 0} << 0;
        QTest::newRow("a leaver cannot win") << QList<int>{0, 1} << QList<int>{5, 3, 0, 0, 0, 0, 0, 99} << 0;
        QTest::newRow("all zero, top slot free") << QList<int>{1, 3} << QList<int>(8, 0) << 3;
        QTest::newRow("nobody") << QList<int>{} << QList<int>(8, 0) << -1;
    }
    void winner()
    {
        QFETCH(QList<int>, seated);
        QFETCH(QList<int>, scores);
        QFETCH(int, winner);
        PlayerTable t;
        std::array<int, PlayerTable::Slots> points{};
        for (int i = 0; i < 8; ++i)
            points[i] = scores[i];
        for (int s : seated)
            t.names[s] = QStringLiteral("p");
        QCOMPARE(RoundEngine::leadingSlot(t, points), winner);
    }

    void wholeGameWithRealClock()
    {
        // Three players who answer at once: two rounds finish in well under a minute.
        ServerSettings s = quietSettings();
        s.roundMaxIndex = 0;
        startServer(s, 20);
        QList<TestClient *> p;
        for (int i = 0; i < 3; ++i)
            p << joinClient(2 + i, QStringLiteral("p%1").arg(i));
        for (int i = 0; i < 3; ++i) {
            TestClient *me = p[i];
            me->onLine = [me, i](const QString &command, const QString &payload) {
                // A guess at 120 itself would not count: answer a few ticks in.
                if (command == QLatin1String("QST") && payload.left(1).toInt() == (i + 1) % 3)
                    QTimer::singleShot(100, me,
                                       [me, payload] { me->send(QStringLiteral("MSG"), payload.mid(2)); });
            };
        }
        for (TestClient *c : p)
            c->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(p[0]->has(QStringLiteral("RET null")), 30000);
        QVERIFY2(p[0]->count(QStringLiteral("SND ok")) == 6, qPrintable(p[0]->lines.join(QLatin1Char('|'))));
        // Everybody drew twice and guessed twice: 6 turns' seconds split evenly.
        const QStringList finalScores = p[0]->payloads(QStringLiteral("SCR")).last().split(QLatin1Char(':'));
        QVERIFY(finalScores.value(0).toInt() > 0);
        QVERIFY(p[0]->has(QStringLiteral("SYM ") + msg::GameOver));
        QCOMPARE(p[0]->lines.last(), kAllNg);
    }

    void engineWithoutServer()
    {
        // Slot 1 is still joining (no name): it neither plays nor hears the result.
        RecordingHost host;
        PlayerTable table;
        QuestionBank bank;
        QVERIFY(bank.loadDictionaries() > 0);
        RoundEngine engine(table, bank);
        RoundAnnouncer announcer(engine, table, host);
        engine.setRoundMax(1);
        for (int slot : {0, 2}) {
            table.names[slot] = QStringLiteral("p%1").arg(slot);
            table.readiness[slot] = QStringLiteral("OK");
        }
        engine.startIfAllReady();
        QVERIFY(engine.gameRunning());
        for (int i = 0; i < 100 && engine.timeLeft() != 110; ++i)
            engine.onClockTick();
        QCOMPARE(engine.timeLeft(), 110);
        QCOMPARE(engine.drawerSlot(), 0);
        engine.checkGuess(2, QStringLiteral("りんご"));
        QCOMPARE(engine.score(0), 110);
        QCOMPARE(engine.score(2), 110);
        for (int i = 0; i < 300 && engine.gameRunning(); ++i)
            engine.onClockTick();
        QVERIFY(!engine.gameRunning());
        // The second turn timed out; the tie goes to the higher slot.
        const QStringList end = host.calls.mid(host.calls.indexOf(QStringLiteral("SYM ゲーム終了！")));
        QCOMPARE(end, (QStringList{QStringLiteral("SYM ゲーム終了！"), QStringLiteral("log 優勝者は p2 です"),
                                   QStringLiteral("SYM 優勝者は p2 でした！おめでとう！"),
                                   QStringLiteral("0>SND lose"), QStringLiteral("2>SND win"),
                                   QStringLiteral("RET null"), QStringLiteral("readys"),
                                   QStringLiteral("labels")}));
        QCOMPARE(engine.score(2), 0);
    }
};

QTEST_GUILESS_MAIN(TstRoundEngine)
#include "tst_roundengine.moc"
