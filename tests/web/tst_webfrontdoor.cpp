// The room's web front door against real sockets on loopback: a standalone
// door behind its own listener, as the room will put it.
#include "server/web/connectionsorter.h"
#include "server/web/webfrontdoor.h"
#include "server/web/websocketlines.h"
#include "shared/cp932.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <memory>

using namespace zb;

namespace {
// An answer as a client reads it: status, fields (names lower-cased), body.
struct Answer {
    int status = 0;
    QHash<QByteArray, QByteArray> fields;
    QByteArray body;
    bool closed = false;
};

Answer readAnswer(const QByteArray &raw)
{
    Answer a;
    const qsizetype end = raw.indexOf("\r\n\r\n");
    if (end < 0) return a;
    const QList<QByteArray> lines = raw.first(end).split('\n');
    a.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        a.fields.insert(line.first(colon).toLower(), line.sliced(colon + 1).trimmed());
    }
    a.body = raw.sliced(end + 4);
    return a;
}
} // namespace

class TestWebFrontDoor : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void servesThePlayer();
    void refusesWhatItDoesNotServe();
    void boundsTheHead();
    void capsRequestsPerAddress();
    void sortsConnections();
    void silentConnectionsKeepNobodyOut();
    void upgradesOnlyItsOwnPages();
    void carriesLinesBothWays();
    void closesOnBinaryAndOversize();

  private:
    // Sends bytes on a new connection and collects what comes back until the door closes it.
    Answer request(const QByteArray &bytes, const QHostAddress &from = QHostAddress::LocalHost);
    QByteArray upgradeHead(const QByteArray &origin, const QByteArray &extra = {}) const;
    std::unique_ptr<QWebSocket> openWebSocket(const QString &origin);
    quint16 port() const { return m_listener->serverPort(); }

    std::unique_ptr<QTcpServer> m_listener;
    std::unique_ptr<ConnectionSorter> m_sorter;
    std::unique_ptr<WebFrontDoor> m_door;
    QList<QPointer<QTcpSocket>> m_game;
    QList<WebSocketLines *> m_seats;
    bool m_bypassSorter = false;
};

void TestWebFrontDoor::init()
{
    m_listener = std::make_unique<QTcpServer>();
    QVERIFY(m_listener->listen(QHostAddress::LocalHost));
    m_sorter = std::make_unique<ConnectionSorter>();
    m_door = std::make_unique<WebFrontDoor>(m_listener->serverPort());
    connect(m_listener.get(), &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_listener->nextPendingConnection()) {
            if (m_bypassSorter)
                m_door->handleConnection(s);
            else
                m_sorter->sort(s);
        }
    });
    connect(m_sorter.get(), &ConnectionSorter::httpRequest, m_door.get(), &WebFrontDoor::handleConnection);
    connect(m_sorter.get(), &ConnectionSorter::gameConnection, this,
            [this](QTcpSocket *s) { m_game.append(s); });
    connect(m_door.get(), &WebFrontDoor::socketUpgraded, this,
            [this](QWebSocket *s) { m_seats.append(new WebSocketLines(s, m_door.get())); });
}

void TestWebFrontDoor::cleanup()
{
    m_seats.clear();
    m_game.clear();
    m_bypassSorter = false;
    m_door.reset();
    m_sorter.reset();
    m_listener.reset();
}

Answer TestWebFrontDoor::request(const QByteArray &bytes, const QHostAddress &from)
{
    QTcpSocket client;
    QByteArray raw;
    connect(&client, &QTcpSocket::readyRead, this, [&] { raw += client.readAll(); });
    client.bind(from);
    client.connectToHost(QHostAddress::LocalHost, port());
    client.write(bytes);
    Answer a;
    // The door closes every connection it answers.
    a.closed = QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 20000);
    raw += client.readAll();
    const bool closed = a.closed;
    a = readAnswer(raw);
    a.closed = closed;
    return a;
}

QByteArray TestWebFrontDoor::upgradeHead(const QByteArray &origin, const QByteArray &extra) const
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(port());
    return "GET /ws HTTP/1.1\r\nHost: " + host +
           "\r\nUpgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n" +
           (origin.isEmpty() ? QByteArray() : "Origin: " + origin + "\r\n") +
           "Sec-WebSocket-Version: 13\r\n" + extra + "\r\n";
}

std::unique_ptr<QWebSocket> TestWebFrontDoor::openWebSocket(const QString &origin)
{
    auto ws = std::make_unique<QWebSocket>(origin);
    ws->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port())));
    const bool settled = QTest::qWaitFor(
        [&] {
            return ws->state() == QAbstractSocket::ConnectedState ||
                   ws->state() == QAbstractSocket::UnconnectedState;
        },
        20000);
    if (!settled) qWarning("the WebSocket neither opened nor closed");
    return ws;
}

void TestWebFrontDoor::servesThePlayer()
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(port());
    const struct {
        QByteArray target;
        QString file;
        QByteArray type;
    } files[] = {
        {"/", ":/web/index.html", "text/html; charset=utf-8"},
        {"/app.js?v=1", ":/web/app.js", "text/javascript; charset=utf-8"},
        {"/app.css", ":/web/app.css", "text/css; charset=utf-8"},
        {"/icon.svg", ":/web/icon.svg", "image/svg+xml"},
    };
    for (const auto &f : files) {
        QFile resource(f.file);
        QVERIFY(resource.open(QIODevice::ReadOnly));
        const QByteArray expected = resource.readAll();
        QVERIFY(expected.size() > 100);
        const Answer a = request("GET " + f.target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        QVERIFY2(a.closed, f.target.constData());
        QCOMPARE(a.status, 200);
        QCOMPARE(a.fields.value("content-type"), f.type);
        QCOMPARE(a.fields.value("content-length").toLongLong(), expected.size());
        QCOMPARE(a.body, expected);
        const QByteArray policy = a.fields.value("content-security-policy");
        QVERIFY(policy.startsWith("default-src 'self';"));
        QVERIFY(policy.contains("connect-src 'self' ws://" + host + " wss://" + host + ";"));
        QCOMPARE(a.fields.value("x-content-type-options"), QByteArray("nosniff"));
        QVERIFY(!a.fields.contains("set-cookie"));
    }
    QTRY_COMPARE(m_door->openRequests(), 0);
}

void TestWebFrontDoor::refusesWhatItDoesNotServe()
{
    const struct {
        QByteArray bytes;
        int status;
    } cases[] = {
        {"GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /../app.js HTTP/1.1\r\n\r\n", 404},
        {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
        {"GET http://elsewhere/ HTTP/1.1\r\n\r\n", 400},
    };
    for (const auto &c : cases) {
        const Answer a = request(c.bytes);
        QVERIFY2(a.closed, c.bytes.constData());
        QCOMPARE(a.status, c.status);
        // Refusals carry the same fields as pages.
        QVERIFY(a.fields.value("content-security-policy").startsWith("default-src 'self'"));
        QCOMPARE(a.fields.value("x-content-type-options"), QByteArray("nosniff"));
        QVERIFY(!a.fields.contains("set-cookie"));
    }
    // Only "GET " reaches the door: anything else is the game protocol. A
    // request of another method handed to the door all the same is refused.
    QTcpSocket post;
    post.connectToHost(QHostAddress::LocalHost, port());
    post.write("POST / HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(m_game.size(), 1);
    m_bypassSorter = true;
    const Answer a = request("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");
    QVERIFY(a.closed);
    QCOMPARE(a.status, 405);
    QCOMPARE(a.fields.value("allow"), QByteArray("GET"));
    QVERIFY(a.fields.value("content-security-policy").startsWith("default-src 'self'"));
}

void TestWebFrontDoor::boundsTheHead()
{
    m_door->setHeadTimeoutMs(300);
    // A head that never ends is cut by the clock, one that grows too long by its size.
    Answer a = request("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    QVERIFY(a.closed);
    QCOMPARE(a.status, 408);
    a = request("GET / HTTP/1.1\r\nX-Huge: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n");
    QVERIFY(a.closed);
    QCOMPARE(a.status, 431);
    QTRY_COMPARE(m_door->openRequests(), 0);
}

void TestWebFrontDoor::capsRequestsPerAddress()
{
    // Slow requests from one address: the ones beyond the cap are closed unanswered.
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < WebFrontDoor::MaxRequestsPerAddress + 2; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, port());
        s->write("GET / HTTP/1.1\r\n");
        slow.push_back(std::move(s));
        QTRY_COMPARE(m_sorter->pending() + m_door->openRequests(),
                     qMin(i + 1, int(WebFrontDoor::MaxRequestsPerAddress)));
    }
    QTRY_COMPARE(m_door->openRequests(), WebFrontDoor::MaxRequestsPerAddress);
    QTRY_COMPARE(std::count_if(slow.begin(), slow.end(),
                               [](const auto &s) { return s->state() == QAbstractSocket::UnconnectedState; }),
                 2);
    // Another address is still served.
    const Answer a = request("GET / HTTP/1.1\r\n\r\n", QHostAddress(QStringLiteral("127.0.0.2")));
    QCOMPARE(a.status, 200);
    slow.clear();
    QTRY_COMPARE(m_door->openRequests(), 0);
}

void TestWebFrontDoor::sortsConnections()
{
    QCOMPARE(classifyFirstBytes("GE"), ConnectionKind::Undecided);
    QCOMPARE(classifyFirstBytes("GET "), ConnectionKind::WebRequest);
    QCOMPARE(classifyFirstBytes("GET/"), ConnectionKind::GameProtocol);
    QCOMPARE(classifyFirstBytes("PSW "), ConnectionKind::GameProtocol);

    m_sorter->setWaitMs(300);
    QTcpSocket player;
    player.connectToHost(QHostAddress::LocalHost, port());
    player.write("PSW \r\nVER 1.16\r\n");
    QTRY_COMPARE(m_game.size(), 1);
    // The game path reads the connection from its first byte.
    QByteArray got;
    QTRY_COMPARE(got += m_game.at(0)->readAll(), QByteArray("PSW \r\nVER 1.16\r\n"));
    // A slow "GE" … "T " is still a browser; a silent connection goes to the game path.
    QTcpSocket browser, silent;
    browser.connectToHost(QHostAddress::LocalHost, port());
    silent.connectToHost(QHostAddress::LocalHost, port());
    browser.write("GE");
    QTest::qWait(50);
    browser.write("T / HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(m_game.size(), 2);
    QTRY_VERIFY(browser.bytesAvailable() > 0 || browser.state() == QAbstractSocket::UnconnectedState);
    QVERIFY(browser.readAll().startsWith("HTTP/1.1 200 OK"));
    QTRY_COMPARE(m_sorter->pending(), 0);
}

void TestWebFrontDoor::silentConnectionsKeepNobodyOut()
{
    // Silent connections, more than the sorter holds: the oldest make way,
    // first those of an address that is over its share.
    m_sorter->setWaitMs(600000);
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    const auto open = [&](const QString &from) {
        auto s = std::make_unique<QTcpSocket>();
        s->bind(QHostAddress(from));
        s->connectToHost(QHostAddress::LocalHost, port());
        silent.push_back(std::move(s));
        // One at a time, so that which is the oldest is clear.
        QTRY_VERIFY(silent.back()->state() == QAbstractSocket::ConnectedState);
    };
    for (int i = 0; i <= ConnectionSorter::MaxPendingPerAddress; ++i)
        open(QStringLiteral("127.0.0.9"));
    QTRY_COMPARE(silent.front()->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(m_sorter->pending(), ConnectionSorter::MaxPendingPerAddress);
    QCOMPARE(silent.back()->state(), QAbstractSocket::ConnectedState);

    for (int i = 0; i < ConnectionSorter::MaxPending; ++i)
        open(QStringLiteral("127.0.1.%1").arg(i / ConnectionSorter::MaxPendingPerAddress));
    QTRY_COMPARE(m_sorter->pending(), ConnectionSorter::MaxPending);
    // Every one of the first address made way, none of the others.
    QTRY_VERIFY(std::all_of(silent.begin(), silent.begin() + ConnectionSorter::MaxPendingPerAddress + 1,
                            [](const auto &s) { return s->state() == QAbstractSocket::UnconnectedState; }));
    QVERIFY(std::all_of(silent.begin() + ConnectionSorter::MaxPendingPerAddress + 1, silent.end(),
                        [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; }));

    QTcpSocket player;
    player.bind(QHostAddress(QStringLiteral("127.0.0.2")));
    player.connectToHost(QHostAddress::LocalHost, port());
    player.write("PSW \r\n");
    QTRY_COMPARE(m_game.size(), 1);

    // A browser's spare connection never reaches a seat: closed when it has waited.
    silent.clear();
    m_sorter->setBrowserWaitMs(300);
    QCOMPARE(request("GET / HTTP/1.1\r\n\r\n", QHostAddress(QStringLiteral("127.0.0.3"))).status, 200);
    open(QStringLiteral("127.0.0.3"));
    QTRY_COMPARE(silent.back()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(m_game.size(), 1);
}

void TestWebFrontDoor::upgradesOnlyItsOwnPages()
{
    const QByteArray own = "http://127.0.0.1:" + QByteArray::number(port());
    const QByteArray key = "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    const struct {
        QByteArray bytes;
        int status;
    } refused[] = {
        {upgradeHead(own), 400},                                    // no key
        {upgradeHead(own, "Sec-WebSocket-Key: c2hvcnQ=\r\n"), 400}, // not 16 bytes
        {upgradeHead(own, key + "Content-Length: 3\r\n"), 400},
        {upgradeHead({}, key), 403},
        {upgradeHead("http://evil.example:" + QByteArray::number(port()), key), 403},
        {upgradeHead("http://127.0.0.1:1", key), 403},
        {upgradeHead("null", key), 403},
    };
    for (const auto &c : refused) {
        const Answer a = request(c.bytes);
        QVERIFY(a.closed);
        QCOMPARE(a.status, c.status);
        QCOMPARE(a.fields.value("x-content-type-options"), QByteArray("nosniff"));
    }
    // The Host must be the page's own.
    QByteArray otherHost = upgradeHead(own, key);
    otherHost.replace("Host: 127.0.0.1:" + QByteArray::number(port()), "Host: 127.0.0.1:1");
    QCOMPARE(request(otherHost).status, 403);

    const auto foreign = openWebSocket(QStringLiteral("http://evil.example"));
    QCOMPARE(foreign->state(), QAbstractSocket::UnconnectedState);
    const auto ws = openWebSocket(QString::fromLatin1(own));
    QCOMPARE(ws->state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE(m_seats.size(), 1);
    QCOMPARE(m_seats.at(0)->peerAddress(), QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(m_door->openRequests(), 0);
}

void TestWebFrontDoor::carriesLinesBothWays()
{
    const auto ws = openWebSocket(QStringLiteral("http://127.0.0.1:%1").arg(port()));
    QTRY_COMPARE(m_seats.size(), 1);
    WebSocketLines *seat = m_seats.at(0);
    QList<QByteArray> lines;
    QList<WebSocketLines::Refusal> refusals;
    connect(seat, &WebSocketLines::linesReceived, this,
            [&](const QByteArray &block, const QList<QByteArrayView> &views) {
                QCOMPARE(views.size(), 1);
                QVERIFY(block.endsWith("\r\n"));
                lines.append(views.at(0).toByteArray());
            });
    connect(seat, &WebSocketLines::lineRefused, this, [&](WebSocketLines::Refusal r) { refusals.append(r); });

    // In: UTF-8 becomes code page 932 (the full-width tilde is the table's own
    // 0x8160); text the code page lacks and line breaks are refused, the
    // connection stays.
    ws->sendTextMessage(QStringLiteral("MSG りんご～"));
    ws->sendTextMessage(QStringLiteral("MSG caf\u00e9"));
    ws->sendTextMessage(QStringLiteral("MSG \U0001F600"));
    ws->sendTextMessage(QStringLiteral("MSG hi\r\nQOK 3"));
    ws->sendTextMessage(QStringLiteral("MSG a\nb"));
    ws->sendTextMessage(QStringLiteral("STK 0:3:1,2;1,2;"));
    QTRY_COMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), toCp932(QStringLiteral("MSG りんご～")));
    QVERIFY(lines.at(0).endsWith("\x81\x60"));
    QCOMPARE(lines.at(1), QByteArray("STK 0:3:1,2;1,2;"));
    QCOMPARE(refusals, (QList<WebSocketLines::Refusal>{
                           WebSocketLines::Refusal::NotCp932, WebSocketLines::Refusal::NotCp932,
                           WebSocketLines::Refusal::LineBreak, WebSocketLines::Refusal::LineBreak}));
    QVERIFY(seat->isOpen());

    // Out: each CR LF line of a block is one text message, decoded.
    QStringList received;
    connect(ws.get(), &QWebSocket::textMessageReceived, this, [&](const QString &m) { received.append(m); });
    seat->sendBlock(toCp932(QStringLiteral("SYM ようこそ\r\nNMS a::::::::\r\n")));
    seat->sendLine(QStringLiteral("QST"), QStringLiteral("0:ねこ"));
    QTRY_COMPARE(received.size(), 3);
    QCOMPARE(received, (QStringList{QStringLiteral("SYM ようこそ"), QStringLiteral("NMS a::::::::"),
                                    QStringLiteral("QST 0:ねこ")}));

    QSignalSpy closed(seat, &WebSocketLines::closed);
    ws->close();
    QVERIFY(closed.wait(20000));
    QVERIFY(!seat->isOpen());
}

void TestWebFrontDoor::closesOnBinaryAndOversize()
{
    for (const bool binary : {true, false}) {
        const auto ws = openWebSocket(QStringLiteral("http://127.0.0.1:%1").arg(port()));
        QTRY_COMPARE(m_seats.size(), 1);
        WebSocketLines *seat = m_seats.takeFirst();
        QList<WebSocketLines::Fault> faults;
        int lines = 0;
        connect(seat, &WebSocketLines::faulted, this, [&](WebSocketLines::Fault f) { faults.append(f); });
        connect(seat, &WebSocketLines::linesReceived, this, [&] { ++lines; });
        QSignalSpy closed(seat, &WebSocketLines::closed);
        if (binary)
            ws->sendBinaryMessage("RDY OK");
        else
            ws->sendTextMessage(QString(WebSocketLines::MaxMessageBytes + 1, QLatin1Char('a')));
        QVERIFY(closed.wait(20000));
        QCOMPARE(faults, QList<WebSocketLines::Fault>{binary ? WebSocketLines::Fault::BinaryMessage
                                                             : WebSocketLines::Fault::TooLong});
        QCOMPARE(lines, 0);
        QTRY_COMPARE(ws->state(), QAbstractSocket::UnconnectedState);
        delete seat;
    }
    // Nothing of the two connections stays with the door.
    QTRY_VERIFY(m_door->findChildren<QTcpSocket *>().isEmpty());
    QVERIFY(m_door->findChildren<QWebSocket *>().isEmpty());
}

QTEST_GUILESS_MAIN(TestWebFrontDoor)
#include "tst_webfrontdoor.moc"
