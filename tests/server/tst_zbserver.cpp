#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "tests/freeport.h"
#include "tests/server/testclient.h"
#include "tests/wiretexts.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The real zbserver binary, headless, driven by raw clients and standard input.
class TstZbServer : public QObject {
    Q_OBJECT

    static QString binary() { return QStringLiteral(ZB_BIN_DIR "/zbserver"); }

    static void writeDictionary(const QTemporaryDir &dir)
    {
        QFile dict(dir.filePath(QStringLiteral("default.dat")));
        QVERIFY(dict.open(QIODevice::WriteOnly));
        dict.write(zb::toCp932(QStringLiteral("りんご\r\n")));
    }

  private slots:
    void versionAndBadOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << QStringLiteral("1.16\n");
        QTest::newRow("players out of range")
            << QStringList{QStringLiteral("--headless"), QStringLiteral("--players"), QStringLiteral("9")}
            << 2 << QString();
        QTest::newRow("bad port") << QStringList{QStringLiteral("--headless"), QStringLiteral("--no-lobby"),
                                                 QStringLiteral("--port"), QStringLiteral("x1")}
                                  << 1 << QString();
    }
    void versionAndBadOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QTemporaryDir dir;
        writeDictionary(dir);
        QProcess p;
        p.start(binary(), args + QStringList{QStringLiteral("--data-dir"), dir.path()});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), exitCode);
        if (!out.isEmpty()) QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        if (exitCode != 0) QVERIFY(!p.readAllStandardError().isEmpty());
    }

    void portInUse()
    {
        QTemporaryDir dir;
        writeDictionary(dir);
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::Any, 0));
        QProcess p;
        p.start(binary(),
                {QStringLiteral("--headless"), QStringLiteral("--no-lobby"), QStringLiteral("--port"),
                 QString::number(busy.serverPort()), QStringLiteral("--data-dir"), dir.path()});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(
            QString::fromLocal8Bit(p.readAllStandardError()).contains(QString::number(busy.serverPort())));
        // Nobody is told to connect to a room that never opened.
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(out.contains(QStringLiteral("zbserver Ver.1.16")));
        QVERIFY(!out.contains(zb::msg::WaitingForPlayers));
    }

    void wholeGame()
    {
        QTemporaryDir dir;
        writeDictionary(dir);

        const quint16 port = freePort();
        QProcess server;
        server.start(binary(),
                     {QStringLiteral("--headless"), QStringLiteral("--port"), QString::number(port),
                      QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--tick-ms"),
                      QStringLiteral("20"), QStringLiteral("--no-lobby"), QStringLiteral("--rounds"),
                      QStringLiteral("2"), QStringLiteral("--room-name"), QStringLiteral("e2e")});
        QVERIFY(server.waitForStarted(10000));
        QString out;
        connect(&server, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        QTRY_VERIFY_WITH_TIMEOUT(out.contains(zb::msg::BuiltInLoaded), 10000);

        QList<TestClient *> players;
        for (int i = 0; i < 3; ++i) {
            auto *c = new TestClient(QStringLiteral("127.0.0.%1").arg(2 + i), this);
            players << c;
            // Guess the word a few ticks into the turn of the next player's pen.
            c->onLine = [c, i](const QString &command, const QString &payload) {
                if (command == QLatin1String("QST") && payload.left(1).toInt() == (i + 1) % 3)
                    QTimer::singleShot(100, c,
                                       [c, payload] { c->send(QStringLiteral("MSG"), payload.mid(2)); });
            };
            connect(&c->socket(), &QTcpSocket::connected, c,
                    [c, i] { c->join(QStringLiteral("p%1").arg(i)); });
            c->connectTo(port);
            QTRY_VERIFY(c->has(QStringLiteral("SYM ") + zb::msg::GameSettingsHeading));
        }
        QCOMPARE(players[0]->lines.first(), QStringLiteral("NUM 0"));
        QVERIFY(players[2]->has(QStringLiteral("SYM ") + zb::msg::settingsLine(8, 2, false)));

        server.write("say こんにちは\n");
        for (TestClient *c : players)
            QTRY_VERIFY(c->has(QStringLiteral("SYM ") + zb::msg::announcement(QStringLiteral("こんにちは"))));
        for (TestClient *c : players)
            c->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(players[0]->has(QStringLiteral("RET null")), 30000);
        QCOMPARE(players[0]->count(QStringLiteral("SND ok")), 6);
        QCOMPARE(players[0]->payloads(QStringLiteral("QST")).size(), 6);
        QVERIFY(players[0]->has(QStringLiteral("SYM ") + zb::msg::GameOver));
        QTRY_VERIFY(out.contains(QStringLiteral(" <system> ") + zb::msg::AllReady + QLatin1Char('\n')));
        QVERIFY(out.contains(QStringLiteral(" <") + zb::msg::announcementLog(QStringLiteral("こんにちは")) +
                             QLatin1Char('\n')));
        QVERIFY(out.contains(QStringLiteral(" <system> 優勝者は ")));
        QVERIFY(!out.contains(QLatin1Char('\r')));

        // Text from players reaches the host's terminal without its escape sequences.
        players[0]->sendRaw("\x1b[2Jwipe\r\n");
        QTRY_VERIFY(out.contains(QStringLiteral(" <system> \\x1B[2\n")));
        QVERIFY(!out.contains(QChar(0x1b)));

        // The operator bans the third player, who is told so and cannot come back.
        server.write("ban 2\n");
        QTRY_VERIFY(players[2]->closed());
        QCOMPARE(players[2]->lines.last(), QStringLiteral("SYM ") + wire::BannedByHost);
        QTRY_VERIFY(players[0]->has(QStringLiteral("SYM ") + zb::msg::playerLeft(QStringLiteral("p2"))));
        QFile ban(dir.filePath(QStringLiteral("ban.txt")));
        QVERIFY(ban.open(QIODevice::ReadOnly));
        QCOMPARE(ban.readAll(), QByteArray("p2\t127.0.0.4\r\n\r\n"));

        server.kill();
        server.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TstZbServer)
#include "tst_zbserver.moc"
