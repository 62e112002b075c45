#include "server/core/fdtransport.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace zb;

void runRelayBenchmark(); // fdtransportbench.cpp

namespace {

constexpr int Slow = 30000;

// A loopback connection: the test's plain non-blocking descriptor and the
// transport on the server's end. Tiny buffers make the kernel take output in
// small, odd pieces.
struct Conn {
    int client = -1;
    QPointer<FdTransport> server;
    ~Conn()
    {
        if (client >= 0) ::close(client);
        delete server.data();
    }
};

void connectPair(int listener, Conn &c, bool tiny = false)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    c.client = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 1;
    if (tiny) ::setsockopt(c.client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    QVERIFY(::connect(c.client, reinterpret_cast<sockaddr *>(&address), length) == 0);
    const int fd = ::accept(listener, nullptr, nullptr);
    QVERIFY(fd >= 0);
    if (tiny) ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    c.server = new FdTransport(fd);
}

// What the peer has received so far, read at most `step` bytes a call; false at its end.
bool drain(int fd, QByteArray &into, size_t step = 1 << 16)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, step, MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN;
        if (n == 0) return false;
        into.append(buffer, n);
    }
}

void sendAll(int fd, const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + at, size_t(bytes.size() - at), MSG_DONTWAIT);
        if (n > 0) at += n;
        QCoreApplication::processEvents();
    }
}

QList<QByteArray> takeAll(FdTransport *t)
{
    QByteArray block;
    QList<QByteArrayView> views;
    QList<QByteArray> out;
    t->takeLines(block, views);
    for (const QByteArrayView v : std::as_const(views))
        out << v.toByteArray();
    return out;
}

// Lines of `size` bytes or more, numbered from `first`, in blocks of about 16 KiB.
QByteArray lineBlock(int first, int count, int size)
{
    QByteArray block;
    for (int i = first; i < first + count; ++i)
        block +=
            "STK " + QByteArray::number(i) + ':' + QByteArray(size + i % 97, char('a' + i % 26)) + "\r\n";
    return block;
}

} // namespace

class TestFdTransport : public QObject {
    Q_OBJECT
    int m_listener = -1;

  private slots:
    void initTestCase()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(m_listener, 16) == 0);
    }
    void cleanupTestCase() { ::close(m_listener); }

    // A reader that takes one byte at a time gets every line whole and in
    // order: runs of shared blocks, blocks of raw data changed after send(),
    // and a graceful close that waits for all of it.
    void slowReaderGetsEverything()
    {
        Conn c;
        connectPair(m_listener, c, true);
        QByteArray expected;
        for (int b = 0; b < 30; ++b) {
            const QByteArray block = lineBlock(b * 100, 20 + b % 3, 40 + b * 37 % 1500);
            for (qsizetype from = 0, run = 0; from < block.size(); ++run) {
                qsizetype to = from;
                for (qsizetype k = 0; k <= run % 5 && to < block.size(); ++k)
                    to = block.indexOf("\r\n", to) + 2;
                c.server->send(block, from, to - from);
                expected += block.mid(from, to - from);
                from = to;
            }
            const QByteArray lines = lineBlock(b, 2, 2000 * (b % 3));
            std::vector<char> raw(lines.cbegin(), lines.cend());
            c.server->send(QByteArray::fromRawData(raw.data(), qsizetype(raw.size())));
            std::fill(raw.begin(), raw.end(), '!');
            expected += lines;
        }
        QVERIFY(c.server->bytesQueued() > 100000);
        c.server->close(true);
        QByteArray got;
        QDeadlineTimer deadline(Slow * 2);
        while (drain(c.client, got, 1) && !deadline.hasExpired())
            QTest::qWait(1);
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);
        // The peer closes in turn, which ends the transport's wait.
        ::close(c.client);
        c.client = -1;
        QTRY_VERIFY(c.server.isNull());
    }

    // A reader that leaves more than the cap unread is reported once the
    // broadcast is over, while the readers sharing its blocks get everything.
    void overCapReaderIsCutAlone()
    {
        Conn a, b, stalled;
        connectPair(m_listener, a);
        connectPair(m_listener, b);
        connectPair(m_listener, stalled, true);
        QSignalSpy overA(a.server, &Transport::outputOverflow), overB(b.server, &Transport::outputOverflow),
            overStalled(stalled.server, &Transport::outputOverflow);
        const qint64 cap = 64 * 1024;
        for (FdTransport *t : {a.server.data(), b.server.data(), stalled.server.data()})
            t->setOutputCap(cap);
        QByteArray expected, gotA, gotB;
        for (int i = 0; i < 64; ++i) {
            const QByteArray block = lineBlock(i * 10, 10, 800);
            const qsizetype reported = overStalled.count();
            for (FdTransport *t : {a.server.data(), b.server.data(), stalled.server.data()})
                t->send(block);
            QCOMPARE(overStalled.count(), reported);
            expected += block;
            drain(a.client, gotA);
            drain(b.client, gotB);
            QCoreApplication::processEvents();
        }
        QVERIFY(stalled.server->bytesQueued() > cap);
        QTRY_COMPARE(overStalled.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT((drain(a.client, gotA), drain(b.client, gotB), gotA.size() + gotB.size()),
                                  2 * expected.size(), Slow);
        QVERIFY(gotA == expected && gotB == expected);
        QCOMPARE(overA.count() + overB.count(), 0);
        stalled.server->close(false);
        QTRY_VERIFY(stalled.server.isNull());
    }

    // The bytes Qt has already read from an accepted socket come first, and
    // the connection outlives the socket; lines that came before the peer
    // left are handed out before closed(0).
    void adoptKeepsWhatQtRead()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket peer, leaver;
        peer.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QTRY_VERIFY(server.hasPendingConnections());
        QPointer<QTcpSocket> accepted = server.nextPendingConnection();
        peer.write("ABC\r\nDE");
        QTRY_COMPARE(accepted->bytesAvailable(), 7);
        FdTransport *t = FdTransport::adopt(accepted, this);
        QCOMPARE(t->peerAddress(), QHostAddress(QHostAddress::LocalHost));
        QSignalSpy closed(t, &Transport::closed);
        QTRY_VERIFY(accepted.isNull());
        peer.write("F\r\nGHI\r\n");
        QList<QByteArray> lines;
        QTRY_COMPARE((lines += takeAll(t), lines), (QList<QByteArray>{"ABC", "DEF", "GHI"}));
        t->send("OK\r\n");
        QByteArray reply;
        QTRY_COMPARE((reply += peer.readAll(), reply), QByteArray("OK\r\n"));
        QCOMPARE(closed.count(), 0);
        t->close(false);

        leaver.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QTRY_VERIFY(server.hasPendingConnections());
        accepted = server.nextPendingConnection();
        leaver.write("BYE\r\n");
        leaver.disconnectFromHost();
        QTRY_COMPARE(accepted->state(), QAbstractSocket::UnconnectedState);
        t = FdTransport::adopt(accepted, this);
        QStringList events;
        connect(t, &Transport::readyRead, this, [&] { events << takeAll(t).join(); });
        connect(t, &Transport::closed, this,
                [&](int number) { events << "closed " + QString::number(number); });
        QTRY_COMPARE(events, (QStringList{"BYE", "closed 0"}));
        t->close(false);
    }

    // Lines cut across reads at every byte (CR LF included) come out whole;
    // a line past the cap is reported with the lines before it kept; a reset
    // is reported with its classic number.
    void framingAcrossReads()
    {
        Conn c;
        connectPair(m_listener, c);
        QSignalSpy arrived(c.server, &Transport::dataArrived), overflow(c.server, &Transport::inputOverflow),
            closed(c.server, &Transport::closed);
        const QByteArray message = "AB\r\n\r\nC\x82\xa0 D\r\n";
        for (int cut = 1; cut < message.size(); ++cut) {
            const int before = int(arrived.count());
            sendAll(c.client, message.left(cut));
            QTRY_VERIFY(arrived.count() > before);
            sendAll(c.client, message.mid(cut));
            QList<QByteArray> lines;
            QTRY_COMPARE((lines += takeAll(c.server), lines), (QList<QByteArray>{"AB", "", "C\x82\xa0 D"}));
        }
        sendAll(c.client, "G\r\nH\r\n" + QByteArray(LineFramer::DefaultCap + 10, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(overflow.count(), 1, Slow);
        QCOMPARE(takeAll(c.server), (QList<QByteArray>{"G", "H"}));
        const linger reset{1, 0};
        ::setsockopt(c.client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(c.client);
        c.client = -1;
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(closed.first().first().toInt(), 10054);
    }

    // Lines of up to 60 KiB sent in odd pieces, many at a time, come out
    // whole and in order: each read lands behind the unfinished line before it.
    void longLinesInOddPiecesArriveWhole()
    {
        Conn c;
        connectPair(m_listener, c);
        QList<QByteArray> got;
        connect(c.server, &Transport::readyRead, this, [&] { got += takeAll(c.server); });
        QByteArray stream;
        QList<QByteArray> expected;
        for (int i = 0; i < 120; ++i) {
            const QByteArray line = "STK " + QByteArray::number(i) + ':' +
                                    QByteArray((i * 7919) % (60 * 1024), char('a' + i % 26));
            expected << line;
            stream += line + "\r\n";
        }
        for (qsizetype at = 0, piece = 1; at < stream.size(); piece = piece * 3 % 100003) {
            sendAll(c.client, stream.mid(at, piece));
            at += piece;
        }
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), expected.size(), Slow);
        QVERIFY(got == expected);
    }

    // ZB_RELAY_BENCH=1: FdTransport against a bare relay.
    void relayBenchmark()
    {
        if (qEnvironmentVariableIsEmpty("ZB_RELAY_BENCH")) QSKIP("set ZB_RELAY_BENCH=1 to measure");
        runRelayBenchmark();
    }
};

QTEST_GUILESS_MAIN(TestFdTransport)
#include "tst_fdtransport.moc"
