// The server's options and the run script, with the real binaries: options
// are for the run they are given to, and a headless server started by the
// script takes the operator's commands from the terminal. No run looks for a
// router: the tests stay on loopback.
#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "tests/freeport.h"
#include "tests/server/testclient.h"

#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <unistd.h>

namespace {

const QString Waiting = zb::msg::WaitingForPlayers;

// True once something on this machine listens on the port: the windowed
// server says nothing on its output when it starts listening.
bool listening(quint16 port)
{
    const QByteArray local = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            // "sl local_address rem_address st ...", where st 0A is LISTEN
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields.at(1).endsWith(local) && fields.at(3) == "0A") return true;
        }
    }
    return false;
}

bool accepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    return probe.waitForConnected(1000);
}

// A program folder with a dictionary, and a settings store holding an earlier run's values.
struct Room {
    QTemporaryDir dir;

    Room()
    {
        QFile dict(dir.filePath(QStringLiteral("default.dat")));
        dict.open(QIODevice::WriteOnly);
        dict.write(zb::toCp932(QStringLiteral("りんご\r\n")));
        store()->setValue(QStringLiteral("ServerPort"), QStringLiteral("1111"));
        store()->setValue(QStringLiteral("ServerRoomName"), QStringLiteral("いつもの部屋"));
        store()->setValue(QStringLiteral("RoundMax"), QStringLiteral("0"));
    }

    std::unique_ptr<QSettings> store() const
    {
        auto s = std::make_unique<QSettings>(dir.filePath(QStringLiteral("config/ゼンブリル/ゼンブリル.ini")),
                                             QSettings::IniFormat);
        s->beginGroup(QStringLiteral("Option"));
        return s;
    }
    QString stored(const QString &key) const { return store()->value(key).toString(); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        return env;
    }

    // A player on 127.0.0.2 that joins as soon as the server takes connections.
    static std::unique_ptr<TestClient> join(quint16 port)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto c = std::make_unique<TestClient>(QStringLiteral("127.0.0.2"));
            c->connectTo(port);
            if (!QTest::qWaitFor([&c] { return c->connected() || c->closed(); }, 5000) || !c->connected()) {
                if (!QTest::qWaitFor([port] { return listening(port); }, 10000)) return nullptr;
                continue;
            }
            c->join(QStringLiteral("taro"));
            if (QTest::qWaitFor(
                    [&c] { return c->has(QStringLiteral("SYM ") + zb::msg::GameSettingsHeading); }, 5000))
                return c;
        }
        return nullptr;
    }
};

// Ends a whole process group (a script and what it started) whatever the test's outcome.
struct GroupGuard {
    qint64 pid = 0;
    ~GroupGuard()
    {
        if (pid > 0) ::kill(-pid_t(pid), SIGKILL);
    }
};

} // namespace

class TstOptions : public QObject {
    Q_OBJECT

  private slots:
    void headlessRunSavesNothing()
    {
        Room room;
        const quint16 port = freePort();
        QProcess server;
        server.setProcessEnvironment(room.environment());
        server.start(QStringLiteral(ZB_BIN_DIR "/zbserver"),
                     {QStringLiteral("--headless"), QStringLiteral("--port"), QString::number(port),
                      QStringLiteral("--room-name"), QStringLiteral("今日だけ"), QStringLiteral("--rounds"),
                      QStringLiteral("5"), QStringLiteral("--players"), QStringLiteral("4"),
                      QStringLiteral("--question-control"), QStringLiteral("--no-lobby"),
                      QStringLiteral("--no-upnp"), QStringLiteral("--data-dir"), room.dir.path()});
        QString out;
        connect(&server, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        QTRY_VERIFY_WITH_TIMEOUT(out.contains(Waiting), 10000);
        const auto taro = Room::join(port);
        QVERIFY(taro);
        QVERIFY(taro->has(QStringLiteral("SYM ") + zb::msg::settingsLine(4, 5, true)));
        server.terminate();
        QVERIFY(server.waitForFinished(10000));

        QCOMPARE(room.stored(QStringLiteral("ServerPort")), QStringLiteral("1111"));
        QCOMPARE(room.stored(QStringLiteral("ServerRoomName")), QStringLiteral("いつもの部屋"));
        QCOMPARE(room.stored(QStringLiteral("RoundMax")), QStringLiteral("0"));
        QVERIFY(!room.store()->contains(QStringLiteral("PlayerMax")));
        QVERIFY(!room.store()->contains(QStringLiteral("QuestionControl")));
    }

    void windowRunTakesOptions()
    {
#ifndef ZB_WINDOW_SERVER
        QSKIP("zbserver is built without its window");
#else
        Room room;
        QTcpServer lobby;
        QVERIFY(lobby.listen(QHostAddress::LocalHost, 0));
        const quint16 port = freePort();
        QProcess server;
        QProcessEnvironment env = room.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        server.setProcessEnvironment(env);
        server.start(QStringLiteral(ZB_BIN_DIR "/zbserver"),
                     {QStringLiteral("--start"), QStringLiteral("--port"), QString::number(port),
                      QStringLiteral("--no-lobby"), QStringLiteral("--lobby"),
                      QStringLiteral("127.0.0.1:%1").arg(lobby.serverPort()), QStringLiteral("--room-name"),
                      QStringLiteral("今日だけ"), QStringLiteral("--rounds"), QStringLiteral("5"),
                      QStringLiteral("--no-upnp"), QStringLiteral("--data-dir"), room.dir.path()});
        auto taro = Room::join(port);
        QVERIFY(taro);
        QVERIFY(taro->has(QStringLiteral("SYM ") + zb::msg::settingsLine(8, 5, false)));
        // The room registered nowhere: the lobby heard nothing while the player joined.
        QVERIFY(!lobby.hasPendingConnections());
        taro.reset();
        server.terminate();
        if (!server.waitForFinished(10000)) server.kill();

        QCOMPARE(room.stored(QStringLiteral("ServerPort")), QStringLiteral("1111"));
        QCOMPARE(room.stored(QStringLiteral("ServerRoomName")), QStringLiteral("いつもの部屋"));
        QCOMPARE(room.stored(QStringLiteral("RoundMax")), QStringLiteral("0"));
#endif
    }

    void runScriptHeadlessTakesTheTerminal()
    {
        Room room;
        const quint16 port = freePort();
        const quint16 lobbyPort = freePort();
        QProcess script;
        QProcessEnvironment env = room.environment();
        env.insert(QStringLiteral("ZB_SKIP_BUILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("ZB_BUILD_DIR"), QStringLiteral(ZB_BIN_DIR "/.."));
        env.insert(QStringLiteral("ZB_LOBBY_PORT"), QString::number(lobbyPort));
        script.setProcessEnvironment(env);
        // A group of its own, as a terminal gives it, so that Ctrl+C can be sent to all of it.
        script.setChildProcessModifier([] { ::setsid(); });
        script.start(QStringLiteral("bash"),
                     {QStringLiteral(ZB_SOURCE_DIR "/scripts/run.sh"), QStringLiteral("--headless"),
                      QStringLiteral("--port"), QString::number(port), QStringLiteral("--no-upnp"),
                      QStringLiteral("--data-dir"), room.dir.path()});
        QVERIFY(script.waitForStarted(5000));
        GroupGuard guard{script.processId()};
        QString out;
        connect(&script, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(script.readAllStandardOutput()); });
        QTRY_VERIFY_WITH_TIMEOUT(out.contains(Waiting), 20000);
        const auto taro = Room::join(port);
        QVERIFY(taro);

        script.write("say こんにちは\n");
        QTRY_VERIFY(taro->has(QStringLiteral("SYM ") + zb::msg::announcement(QStringLiteral("こんにちは"))));
        QVERIFY(accepts(lobbyPort));

        // Ctrl+C ends the server, and the script takes the lobby with it.
        ::kill(-pid_t(script.processId()), SIGINT);
        QVERIFY(script.waitForFinished(20000));
        QTRY_VERIFY(taro->closed());
        QTRY_VERIFY_WITH_TIMEOUT(!accepts(lobbyPort), 10000);
    }
};

QTEST_GUILESS_MAIN(TstOptions)
#include "tst_options.moc"
