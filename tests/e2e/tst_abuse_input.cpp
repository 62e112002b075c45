// Garbage against the real server while three players keep playing: random
// bytes, invalid code page 932, NUL bytes and every command with malformed
// payloads, from a stranger and from a seated player. The players must see
// nothing but the game and the server must keep going.

#include "tests/e2e/e2e.h"

#include "shared/cp932.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>
#include <memory>

using namespace e2e;

namespace {

constexpr int Tick = 50;

QByteArray malformedCommands()
{
    const QList<QByteArray> lines{
        "MSG \x81", // half of a double-byte character
        "MSG \x00\x00\xff\xfe",
        "MSG",
        "SYM \x82\x00\x82",
        "STK ",
        "STK ::::",
        "STK 0:3:a,b;c,d;",
        "STK 99999999999999999999:-5:1e999,nan;",
        "STK 0:3:" + QByteArray(10000, ';'),
        "CLS x",
        "CLS 999999999999",
        "CLS -1",
        "CLS ",
        "RDY \x83\xff",
        "PSW " + QByteArray(5000, 'p'),
        "CHK \xfc\xfc",
        "XYZ whatever",
        "",
        "S",
        "ms\x00",
        "\x00\x00\x00\x00",
    };
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (char &c : b)
        c = static_cast<char>(rng.bounded(256));
    // Line ends now and then, so that the dispatcher sees many lines, not one.
    for (int i = 97; i < size - 1; i += 97 + static_cast<int>(rng.bounded(200))) {
        b[i] = '\r';
        b[i + 1] = '\n';
    }
    return b;
}

} // namespace

class TestAbuseInput : public QObject {
    Q_OBJECT

  private slots:
    void init()
    {
        m_server = std::make_unique<ServerRunner>();
        QVERIFY(m_server->start(Tick));
        m_table = std::make_unique<Table>(*m_server);
        QVERIFY(m_table->seatAndStart());
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && m_server) qWarning().noquote() << m_server->log().right(3000);
        m_table.reset();
        m_server.reset();
    }

    void strangerSendsGarbage()
    {
        const int before = m_table->totalHits();
        // One stranger per kind of garbage; none of them ever introduces itself properly.
        const QList<QByteArray> payloads{randomBytes(64 * 1024, 1), randomBytes(4096, 2) + "\r\n",
                                         malformedCommands(),
                                         "PSW x\r\nVER \x81\x82\r\nNAM \x00:\xff\r\n" + malformedCommands(),
                                         QByteArray(2000, '\0') + "\r\n"};
        std::vector<std::unique_ptr<QTcpSocket>> strangers;
        for (int i = 0; i < payloads.size(); ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->bind(loopback(100 + i));
            s->connectToHost(QHostAddress::LocalHost, m_server->port());
            QVERIFY(s->waitForConnected(5000));
            s->write(payloads[i]);
            strangers.push_back(std::move(s));
        }
        // Each is sent away within its join time, and play goes on meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(strangers.cbegin(), strangers.cend(),
                        [](const auto &s) { return s->state() == QAbstractSocket::UnconnectedState; }),
            10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 2, 30000);
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
        QCOMPARE(m_table->bot(0).names().count(QString()), 5);
        QVERIFY(m_server->running());
    }

    void seatedPlayerSendsGarbage()
    {
        Bot rogue(QStringLiteral("いたずら"), 110, m_server->port());
        rogue.setGuessing(false);
        QTRY_VERIFY_WITH_TIMEOUT(rogue.seated(), 10000);
        const int before = m_table->totalHits();

        rogue.sendRaw(malformedCommands());
        rogue.sendRaw(randomBytes(32 * 1024, 3) + "\r\n");
        // Everything it sends is handled; it is still a player afterwards. Two
        // new turns take a lead-in of ten ticks, well past the flood guard's strikes.
        const int turns = rogue.turns();
        QTRY_VERIFY_WITH_TIMEOUT(!rogue.connected() || rogue.turns() >= turns + 2, 30000);
        QVERIFY(rogue.connected());
        QVERIFY(m_table->bot(0).names().contains(rogue.name()));
        rogue.abort();

        QTRY_VERIFY_WITH_TIMEOUT(!m_table->bot(0).names().contains(rogue.name()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_table->totalHits() >= before + 2, 30000);
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
        QVERIFY(m_server->running());
    }

    // A mark or a name holding the list separator would shift every slot of
    // the lists all players receive.
    void separatorsInMarksAndNames_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("payload");
        QTest::newRow("mark") << QStringLiteral("RDY") << QStringLiteral("O:K:::::::");
        QTest::newRow("name") << QStringLiteral("NAM") << QStringLiteral("a:b:c");
    }

    void separatorsInMarksAndNames()
    {
        QFETCH(QString, command);
        QFETCH(QString, payload);
        Bot rogue(QStringLiteral("くぎり"), 120, m_server->port());
        QTRY_VERIFY_WITH_TIMEOUT(rogue.seated() && m_table->bot(0).names().contains(rogue.name()), 10000);
        rogue.send(command, payload);
        // What the line caused reaches the others before a later line of the
        // same player, or before the news that it was sent away.
        rogue.send(QStringLiteral("MSG"), QStringLiteral("marker"));
        const zb::Line marker{QStringLiteral("MSG"),
                              QString::number(rogue.slot()) + QStringLiteral(":marker")};
        QTRY_VERIFY_WITH_TIMEOUT(m_table->bot(0).lines().contains(marker) ||
                                     !m_table->bot(0).names().contains(rogue.name()),
                                 10000);
        QVERIFY(m_server->running());
        QVERIFY2(m_table->trouble().isEmpty(), qPrintable(m_table->trouble()));
    }

  private:
    std::unique_ptr<ServerRunner> m_server;
    std::unique_ptr<Table> m_table;
};

QTEST_GUILESS_MAIN(TestAbuseInput)
#include "tst_abuse_input.moc"
