#include "client/core/gameclient.h"
#include "client/core/messages.h"
#include "tests/client/spytexts.h"
#include "tests/freeport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace zb;

namespace {

// Short enough for a whole game in seconds, long enough that the join time-out
// (three ticks) and the connect time-out (five) hold on a loaded machine.
constexpr int TickMs = 100;

struct Player {
    explicit Player(int n)
    {
        client.setTickMs(TickMs);
        client.setBindAddress(QHostAddress(QStringLiteral("127.0.0.%1").arg(n + 2)));
    }
    GameClient client;
    QSignalSpy sys{&client, &GameClient::systemText};
    QSignalSpy chat{&client, &GameClient::chatText};
    QSignalSpy sounds{&client, &GameClient::soundRequested};
};
} // namespace

// The client against the real server program.
class TestRealServer : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void joinChatAndPassword();
    void wholeGame();
    void toldWhyCut();

  private:
    bool startServer(const QStringList &extra = {});

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    quint16 m_port = 0;
};

bool TestRealServer::startServer(const QStringList &extra)
{
    const QString program = QStringLiteral(ZB_BIN_DIR "/zbserver");
    if (!QFile::exists(program)) return false;
    QFile::copy(QStringLiteral(ZB_BIN_DIR "/default.dat"), m_dir.filePath(QStringLiteral("default.dat")));
    m_port = freePort();
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    m_server->start(program, QStringList{QStringLiteral("--headless"), QStringLiteral("--port"),
                                         QString::number(m_port), QStringLiteral("--data-dir"), m_dir.path(),
                                         QStringLiteral("--tick-ms"), QString::number(TickMs),
                                         QStringLiteral("--no-lobby")} +
                                 extra);
    QByteArray out;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && !out.contains("listening on port")) {
        m_server->waitForReadyRead(200);
        out += m_server->readAll();
        if (m_server->state() == QProcess::NotRunning) break;
    }
    return out.contains("listening on port");
}

void TestRealServer::init()
{
    QVERIFY(m_dir.isValid());
}

void TestRealServer::cleanup()
{
    if (m_server) {
        m_server->kill();
        m_server->waitForFinished(3000);
        m_server.reset();
    }
}

void TestRealServer::joinChatAndPassword()
{
    if (!startServer({QStringLiteral("--password"), QStringLiteral("pw")}))
        QSKIP("zbserver is not built or did not start");
    const QString address = QStringLiteral("127.0.0.1:%1").arg(m_port);
    Player a(0), b(1), c(2);
    QVERIFY(a.client.connectToRoom(address, QStringLiteral("あき"), QStringLiteral("pw")));
    QVERIFY(b.client.connectToRoom(address, QStringLiteral("bob"), QStringLiteral("pw")));
    QTRY_COMPARE(a.client.players().playerCount(), 2);
    QTRY_COMPARE(b.client.players().playerCount(), 2);
    QVERIFY(texts(a.sys).contains(msg::ConnectedToServer));
    QTRY_VERIFY(texts(a.sys).contains(QStringLiteral("bob が参加しました")));
    QCOMPARE(a.client.round().mySlot, 0);
    QCOMPARE(b.client.round().mySlot, 1);
    QCOMPARE(a.client.players().name(1), QStringLiteral("bob"));
    QTRY_VERIFY(texts(b.sounds).contains(QStringLiteral("connect")));

    QVERIFY(a.client.sendChat(QStringLiteral("こんにちは:です")));
    QTRY_COMPARE(texts(b.chat), QStringList{QStringLiteral("あき> こんにちは:です")});
    QCOMPARE(texts(a.chat), QStringList{QStringLiteral("あき> こんにちは:です")});

    // A wrong password is refused and the client closes its side.
    QVERIFY(c.client.connectToRoom(address, QStringLiteral("carol"), QStringLiteral("nope")));
    QTRY_VERIFY(texts(c.sys).contains(msg::WrongPassword));
    QTRY_VERIFY(!c.client.isConnected());
    QVERIFY(texts(c.sys).contains(msg::Disconnected));
    QTRY_VERIFY(texts(a.sys).contains(QStringLiteral("パスワード不一致の接続がありました")));

    // Leaving empties the panels of the one who left.
    a.client.onConnectionClosed();
    QTRY_COMPARE(b.client.players().playerCount(), 1);
    QCOMPARE(a.client.players().playerCount(), 0);
}

void TestRealServer::wholeGame()
{
    if (!startServer({QStringLiteral("--rounds"), QStringLiteral("2")}))
        QSKIP("zbserver is not built or did not start");
    const QString address = QStringLiteral("127.0.0.1:%1").arg(m_port);
    Player players[3] = {Player(0), Player(1), Player(2)};
    const QStringList names{QStringLiteral("p0"), QStringLiteral("p1"), QStringLiteral("p2")};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(players[i].client.connectToRoom(address, names.at(i), QString()));
        QTRY_COMPARE(players[i].client.players().playerCount(), i + 1);
    }
    for (Player &p : players) {
        QTRY_VERIFY(p.client.readyEnabled());
        p.client.toggleReady();
    }
    int turns = 0;
    int lastDrawer = -1;
    QString lastWord;
    QElapsedTimer elapsed;
    elapsed.start();
    // Every turn: the drawer draws, a guesser says the word; until the game returns to waiting.
    const auto over = [&] { return texts(players[0].sys).contains(msg::BackToWaiting); };
    while (!over() && elapsed.elapsed() < 40000) {
        (void)QTest::qWaitFor(
            [&] {
                const RoundState &r = players[0].client.round();
                return over() || (r.inGame && r.timeLimit() > 0 &&
                                  (r.drawerSlot != lastDrawer || r.currentWord != lastWord));
            },
            1000);
        const RoundState &round = players[0].client.round();
        if (!round.inGame || round.timeLimit() <= 0) continue;
        if (round.drawerSlot == lastDrawer && round.currentWord == lastWord) continue;
        lastDrawer = round.drawerSlot;
        lastWord = round.currentWord;
        ++turns;
        Player &drawer = players[lastDrawer];
        QTRY_COMPARE(drawer.client.round().questionText(), lastWord);
        const int y = 20 + 10 * turns;
        drawer.client.canvas().pickColor(2);
        drawer.client.canvas().beginStroke(Qt::LeftButton, QPointF(100, y));
        drawer.client.canvas().extendStroke(QPointF(200, y));
        drawer.client.canvas().finishStroke();
        Player &guesser = players[(lastDrawer + 1) % 3];
        QTRY_COMPARE(guesser.client.canvas().canvas().pixelValue(150, y), 255);
        QCOMPARE(guesser.client.round().questionText().size() > 0, true);
        // Guesses count once the server's clock has left 120.
        QTRY_VERIFY(guesser.client.round().timeLimit() <= 118);
        QVERIFY(guesser.client.sendChat(lastWord));
        QTRY_COMPARE(players[0].client.qokSlot(), (lastDrawer + 1) % 3);
        QCOMPARE(players[0].client.round().timeLimit(), -1);
    }
    QCOMPARE(turns, 6);
    for (Player &p : players) {
        QTRY_VERIFY(!p.client.round().inGame);
        QVERIFY(p.client.readyEnabled());
        const QStringList sounds = texts(p.sounds);
        QVERIFY(sounds.contains(QStringLiteral("question")));
        QVERIFY(sounds.contains(QStringLiteral("ok")));
        QVERIFY(sounds.contains(QStringLiteral("win")) || sounds.contains(QStringLiteral("lose")));
        QVERIFY(!texts(p.sys).contains(msg::UnknownError));
        QVERIFY(!texts(p.sys).contains(msg::BadCommand));
    }
}

void TestRealServer::toldWhyCut()
{
    if (!startServer()) QSKIP("zbserver is not built or did not start");
    const QString address = QStringLiteral("127.0.0.1:%1").arg(m_port);
    Player a(0), b(1), c(2);
    for (Player *p : {&a, &b, &c}) {
        QVERIFY(p->client.connectToRoom(address, QStringLiteral("p"), QString()));
        QTRY_VERIFY(p->client.isConnected() && p->client.round().mySlot >= 0);
    }
    QTRY_COMPARE(a.client.players().playerCount(), 3);
    const QStringList reasons{QStringLiteral("ホストにキックされました"),
                              QStringLiteral("ホストにBANされました")};
    int n = 0;
    for (Player *p : {&b, &c}) {
        const bool ban = p == &c;
        const int slot = p->client.round().mySlot;
        m_server->write(QByteArray(ban ? "ban " : "kick ") + QByteArray::number(slot) + '\n');
        QTRY_VERIFY(!p->client.isConnected());
        // The reason comes first, then the cut itself.
        const QStringList sys = texts(p->sys);
        const qsizetype cut = sys.lastIndexOf(msg::Disconnected);
        QVERIFY2(cut > 0 && sys.at(cut - 1) == reasons.at(n), qPrintable(sys.join(QLatin1Char('|'))));
        ++n;
    }
    QVERIFY(!texts(a.sys).contains(reasons.at(0)));
    QVERIFY(a.client.isConnected());
}

QTEST_MAIN(TestRealServer)
#include "tst_realserver.moc"
