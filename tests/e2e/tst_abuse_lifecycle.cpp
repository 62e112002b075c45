// Whole-room events against the real server: every player vanishing in the
// middle of a turn, and the lobby going away and coming back while a game runs.

#include "tests/e2e/e2e.h"

#include "shared/cp932.h"
#include "shared/lineframer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace e2e;

namespace {

constexpr int Tick = 50;

// Stands in for the lobby: takes the server's registration, answers its
// keep-alive, and can go away and come back on the same port.
class FakeLobby : public QObject {
  public:
    bool listen(quint16 port = 0)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FakeLobby::onConnection, Qt::UniqueConnection);
        return m_server.listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_port ? m_port : m_server.serverPort(); }
    void goAway()
    {
        m_port = m_server.serverPort();
        m_server.close();
        if (m_peer) m_peer->abort();
    }
    int connections() const { return m_connections; }
    int registrations() const { return m_registrations; }
    int checksAnswered() const { return m_checks; }

  private:
    void onConnection()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            ++m_connections;
            m_peer = s;
            m_framer.clear();
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                QList<QByteArray> lines;
                m_framer.feed(s->readAll(), lines);
                for (const QByteArray &raw : lines) {
                    const zb::Line line = zb::splitLine(zb::fromCp932(raw));
                    if (line.command == QLatin1String("STS"))
                        ++m_registrations;
                    else if (line.command == QLatin1String("CHK")) {
                        s->write("CHK null\r\n");
                        ++m_checks;
                    }
                }
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    zb::LineFramer m_framer;
    quint16 m_port = 0;
    int m_connections = 0;
    int m_registrations = 0;
    int m_checks = 0;
};

} // namespace

class TestAbuseLifecycle : public QObject {
    Q_OBJECT

  private slots:
    void cleanup()
    {
        if (QTest::currentTestFailed()) qWarning().noquote() << m_server.log().right(3000);
        m_server.stop();
    }

    void everybodyVanishesMidTurn()
    {
        QVERIFY(m_server.start(Tick));
        {
            Table first(m_server);
            QVERIFY(first.seatAndStart());
            // Scores change hands before the crash, so that a reset is visible: the
            // guessers say the word once the clock has left 120, then fall silent.
            QTRY_VERIFY_WITH_TIMEOUT(first.bot(0).hits() == 1, 5000);
            for (int i = 0; i < 3; ++i)
                first.bot(i).setGuessing(false);
            QTRY_VERIFY_WITH_TIMEOUT(first.bot(0).turns() == 2, 5000);
            QVERIFY2(first.trouble().isEmpty(), qPrintable(first.trouble()));
            const qsizetype gone = m_server.log().count(QStringLiteral("が切断"));
            for (int i = 0; i < 3; ++i)
                first.bot(i).abort();
            // The new group must find the seats released, not race the departures.
            QTRY_VERIFY_WITH_TIMEOUT(m_server.log().count(QStringLiteral("が切断")) >= gone + 3, 10000);
        }

        // A new group finds the room as it was at start: all slots free, no
        // scores, nobody ready, and a game starts from its first turn.
        Table second(m_server, 10);
        QTRY_VERIFY_WITH_TIMEOUT(second.bot(2).seated(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(second.bot(0).names().count(QString()) == 5, 5000);
        QList<int> seats;
        for (int i = 0; i < 3; ++i)
            seats << second.bot(i).slot();
        std::sort(seats.begin(), seats.end());
        QCOMPARE(seats, (QList<int>{0, 1, 2}));
        QCOMPARE(second.bot(2).scores(), QStringList(8, QStringLiteral("0")));
        QCOMPARE(second.bot(2).count(QStringLiteral("RST")), 0);
        QVERIFY(second.seatAndStart());
        QVERIFY(second.bot(0).sawSystemText(QStringLiteral("1回目のゲームが始まります ラウンド[1/5]")));
        QTRY_VERIFY_WITH_TIMEOUT(second.totalHits() >= 2, 15000);
        QVERIFY2(second.trouble().isEmpty(), qPrintable(second.trouble()));
    }

    void lobbyGoesAwayAndComesBack()
    {
        FakeLobby lobby;
        QVERIFY(lobby.listen());
        QVERIFY(m_server.start(
            Tick, {QStringLiteral("--lobby"), QStringLiteral("127.0.0.1:%1").arg(lobby.port())}));
        QTRY_VERIFY_WITH_TIMEOUT(lobby.registrations() >= 1, 10000);
        Table table(m_server);
        QVERIFY(table.seatAndStart());

        // Past the keep-alive: the answered CHK keeps the link. The next keep-alive
        // comes 60 ticks after the answer, well past the 80 that drop an unanswered one.
        QTRY_VERIFY_WITH_TIMEOUT(lobby.checksAnswered() >= 2, 400 * Tick);
        QCOMPARE(lobby.connections(), 1);

        const QString gone = QStringLiteral("ロビーサーバーから切断");
        const qsizetype goneBefore = m_server.log().count(gone);
        lobby.goAway();
        QElapsedTimer away;
        away.start();
        const int hitsBefore = table.totalHits();
        // The server has noticed before the lobby listens again.
        QTRY_VERIFY_WITH_TIMEOUT(m_server.log().count(gone) > goneBefore, 10000);
        QVERIFY(lobby.listen(lobby.port()));
        // The server comes back on its own, after its reconnection countdown.
        QTRY_VERIFY_WITH_TIMEOUT(lobby.connections() == 2, 400 * Tick);
        QVERIFY2(away.elapsed() >= 100 * Tick, qPrintable(QString::number(away.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(lobby.registrations() >= 2, 5000);
        // The game never waited for the lobby.
        QVERIFY(table.totalHits() >= hitsBefore + 3);
        QVERIFY2(table.trouble().isEmpty(), qPrintable(table.trouble()));
        QVERIFY(m_server.running());
    }

  private:
    ServerRunner m_server;
};

QTEST_GUILESS_MAIN(TestAbuseLifecycle)
#include "tst_abuse_lifecycle.moc"
