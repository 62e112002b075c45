#include "server/web/httpanswer.h"
#include "server/web/requesthead.h"

#include <QTest>

using namespace zb;
using Status = ParsedHead::Status;

Q_DECLARE_METATYPE(ParsedHead::Status)

class TestRequestHead : public QObject {
    Q_OBJECT
  private slots:
    void judge_data();
    void judge();
    void readsHead();
    void sizeBound();
    void sameOrigin();
};

namespace {
const QByteArray Get = "GET / HTTP/1.1\r\nHost: room:27064\r\n";
}

void TestRequestHead::judge_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Status>("status");
    QTest::addColumn<qsizetype>("consumed");

    QTest::newRow("whole") << Get + "\r\n" << Status::Complete << Get.size() + 2;
    QTest::newRow("pipelined bytes stay") << Get + "\r\nGET /x" << Status::Complete << Get.size() + 2;
    QTest::newRow("nothing yet") << QByteArray() << Status::Incomplete << qsizetype(0);
    QTest::newRow("half a request line") << QByteArray("GET / HT") << Status::Incomplete << qsizetype(0);
    QTest::newRow("open field") << Get + "Origin: http://ro" << Status::Incomplete << qsizetype(0);
    QTest::newRow("last CR only") << Get + "\r" << Status::Incomplete << qsizetype(0);
    QTest::newRow("HTTP/1.0 without fields")
        << QByteArray("GET /app.js HTTP/1.0\r\n\r\n") << Status::Complete << qsizetype(24);
    QTest::newRow("other method is a request")
        << QByteArray("POST / HTTP/1.1\r\n\r\n") << Status::Complete << qsizetype(19);
    // Broken heads are told as soon as the broken line is there.
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: a\n\n") << Status::Bad << qsizetype(0);
    QTest::newRow("bare LF before any CR LF")
        << QByteArray("GET / HTTP/1.1\n") << Status::Bad << qsizetype(0);
    QTest::newRow("CR inside a line")
        << QByteArray("GET / HTTP/1.1\r\nX: a\rb\r\n\r\n") << Status::Bad << qsizetype(0);
    QTest::newRow("empty first line") << "\r\n" + Get + "\r\n" << Status::Bad << qsizetype(0);
    QTest::newRow("two blanks") << QByteArray("GET /  HTTP/1.1\r\n\r\n") << Status::Bad << qsizetype(0);
    QTest::newRow("absolute target") << QByteArray("GET http://room/ HTTP/1.1\r\n\r\n") << Status::Bad
                                     << qsizetype(0);
    QTest::newRow("HTTP/2") << QByteArray("PRI * HTTP/2.0\r\n\r\n") << Status::Bad << qsizetype(0);
    QTest::newRow("method not a token")
        << QByteArray("G(T / HTTP/1.1\r\n\r\n") << Status::Bad << qsizetype(0);
    QTest::newRow("NUL in the target")
        << QByteArray("GET /\0 HTTP/1.1\r\n\r\n", 20) << Status::Bad << qsizetype(0);
    QTest::newRow("folded field") << Get + "X: a\r\n b\r\n\r\n" << Status::Bad << qsizetype(0);
    QTest::newRow("blank before colon")
        << QByteArray("GET / HTTP/1.1\r\nHost : a\r\n\r\n") << Status::Bad << qsizetype(0);
    QTest::newRow("control character in a value") << Get + "X: a\x01z\r\n\r\n" << Status::Bad << qsizetype(0);
    QTest::newRow("second Host") << Get + "Host: elsewhere:80\r\n\r\n" << Status::Bad << qsizetype(0);
    QTest::newRow("second Origin, other case")
        << Get + "Origin: http://room:27064\r\norigin: http://evil\r\n\r\n"
        << Status::Bad << qsizetype(0);
    QTest::newRow("repeated other field") << Get + "Accept: a\r\nAccept: b\r\n\r\n"
                                          << Status::Complete << Get.size() + 24;
}

void TestRequestHead::judge()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Status, status);
    QFETCH(qsizetype, consumed);
    const ParsedHead parsed = parseRequestHead(bytes);
    QCOMPARE(parsed.status, status);
    QCOMPARE(parsed.consumed, consumed);
    QVERIFY(!parsed.tooLarge);
    // The same bytes fed in two parts reach the same verdict once all are there.
    if (status == Status::Complete)
        QCOMPARE(parseRequestHead(bytes.left(bytes.size() / 2)).status, Status::Incomplete);
}

void TestRequestHead::readsHead()
{
    const ParsedHead parsed = parseRequestHead(
        "GET /app.js?v=2 HTTP/1.1\r\nHOST:  room:27064 \r\nX-Empty:\r\nUpgrade:\twebsocket\r\n\r\n");
    QCOMPARE(parsed.status, Status::Complete);
    RequestHead expected;
    expected.method = "GET";
    expected.target = "/app.js?v=2";
    expected.version = "HTTP/1.1";
    expected.fields = {{"host", "room:27064"}, {"x-empty", ""}, {"upgrade", "websocket"}};
    QCOMPARE(parsed.head, expected);
    QCOMPARE(parsed.head.path(), QByteArray("/app.js"));
    QCOMPARE(parsed.head.field("host"), QByteArray("room:27064"));
    QVERIFY(parsed.head.hasField("x-empty"));
    QVERIFY(!parsed.head.hasField("origin"));
}

void TestRequestHead::sizeBound()
{
    // A head that ends exactly at the bound passes; one byte more never can.
    const QByteArray start = "GET / HTTP/1.1\r\nX: ";
    const QByteArray fits = start + QByteArray(MaxHeadBytes - start.size() - 4, 'a') + "\r\n\r\n";
    QCOMPARE(fits.size(), MaxHeadBytes);
    QCOMPARE(parseRequestHead(fits).status, Status::Complete);
    const QByteArray over = start + QByteArray(MaxHeadBytes - start.size() - 3, 'a') + "\r\n\r\n";
    ParsedHead parsed = parseRequestHead(over);
    QCOMPARE(parsed.status, Status::Bad);
    QVERIFY(parsed.tooLarge);
    // Told as soon as the bound is reached, whatever follows.
    QCOMPARE(parseRequestHead(over.left(MaxHeadBytes - 1)).status, Status::Incomplete);
    parsed = parseRequestHead(over.left(MaxHeadBytes));
    QCOMPARE(parsed.status, Status::Bad);
    QVERIFY(parsed.tooLarge);

    QByteArray many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i <= MaxHeadFields; ++i)
        many += "X" + QByteArray::number(i) + ": 1\r\n";
    parsed = parseRequestHead(many + "\r\n");
    QCOMPARE(parsed.status, Status::Bad);
    QVERIFY(parsed.tooLarge);
}

void TestRequestHead::sameOrigin()
{
    const auto judged = [](const QByteArray &host, const QByteArray &origin) {
        const ParsedHead p =
            parseRequestHead("GET /ws HTTP/1.1\r\nHost: " + host + "\r\nOrigin: " + origin + "\r\n\r\n");
        return p.status == Status::Complete && isSameOrigin(p.head);
    };
    QVERIFY(judged("room:27064", "http://room:27064"));
    QVERIFY(judged("Room:80", "http://room"));
    // A router's outside port: the page and the request agree on it.
    QVERIFY(judged("203.0.113.5:8080", "http://203.0.113.5:8080"));
    QVERIFY(!judged("room:27064", "http://room:8080"));
    QVERIFY(!judged("room:27064", "http://evil.example:27064"));
    QVERIFY(!judged("room:27064", "null"));
    QVERIFY(!judged("room:27064", "ws://room:27064"));
}

QTEST_APPLESS_MAIN(TestRequestHead)
#include "tst_requesthead.moc"
