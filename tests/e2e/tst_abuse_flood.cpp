// Floods against the real server while three players keep playing: a burst of
// connections, an endless line, and a player who floods strokes at one who
// stopped reading. The players must see nothing but the game, and the server
// must stay within its memory.

#include "tests/e2e/e2e.h"

#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/stroke.h"
#include "tests/wiretexts.h"

#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace e2e;

namespace {
constexpr int Tick = 50;
// The stroke budget is counted per tick: at 50 ms a tick it is more than a
// sanitized server on a busy machine reads, and a flooder it cannot outrun
// is never over it. A slower clock keeps the budget well below that.
constexpr int FloodTick = 250;
} // namespace

class TestAbuseFlood : public QObject {
    Q_OBJECT

  private slots:
    void init()
    {
        m_server = std::make_unique<ServerRunner>();
        const bool flood = qstrcmp(QTest::currentTestFunction(), "flooderGoesNotItsReader") == 0;
        QVERIFY(m_server->start(flood ? FloodTick : Tick));
        m_table = std::make_unique<Table>(*m_server);
        QVERIFY(m_table->seatAndStart());
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && m_server) qWarning().noquote() << m_server->log().right(3000);
        m_table.reset();
        m_server.reset();
    }

    void connectionBurst()
    {
        const int before = m_table->totalHits();
        std::vector<std::unique_ptr<QTcpSocket>> burst;
        for (int i = 0; i < 200; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->bind(loopback(1000 + i));
            // Some introduce themselves halfway, some stay silent, some talk nonsense.
            QTcpSocket *raw = s.get();
            connect(raw, &QTcpSocket::connected, raw, [raw, i] {
                if (i % 3 == 0)
                    raw->write("PSW \r\nVER 1.16\r\n");
                else if (i % 3 == 1)
                    raw->write("XYZ hello\r\n");
            });
            s->connectToHost(QHostAddress::LocalHost, m_server->port());
            burst.push_back(std::move(s));
        }
        // Until every connection has been taken in or turned away.
        (void)QTest::qWaitFor(
            [&] {
                return std::all_of(burst.cbegin(), burst.cend(), [](const auto &s) {
                    return s->state() == QAbstractSocket::ConnectedState ||
                           s->state() == QAbstractSocket::UnconnectedState;
                });
            },
            10000);
        int answered = 0, closed = 0;
        for (const auto &s : burst) {
            answered += s->bytesAvailable() > 0;
            closed += s->state() == QAbstractSocket::UnconnectedState;
        }
        qInfo("burst once connected: %d answered, %d closed by the server", answered, closed);
        // Let the server's join time-outs and the room-full socket deal with them while play goes on.
        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 2, 30000);
        burst.clear();

        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 4, 30000);
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
        QVERIFY(m_server->running());

        // The room still takes a newcomer, who joins the running game.
        Bot late(QStringLiteral("おくれて"), 20, m_server->port());
        late.setTickMs(Tick);
        QTRY_VERIFY_WITH_TIMEOUT(late.seated(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(late.turns() > 0, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(m_table->bot(0).names().contains(late.name()), 5000);
        QVERIFY2(late.foreign().isEmpty(), qPrintable(late.foreign().join(QLatin1Char('|'))));
    }

    void endlessLineIsCut()
    {
        Bot flooder(QStringLiteral("ながいぎょう"), 30, m_server->port());
        QTRY_VERIFY_WITH_TIMEOUT(flooder.seated(), 10000);
        const int before = m_table->totalHits();

        flooder.sendRaw("MSG " + QByteArray(300 * 1024, 'A'));

        // Dropped at the cap: everybody is told it left, well before its line could end.
        QTRY_VERIFY_WITH_TIMEOUT(m_table->bot(0).sawSystemText(zb::msg::playerLeft(flooder.name())), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_table->bot(0).names().contains(flooder.name()), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 2, 30000);
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
        // Nothing of the endless line reached anybody.
        for (int i = 0; i < 3; ++i) {
            for (const zb::Line &l : m_table->bot(i).lines())
                QVERIFY(!l.payload.contains(QStringLiteral("AAAAAAAA")));
        }
    }

    void flooderGoesNotItsReader()
    {
        // A seated player whose program stops reading: nothing it is sent gets consumed.
        QTcpSocket stalled;
        stalled.setReadBufferSize(4096);
        stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        stalled.bind(loopback(40));
        stalled.connectToHost(QHostAddress::LocalHost, m_server->port());
        QVERIFY(stalled.waitForConnected(5000));
        stalled.write(zb::toCp932(QStringLiteral("PSW \r\nVER 1.16\r\nNAM とまったひと\r\n")));
        QTRY_VERIFY_WITH_TIMEOUT(m_table->bot(0).names().contains(QStringLiteral("とまったひと")), 10000);

        // Another streams 5000-point strokes as fast as it can write them.
        Bot flooder(QStringLiteral("あらし"), 41, m_server->port());
        flooder.setGuessing(false);
        QTRY_VERIFY_WITH_TIMEOUT(flooder.seated(), 10000);
        const long baseline = m_server->rssKiB();
        long peak = baseline;
        QList<QPointF> points;
        for (int i = 0; i < 5000; ++i)
            points.append(QPointF(20 + (i * 7) % 600, 20 + (i * 13) % 440));
        const QString stroke = zb::encodeStroke(0, 28, points);
        int sent = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 40000 && !flooder.lostConnection()) {
            for (int k = 0; k < 8; ++k, ++sent)
                flooder.send(QStringLiteral("STK"), stroke);
            // A short breath between batches lets the server read and tick.
            (void)QTest::qWaitFor([&] { return flooder.lostConnection(); }, 5);
            peak = std::max(peak, m_server->rssKiB());
        }
        QVERIFY2(flooder.lostConnection(),
                 qPrintable(QStringLiteral("still seated after %1 strokes").arg(sent)));
        qInfo("flooder cut after %d strokes in %lld ms; server RSS %ld -> peak %ld KiB", sent,
              timer.elapsed(), baseline, peak);
        QVERIFY(flooder.sawSystemText(wire::SentTooMuch));
        QTRY_VERIFY_WITH_TIMEOUT(!m_table->bot(0).names().contains(flooder.name()), 5000);
        QVERIFY(m_table->bot(0).names().contains(QStringLiteral("とまったひと")));
        QVERIFY2(peak - baseline < 64 * 1024,
                 qPrintable(QStringLiteral("server grew from %1 to %2 KiB").arg(baseline).arg(peak)));

        const int before = m_table->totalHits();
        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 1, 30000);
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
        QVERIFY(m_server->running());
    }

  private:
    std::unique_ptr<ServerRunner> m_server;
    std::unique_ptr<Table> m_table;
};

QTEST_GUILESS_MAIN(TestAbuseFlood)
#include "tst_abuse_flood.moc"
