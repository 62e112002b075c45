// The browser's way into a whole room: its requests on the room's port, its
// WebSocket as a seat among players' programs.
#include "tests/server/serverfixture.h"

#include <QWebSocket>

using namespace zb;

namespace {
// The status of one request from `address`, read until the room closes the
// connection (0: no answer).
int request(quint16 port, const QString &address, const QByteArray &bytes)
{
    QTcpSocket socket;
    socket.bind(QHostAddress(address));
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) return 0;
    socket.write(bytes);
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    got += socket.readAll();
    return got.startsWith("HTTP/1.1 ") ? got.mid(9, 3).toInt() : 0;
}

// A browser's WebSocket from a page of the room, and the lines it hears.
struct Browser {
    QWebSocket socket;
    QStringList lines;

    Browser(quint16 port) : socket(QStringLiteral("http://127.0.0.1:%1").arg(port))
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket,
                         [this](const QString &m) { lines << m; });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        (void)QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    void join(const QString &name)
    {
        for (const QString &line :
             {QStringLiteral("PSW "), QStringLiteral("VER 1.16"), QStringLiteral("NAM ") + name})
            socket.sendTextMessage(line);
    }
};
} // namespace

class TestWebRoom : public ServerFixture {
    Q_OBJECT
  private slots:
    void init() { setUpFolder(QStringLiteral("りんご\r\n")); }
    void cleanup() { tearDownServer(); }

    void requestsTakeNoSeat();
    void browserSocketIsASeat();
    void offWithoutTheWebPlayer();
};

void TestWebRoom::requestsTakeNoSeat()
{
    startServer();
    // A head that never ends, from the address a player joins from next.
    QTcpSocket slow;
    slow.bind(QHostAddress(QStringLiteral("127.0.0.3")));
    slow.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(slow.waitForConnected(5000));
    slow.write("GET / HTTP/1.1\r\nHost: x\r\n");

    // Far more page loads than connections an address may open to join.
    for (int i = 0; i < 200; ++i)
        QCOMPARE(request(m_port, QStringLiteral("127.0.0.2"), "GET / HTTP/1.1\r\nHost: x\r\n\r\n"), 200);
    for (int slot = 0; slot < 8; ++slot)
        QVERIFY(!m_server->seats().busy(slot));
    joinClient(2, QStringLiteral("p"));
    joinClient(3, QStringLiteral("q"));
    QCOMPARE(m_server->seats().playerCount(), 2);

    const QString other = QStringLiteral("127.0.0.4");
    QCOMPARE(request(m_port, other, "GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n"),
             431);
    QCOMPARE(request(m_port, other, "GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n"), 404);
    QCOMPARE(request(m_port, other,
                     "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) +
                         "\r\nOrigin: http://evil.example\r\nUpgrade: websocket\r\n"
                         "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"),
             403);
    // Not "GET ": a player's program that speaks nonsense, as ever.
    QTcpSocket post;
    post.bind(QHostAddress(other));
    post.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(post.waitForConnected(5000));
    post.write("POST / HTTP/1.1\r\nHost: x\r\n\r\n");
    QTRY_VERIFY(m_server->seats().busy(2));

    // The slow head is answered in time and closed.
    QTRY_VERIFY_WITH_TIMEOUT(slow.state() == QAbstractSocket::UnconnectedState, 15000);
    QVERIFY(slow.readAll().startsWith("HTTP/1.1 408 "));

    // A binary message ends the browser's connection and frees its seat.
    Browser browser(m_port);
    browser.join(QStringLiteral("web"));
    QTRY_COMPARE(m_server->seats().playerCount(), 3);
    browser.socket.sendBinaryMessage("NAM x");
    QTRY_COMPARE(browser.socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(m_server->seats().playerCount(), 2);
}

void TestWebRoom::browserSocketIsASeat()
{
    startServer();
    Browser browser(m_port);
    browser.join(QStringLiteral("はなこ"));
    QTRY_COMPARE(m_server->seats().name(0), QStringLiteral("はなこ"));
    TestClient *desktop = joinClient(2, QStringLiteral("たろう"));
    QTRY_VERIFY(browser.lines.contains(QStringLiteral("NMS はなこ:たろう:::::::")));

    // Lines cross between the two kinds of connection; text code page 932
    // lacks never reaches the room, and what follows it still does.
    browser.socket.sendTextMessage(QStringLiteral("MSG Zoé"));
    browser.socket.sendTextMessage(QStringLiteral("MSG ねこ"));
    desktop->send(QStringLiteral("MSG"), QStringLiteral("りんご"));
    QTRY_VERIFY(desktop->has(QStringLiteral("MSG 0:ねこ")));
    QTRY_VERIFY(browser.lines.contains(QStringLiteral("MSG 1:りんご")));
    QVERIFY(desktop->lines.filter(QStringLiteral("Zo")).isEmpty());

    // The rules of the address hold for a browser too.
    TestClient *same = connectFrom(QStringLiteral("127.0.0.1"));
    same->join(QStringLiteral("again"));
    QTRY_VERIFY(same->closed());
    QVERIFY(same->has(QStringLiteral("SYM ") + msg::SameAddressReason));
    QCOMPARE(m_server->seats().playerCount(), 2);
}

void TestWebRoom::offWithoutTheWebPlayer()
{
    m_server = std::make_unique<GameServer>();
    m_server->config().setWebPlayer(false);
    m_server->prepare();
    ServerSettings s = quietSettings();
    s.port = QString::number(freePort());
    QCOMPARE(m_server->startOrApply(s), GameServer::StartResult::Started);
    m_port = m_server->listeningPort();
    // A request is a connection that joins, as it always was.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    QTRY_VERIFY(m_server->seats().busy(0));
    QVERIFY(!socket.readAll().contains("HTTP/1.1"));
}

QTEST_MAIN(TestWebRoom)
#include "tst_webroom.moc"
