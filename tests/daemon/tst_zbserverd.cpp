#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/statusrecord.h"
#include "tests/freeport.h"
#include "tests/server/testclient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The dedicated server binary: the command line of zbserver --headless, no
// window libraries, and a turn played by raw clients.
class TstZbServerd : public QObject {
    Q_OBJECT

    static QString binary() { return QStringLiteral(ZB_BIN_DIR "/zbserverd"); }

    static void writeDictionary(const QTemporaryDir &dir)
    {
        QFile dict(dir.filePath(QStringLiteral("default.dat")));
        QVERIFY(dict.open(QIODevice::WriteOnly));
        dict.write(zb::toCp932(QStringLiteral("りんご\r\n")));
    }

    static QProcessEnvironment environment(const QTemporaryDir &dir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        return env;
    }

    // Runs zbserverd until its output holds `until`; returns standard output.
    static QString runUntil(const QStringList &args, const QString &until, const QTemporaryDir &dir,
                            bool noLobby = true)
    {
        QProcess server;
        server.setProcessEnvironment(environment(dir));
        QString out;
        connect(&server, &QProcess::readyReadStandardOutput, &server,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        server.start(binary(), args +
                                   QStringList{QStringLiteral("--data-dir"), dir.path(),
                                               QStringLiteral("--port"), QString::number(freePort())} +
                                   (noLobby ? QStringList{QStringLiteral("--no-lobby")} : QStringList{}));
        [&] { QTRY_VERIFY_WITH_TIMEOUT(out.contains(until), 20000); }();
        server.terminate();
        server.waitForFinished(10000);
        return out + QString::fromLocal8Bit(server.readAllStandardOutput());
    }

  private slots:
    void routerOnlyWhenAsked()
    {
        QTemporaryDir dir;
        writeDictionary(dir);
        // A rented server has no home router: not even a search unless asked.
        const QString state = QStringLiteral("ポートの状態: ");
        QVERIFY(runUntil({}, state + zb::msg::MappingOff, dir).contains(state + zb::msg::MappingOff));
        const QString asked = runUntil({QStringLiteral("--upnp")}, state + zb::msg::NoRouter, dir);
        QVERIFY(asked.contains(state + zb::msg::AskingRouter));
    }

    void stopsAtOnceWithoutMapping()
    {
        // Routers that never answer: SIGTERM comes while they are asked.
        QTcpServer silentIgd;
        QVERIFY(silentIgd.listen(QHostAddress::LocalHost));
        QTemporaryDir dir;
        writeDictionary(dir);
        QProcess server;
        server.setProcessEnvironment(environment(dir));
        server.start(binary(),
                     {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--port"),
                      QString::number(freePort()), QStringLiteral("--no-lobby"), QStringLiteral("--igd-url"),
                      QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(silentIgd.serverPort()),
                      QStringLiteral("--natpmp-gateway"), QStringLiteral("127.0.0.1")});
        QString out;
        connect(&server, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        QTRY_VERIFY_WITH_TIMEOUT(out.contains(QStringLiteral("ポートの状態: ") + zb::msg::AskingRouter),
                                 20000);
        QTRY_VERIFY(silentIgd.hasPendingConnections());
        QElapsedTimer clock;
        clock.start();
        server.terminate();
        QVERIFY(server.waitForFinished(20000));
        // Nothing was mapped, so nothing waits for the router (it took five seconds).
        QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()));
        QCOMPARE(server.exitCode(), 0);
        out += QString::fromLocal8Bit(server.readAllStandardOutput());
        QVERIFY(out.endsWith(QStringLiteral(" <system> ") + zb::msg::ServerStopped + QLatin1Char('\n')));
        QCOMPARE(QString::fromLocal8Bit(server.readAllStandardError()),
                 QStringLiteral("zbserverd: listening on port %1\n").arg(server.arguments().at(3)));
    }

    void ignoresTheConsolesSettings()
    {
        QTemporaryDir dir;
        writeDictionary(dir);
        QSettings console(dir.filePath(QStringLiteral("config/ゼンブリル/ゼンブリル.ini")),
                          QSettings::IniFormat);
        console.beginGroup(QStringLiteral("Option"));
        console.setValue(QStringLiteral("ServerRoomName"), QStringLiteral("いつもの部屋"));
        console.setValue(QStringLiteral("RoundMax"), QStringLiteral("0"));
        console.setValue(QStringLiteral("AllowSameAddress"), QStringLiteral("1"));
        console.sync();
        QTcpServer lobby;
        QVERIFY(lobby.listen(QHostAddress::LocalHost));
        QByteArray heard;
        connect(&lobby, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *s = lobby.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, this, [&heard, s] { heard += s->readAll(); });
        });
        const QString out =
            runUntil({QStringLiteral("--lobby"), QStringLiteral("127.0.0.1:%1").arg(lobby.serverPort()),
                      QStringLiteral("--comment"), QStringLiteral("今日だけ"), QStringLiteral("--password"),
                      QStringLiteral("x")},
                     QStringLiteral("ポートの状態: "), dir, false);
        for (const QString &line : {QStringLiteral("サーバー名: 名無しサーバー"),
                                    QStringLiteral("コメント: 今日だけ"), QStringLiteral("パスワード: あり"),
                                    QStringLiteral("ラウンド数: 3回"), QStringLiteral("プレイヤー上限: 8人"),
                                    QStringLiteral("ロビー登録: する (127.0.0.1:%1)").arg(lobby.serverPort()),
                                    QStringLiteral("ルーターのポートを自動で開く (UPnP): しない")})
            QVERIFY2(out.contains(QStringLiteral(" <system> ") + line + QLatin1Char('\n')), qPrintable(line));
        // The lobby lists the room under its own name, not the console's last one.
        QTRY_VERIFY(heard.contains("\r\nSTS "));
        const QString record = zb::StatusRecord::decode(
            QString::fromLatin1(heard.mid(heard.indexOf("STS ") + 4).split('\r').first()));
        QCOMPARE(zb::StatusRecord::field(record, QStringLiteral("roomname=")), zb::msg::DefaultRoomName);
        // Nor is anything written back.
        QCOMPARE(console.value(QStringLiteral("ServerRoomName")).toString(), QStringLiteral("いつもの部屋"));
        QVERIFY(!console.contains(QStringLiteral("ServerPort")));
    }

    void allowSameAddress()
    {
        // Two players behind one router: the second is seated only when the run allows it.
        QTemporaryDir dir;
        writeDictionary(dir);
        for (const bool allow : {true, false}) {
            const QString port = QString::number(freePort());
            QProcess server;
            server.setProcessEnvironment(environment(dir));
            QStringList args{QStringLiteral("--port"), port, QStringLiteral("--data-dir"), dir.path(),
                             QStringLiteral("--no-lobby")};
            if (allow) args << QStringLiteral("--allow-same-address");
            QString err;
            connect(&server, &QProcess::readyReadStandardError, this,
                    [&] { err += QString::fromLocal8Bit(server.readAllStandardError()); });
            server.start(binary(), args);
            QTRY_VERIFY_WITH_TIMEOUT(err.contains(QStringLiteral("listening on port ") + port), 10000);
            TestClient first(QStringLiteral("127.0.0.5"));
            TestClient second(QStringLiteral("127.0.0.5"));
            first.setObjectName(QStringLiteral("母"));
            second.setObjectName(QStringLiteral("子"));
            for (TestClient *c : {&first, &second}) {
                connect(&c->socket(), &QTcpSocket::connected, c, [c] { c->join(c->objectName()); });
                c->connectTo(port.toUShort());
                QTRY_VERIFY(c->has(QStringLiteral("SYM ") + zb::msg::GameSettingsHeading) || c->closed());
            }
            QVERIFY(first.connected());
            QCOMPARE(second.connected(), allow);
            server.kill();
            server.waitForFinished(5000);
        }
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0;
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
        QTest::newRow("players out of range, with zbserver's --headless")
            << QStringList{QStringLiteral("--headless"), QStringLiteral("--players"), QStringLiteral("9")}
            << 2;
        QTest::newRow("bad tick") << QStringList{QStringLiteral("--tick-ms"), QStringLiteral("0")} << 2;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--window")} << 1;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        writeDictionary(dir);
        QProcess p;
        p.setProcessEnvironment(environment(dir));
        p.start(binary(), args + QStringList{QStringLiteral("--data-dir"), dir.path()});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), exitCode);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        if (args.first() == QLatin1String("--version")) QCOMPARE(out, QStringLiteral("1.16\n"));
        if (args.first() == QLatin1String("--help")) {
            for (const char *option : {"--port", "--password", "--room-name", "--comment", "--players",
                                       "--rounds", "--question-control", "--dict-mode", "--dict",
                                       "--no-lobby", "--lobby", "--data-dir", "--tick-ms"})
                QVERIFY2(out.contains(QLatin1String(option)), option);
            // Always headless: the window's options are accepted, not offered.
            QVERIFY(!out.contains(QLatin1String("--headless")));
            QVERIFY(!out.contains(QLatin1String("--start")));
        }
        if (exitCode != 0) QVERIFY(!p.readAllStandardError().isEmpty());
    }

    void turnOverLoopback()
    {
        QTemporaryDir dir;
        writeDictionary(dir);
        const quint16 port = freePort();

        QProcess server;
        server.setProcessEnvironment(environment(dir));
        server.start(binary(),
                     {QStringLiteral("--port"), QString::number(port), QStringLiteral("--data-dir"),
                      dir.path(), QStringLiteral("--tick-ms"), QStringLiteral("20"),
                      QStringLiteral("--no-lobby"), QStringLiteral("--players"), QStringLiteral("3")});
        QVERIFY(server.waitForStarted(10000));
        QString out;
        QString err;
        connect(&server, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        connect(&server, &QProcess::readyReadStandardError, this,
                [&] { err += QString::fromLocal8Bit(server.readAllStandardError()); });
        QTRY_VERIFY_WITH_TIMEOUT(err.contains(QStringLiteral("zbserverd: listening on port %1").arg(port)),
                                 10000);

        // Nothing of a desktop is loaded, not even indirectly.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(server.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char *library : {"libQt6Gui", "libQt6Widgets", "libQt6Multimedia", "libQt6DBus"})
            QVERIFY2(!mapped.contains(library), library);

        QList<TestClient *> players;
        for (int i = 0; i < 3; ++i) {
            auto *c = new TestClient(QStringLiteral("127.0.0.%1").arg(2 + i), this);
            players << c;
            connect(&c->socket(), &QTcpSocket::connected, c,
                    [c, i] { c->join(QStringLiteral("p%1").arg(i)); });
            c->connectTo(port);
            QTRY_VERIFY(c->has(QStringLiteral("SYM ") + zb::msg::GameSettingsHeading));
        }
        for (TestClient *c : players)
            c->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(!players[0]->payloads(QStringLiteral("QST")).isEmpty(), 10000);
        const QString question = players[0]->payloads(QStringLiteral("QST")).first();
        const int drawer = question.left(1).toInt();
        QCOMPARE(question.mid(2), QStringLiteral("りんご"));

        // The drawer's stroke reaches the others as sent; a guess ends the turn.
        const QString stroke = QStringLiteral("0:3:10,10;20,20;");
        players[drawer]->send(QStringLiteral("STK"), stroke);
        const int guesser = (drawer + 1) % 3;
        for (int i = 0; i < 3; ++i) {
            if (i != drawer) QTRY_VERIFY(players[i]->has(QStringLiteral("STK ") + stroke));
        }
        // A guess counts once the clock has left the turn's first second.
        QTimer guess;
        connect(&guess, &QTimer::timeout, players[guesser],
                [&] { players[guesser]->send(QStringLiteral("MSG"), QStringLiteral("りんご")); });
        guess.start(100);
        for (TestClient *c : players)
            QTRY_VERIFY_WITH_TIMEOUT(c->has(QStringLiteral("QOK %1").arg(guesser)), 10000);
        guess.stop();

        // Operator commands: a runaway line without a break is dropped, the next one runs.
        server.write(QByteArray(100 * 1024, 'x'));
        server.write("\nsay こんにちは\n");
        for (TestClient *c : players)
            QTRY_VERIFY(c->has(QStringLiteral("SYM ") + zb::msg::announcement(QStringLiteral("こんにちは"))));
        QTRY_VERIFY(err.contains(QStringLiteral("ignored")));

        // The slots for kick: each seat with its player, address, score and readiness.
        server.write("players\nhelp\n");
        QTRY_VERIFY(out.contains(zb::msg::OperatorHelp.constLast()));
        for (int i = 0; i < 3; ++i) {
            const QString score = players[i]->payloads(QStringLiteral("SCR")).constLast().section(u':', i, i);
            QVERIFY2(
                out.contains(QStringLiteral("\n%1  p%1  127.0.0.%2  %3  OK\n").arg(i).arg(2 + i).arg(score)),
                qPrintable(out.right(700)));
            QCOMPARE(score.toInt() > 0, i != (drawer + 2) % 3);
        }
        server.write("kick 2\n");
        QTRY_VERIFY(players[2]->closed());
        QVERIFY(players[0]->connected());
        QTRY_VERIFY(out.contains(QStringLiteral(" <system> ") + zb::msg::AllReady + QLatin1Char('\n')));

        server.kill();
        server.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TstZbServerd)
#include "tst_zbserverd.moc"
