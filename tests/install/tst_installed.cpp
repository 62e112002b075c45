#include "server/core/questionbank.h"
#include "shared/cp932.h"
#include "tests/freeport.h"
#include "tests/server/testclient.h"

#include <QDirIterator>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The programs of an installed tree (a staged install, or the unpacked
// package): ZB_INSTALL_ROOT names the root, ZB_ROOM_SERVER the room server
// command inside it. Run from there, a room finds the shipped dictionary,
// writes only into the user's data folder and plays a whole game.
class TstInstalled : public QObject {
    Q_OBJECT

    QString m_root;
    QString m_roomServer;

    // Every file below the folder, with its size and time, to see that nothing changed.
    static QStringList snapshot(const QString &folder)
    {
        QStringList out;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            out << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size()) +
                       QLatin1Char(' ') + it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
        }
        out.sort();
        return out;
    }

  private slots:
    void initTestCase()
    {
        m_root = qEnvironmentVariable("ZB_INSTALL_ROOT");
        m_roomServer = qEnvironmentVariable("ZB_ROOM_SERVER");
        QVERIFY2(QFileInfo(m_root).isDir(), "ZB_INSTALL_ROOT must name an installed tree");
        QVERIFY2(!m_roomServer.isEmpty(), "ZB_ROOM_SERVER must name the room server command");
    }

    void roomPlaysFromInstalledFiles_data()
    {
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QString>("written");
        QTest::newRow("user's folder") << QString() << QStringLiteral("data/zembrill");
        // As the service runs it: its own folder, and still the shipped dictionary.
        QTest::newRow("data folder") << QStringLiteral("state") << QStringLiteral("state");
    }
    void roomPlaysFromInstalledFiles()
    {
        QFETCH(QString, dataDir);
        QFETCH(QString, written);
        QFile shipped(m_root + QStringLiteral("/usr/share/zembrill/default.dat"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        // The words as the room hands them out (in hiragana, "ヴ" spelt out).
        QStringList words;
        for (const QString &raw : zb::fromCp932(shipped.readAll()).split(QStringLiteral("\r\n")))
            words << zb::QuestionBank::normalise(raw);
        const QStringList before = snapshot(m_root);

        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));

        QStringList command = QProcess::splitCommand(m_roomServer);
        if (!dataDir.isEmpty()) {
            QVERIFY(QDir(home.path()).mkdir(dataDir));
            command << QStringLiteral("--data-dir") << home.filePath(dataDir);
        }
        const quint16 port = freePort();
        QProcess server;
        server.setProcessEnvironment(env);
        server.setWorkingDirectory(home.path());
        server.start(command.takeFirst(),
                     command + QStringList{QStringLiteral("--port"), QString::number(port),
                                           QStringLiteral("--tick-ms"), QStringLiteral("20"),
                                           QStringLiteral("--no-lobby"), QStringLiteral("--rounds"),
                                           QStringLiteral("2")});
        QVERIFY(server.waitForStarted(10000));
        QString out;
        connect(&server, &QProcess::readyReadStandardOutput, this,
                [&] { out += QString::fromLocal8Bit(server.readAllStandardOutput()); });
        QTRY_VERIFY2_WITH_TIMEOUT(out.contains(QStringLiteral("内蔵辞書を読み込みました")),
                                  qPrintable(out + server.readAllStandardError()), 20000);

        QList<TestClient *> players;
        for (int i = 0; i < 3; ++i) {
            auto *c = new TestClient(QStringLiteral("127.0.0.%1").arg(2 + i), this);
            players << c;
            // The next player in turn guesses the word a little into the turn.
            c->onLine = [c, i](const QString &cmd, const QString &payload) {
                if (cmd == QLatin1String("QST") && payload.left(1).toInt() == (i + 1) % 3)
                    QTimer::singleShot(100, c,
                                       [c, payload] { c->send(QStringLiteral("MSG"), payload.mid(2)); });
            };
            connect(&c->socket(), &QTcpSocket::connected, c,
                    [c, i] { c->join(QStringLiteral("p%1").arg(i)); });
            c->connectTo(port);
            QTRY_VERIFY_WITH_TIMEOUT(c->has(QStringLiteral("SYM 現在のゲーム設定")), 20000);
        }
        for (TestClient *c : players)
            c->send(QStringLiteral("RDY"), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(players[0]->has(QStringLiteral("RET null")), 60000);
        QCOMPARE(players[0]->count(QStringLiteral("SND ok")), 6);
        // The words came from the shipped dictionary.
        for (const QString &question : players[0]->payloads(QStringLiteral("QST"))) {
            const QString word = question.mid(2);
            QVERIFY2(!word.isEmpty() && words.contains(word), qPrintable(word));
        }
        server.kill();
        server.waitForFinished(5000);

        // What the room wrote went into its folder, never into the tree.
        QVERIFY(QFileInfo(home.filePath(written + QStringLiteral("/zbq"))).isDir());
        QCOMPARE(snapshot(m_root), before);
        qDeleteAll(players);
    }
};

QTEST_GUILESS_MAIN(TstInstalled)
#include "tst_installed.moc"
