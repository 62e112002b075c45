#include "shared/cp932.h"
#include "shared/lineframer.h"
#include "shared/linesocket.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using namespace zb;

namespace {
QList<Line> feedAll(LineFramer &f, const QList<QByteArray> &chunks, bool *ok = nullptr)
{
    QList<Line> out;
    bool allOk = true;
    for (const QByteArray &c : chunks) {
        QList<QByteArray> raw;
        allOk = f.feed(c, raw) && allOk;
        for (const QByteArray &r : raw)
            out.append(splitLine(fromCp932(r)));
    }
    if (ok) *ok = allOk;
    return out;
}
Line L(const char *c, const QString &p)
{
    return Line{QString::fromLatin1(c), p};
}
} // namespace

class TstFraming : public QObject {
    Q_OBJECT
  private slots:
    void split()
    {
        QCOMPARE(splitLine(QStringLiteral("SND")), L("SND", QString()));
        QCOMPARE(splitLine(QStringLiteral("SND ")), L("SND", QString()));
        QCOMPARE(splitLine(QStringLiteral("MSG hello")), L("MSG", QStringLiteral("hello")));
        QCOMPARE(splitLine(QStringLiteral("MSGxhello")), L("MSG", QStringLiteral("hello")));
        QCOMPARE(splitLine(QString()), L("", QString()));
        QCOMPARE(splitLine(QStringLiteral("PSW ")).payload, QString());
    }

    void framesLines()
    {
        LineFramer f;
        // A line split inside a word is dispatched once, whole.
        QCOMPARE(feedAll(f, {"MSG he", "llo\r\n"}), QList<Line>{L("MSG", QStringLiteral("hello"))});
        // Several lines per chunk keep their order.
        QCOMPARE(feedAll(f, {"RDY OK\r\nMSG hi\r\n"}),
                 (QList<Line>{L("RDY", QStringLiteral("OK")), L("MSG", QStringLiteral("hi"))}));
        // A complete line is handed out at once, even while the next is unfinished.
        QCOMPARE(feedAll(f, {"MSG a\r\nMSG b"}), QList<Line>{L("MSG", QStringLiteral("a"))});
        QCOMPARE(feedAll(f, {"\r\n"}), QList<Line>{L("MSG", QStringLiteral("b"))});
        // CR and LF arriving in different chunks.
        QCOMPARE(feedAll(f, {"SND ok\r", "\nSND"}), QList<Line>{L("SND", QStringLiteral("ok"))});
        QCOMPARE(feedAll(f, {"\r\n"}), QList<Line>{L("SND", QString())});
        // An empty line is an empty command.
        QCOMPARE(feedAll(f, {"\r\n"}), QList<Line>{L("", QString())});
        // A lone LF is part of the line, not a line end.
        QCOMPARE(feedAll(f, {"MSG a\nb\r\n"}), QList<Line>{L("MSG", QStringLiteral("a\nb"))});
        // So is a lone CR, also right before the line end and at a chunk's end.
        QCOMPARE(feedAll(f, {"MSG a\rb\r\r", "\r\n"}), QList<Line>{L("MSG", QStringLiteral("a\rb\r\r"))});
        QCOMPARE(f.pendingBytes(), 0);
    }

    void doubleByteSplitAcrossChunks()
    {
        LineFramer f;
        const QByteArray bytes = LineSocket::encodeLine(QStringLiteral("MSG"), QStringLiteral("ゼンブリル"));
        QList<Line> out;
        for (int i = 0; i < bytes.size(); ++i)
            out += feedAll(f, {bytes.mid(i, 1)});
        QCOMPARE(out, QList<Line>{L("MSG", QStringLiteral("ゼンブリル"))});
    }

    void capOnUnfinishedLine()
    {
        LineFramer f(1000);
        bool ok = true;
        QVERIFY(feedAll(f, {QByteArray(1000, 'x')}, &ok).isEmpty());
        QVERIFY(ok);
        feedAll(f, {"y"}, &ok);
        QVERIFY(!ok);
        QCOMPARE(f.pendingBytes(), 0);
        // A line over the cap is refused even when it arrives whole; the lines
        // before it are still handed out.
        LineFramer whole(1000);
        QCOMPARE(feedAll(whole, {"MSG a\r\n" + QByteArray(1001, 'x') + "\r\nMSG b\r\n"}, &ok),
                 QList<Line>{L("MSG", QStringLiteral("a"))});
        QVERIFY(!ok);
        QCOMPARE(whole.pendingBytes(), 0);
        // A long line that ends in time is fine, however large its chunks.
        LineFramer big;
        const QByteArray stroke = "STK 0:3:" + QByteArray(5000 * 8, '1') + "\r\n";
        QCOMPARE(feedAll(big, {stroke, stroke}, &ok).size(), 2);
        QVERIFY(ok);
    }

    void largeLineInSmallChunks()
    {
        LineFramer f;
        const QByteArray line = "STK " + QByteArray(200000, '5') + "\r\n";
        QList<QByteArray> raw;
        for (int i = 0; i < line.size(); i += 7)
            f.feed(line.mid(i, 7), raw);
        QCOMPARE(raw.size(), 1);
        QCOMPARE(raw.first().size(), line.size() - 2);
    }

    void blockHoldsTheLinesAsReceived()
    {
        LineFramer f;
        QByteArray block;
        QList<QByteArrayView> lines;
        QVERIFY(f.feed("STK a\r\nCLS 8\r\nST", block, lines));
        QCOMPARE(block, QByteArray("STK a\r\nCLS 8\r\n"));
        QCOMPARE(lines, (QList<QByteArrayView>{"STK a", "CLS 8"}));
        QCOMPARE(lines.at(1).data(), block.constData() + 7);
        // The unfinished rest and a CR LF split across reads.
        QVERIFY(f.feed("K b\r", block, lines));
        QVERIFY(block.isEmpty() && lines.isEmpty());
        QVERIFY(f.feed("\nMSG c\r\n", block, lines));
        QCOMPARE(block, QByteArray("STK b\r\nMSG c\r\n"));
        QCOMPARE(lines, (QList<QByteArrayView>{"STK b", "MSG c"}));
        // A handler that drops the connection clears the framer; what it is
        // still reading stays valid.
        QVERIFY(f.feed("MSG d\r\nMSG", block, lines));
        f.clear();
        QCOMPARE(lines, QList<QByteArrayView>{"MSG d"});
    }

    void socketRoundTrip()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        LineSocket client;
        client.socket()->connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        LineSocket peer(server.nextPendingConnection());
        QTRY_VERIFY(client.isConnected());

        QSignalSpy lines(&peer, &LineSocket::lineReceived);
        client.sendLine(QStringLiteral("PSW"), QString());
        client.sendLine(QStringLiteral("NAM"), QStringLiteral("ゼンブリル－～"));
        QTRY_COMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("PSW"));
        QCOMPARE(lines.at(0).at(1).toString(), QString());
        QCOMPARE(lines.at(1).at(1).toString(), QStringLiteral("ゼンブリル－～"));

        QSignalSpy overflow(&peer, &LineSocket::inputOverflow);
        peer.setInputCap(64);
        client.sendRaw(QByteArray(100, 'z'));
        QTRY_COMPARE(overflow.size(), 1);
    }

    void outputCapReportsAStalledReader()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket reader;
        reader.setReadBufferSize(1);
        reader.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        reader.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        LineSocket writer(server.nextPendingConnection());
        writer.setOutputCap(256 * 1024);
        QSignalSpy overflow(&writer, &LineSocket::outputOverflow);
        const QByteArray line = "STK " + QByteArray(64 * 1024, '1') + "\r\n";
        // Whatever the kernel buffers hold, the queue behind them passes the cap.
        for (int i = 0; i < 20000 && overflow.isEmpty(); ++i) {
            writer.sendRaw(line);
            // Until the kernel has taken the line; once its buffers are full, the queue only grows.
            (void)QTest::qWaitFor([&] { return !overflow.isEmpty() || writer.socket()->bytesToWrite() == 0; },
                                  100);
        }
        QCOMPARE(overflow.size(), 1);
    }

    void handlerMayDropTheConnection()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        LineSocket client;
        client.socket()->connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(server.waitForNewConnection(5000));
        QPointer<LineSocket> peer = new LineSocket(server.nextPendingConnection());
        int seen = 0;
        connect(peer, &LineSocket::lineReceived, this, [&](const QString &) {
            ++seen;
            peer->clearBuffer();
            peer->deleteLater();
        });
        QTRY_VERIFY(client.isConnected());
        client.sendRaw("MSG a\r\nMSG b\r\n");
        QTRY_COMPARE(seen, 1);
        QTRY_VERIFY(peer.isNull());
        QCOMPARE(seen, 1);
    }
};

QTEST_GUILESS_MAIN(TstFraming)
#include "tst_framing.moc"
