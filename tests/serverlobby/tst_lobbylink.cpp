#include "server/core/lobbylink.h"
#include "server/texts/messages.h"
#include "shared/joinlink.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "tests/freeport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using namespace zb;

namespace {
// A lobby on loopback that records what the game server sends it.
struct FakeLobby {
    QTcpServer server;
    LineSocket *peer = nullptr;
    QList<Line> lines;
    explicit FakeLobby(const QHostAddress &on = QHostAddress(QHostAddress::LocalHost))
    {
        server.listen(on);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = new LineSocket(server.nextPendingConnection(), &server);
            QObject::connect(peer, &LineSocket::lineReceived, [this](const QString &c, const QString &p) {
                lines.append(Line{c, p});
            });
        });
    }
    QString address() const { return hostPortText(server.serverAddress().toString(), server.serverPort()); }
    // A line the link sends last: once it is here, anything sent before it has arrived too.
    bool markerArrived() const
    {
        return !lines.isEmpty() && lines.last() == Line{QStringLiteral("CHK"), QStringLiteral("marker")};
    }
};

RoomStatus sampleRoom()
{
    RoomStatus s;
    s.port = QStringLiteral("27064");
    s.roomName = QStringLiteral("お絵かき部屋");
    s.comment = msg::DefaultComment;
    s.dictionaryList = msg::BuiltInDictionary + QLatin1Char(':');
    s.playerNames = {QStringLiteral("alice"),
                     QString(),
                     QStringLiteral("carol"),
                     QString(),
                     QString(),
                     QString(),
                     QString(),
                     QString()};
    s.playerMax = 6;
    return s;
}

// Ticks the link n times as its own clock would while the room runs with
// registration on.
void ticks(LobbyLink &link, int n)
{
    link.setRegistering(true);
    for (int i = 0; i < n; ++i)
        link.tick();
}

RoomStatus withPlayers(int count)
{
    RoomStatus s = sampleRoom();
    for (int i = 0; i < 8; ++i)
        s.playerNames[i] = i < count ? QStringLiteral("p%1").arg(i) : QString();
    return s;
}
} // namespace

class TstLobbyLink : public QObject {
    Q_OBJECT
  private slots:
    void recordKeepsKeyOrder()
    {
        const QString r = LobbyLink::buildRecord(sampleRoom());
        QCOMPARE(r, QStringLiteral("port=27064&password=&roomname=お絵かき部屋&comment=無し&gametype=0&"
                                   "zbq=内蔵辞書:&version=1.16&players=alice::carol::::::&playercount=2&"
                                   "playermax=6&playername=ZBSERVER&"));
        RoomStatus s = sampleRoom();
        s.gameType = 1;
        QCOMPARE(StatusRecord::field(LobbyLink::buildRecord(s), QStringLiteral("gametype=")),
                 QStringLiteral("1"));
    }

    void registersOnConnect()
    {
        FakeLobby lobby;
        LobbyLink link;
        link.setTickMs(50);
        link.setAddress(lobby.address());
        link.setStatus(sampleRoom());
        QSignalSpy system(&link, &LobbyLink::systemText);
        link.connectToLobby();
        QVERIFY(link.connecting());
        QCOMPARE(link.statusText(), msg::LobbyConnectingStatus);
        QTRY_COMPARE(lobby.lines.size(), 2);
        QCOMPARE(lobby.lines[0], (Line{QStringLiteral("NAM"), QStringLiteral("ZBSERVER")}));
        QCOMPARE(lobby.lines[1].command, QStringLiteral("STS"));
        QCOMPARE(urlDecodeText(lobby.lines[1].payload), LobbyLink::buildRecord(sampleRoom()));
        QCOMPARE(link.statusText(), msg::LobbyConnectedStatus);
        QCOMPARE(link.silence(), 0);
        QVERIFY(!link.connecting());
        QCOMPARE(system.at(0).at(0).toString(), msg::LobbyConnecting);
        QCOMPARE(system.at(1).at(0).toString(), msg::LobbyConnected);

        // The 30-second check reports only a changed player count.
        link.setStatus(withPlayers(0));
        link.statusCheck();
        link.setStatus(withPlayers(2));
        link.statusCheck();
        QTRY_COMPARE(lobby.lines.size(), 3);
        link.statusCheck();
        link.sendToLobby(QStringLiteral("CHK"), QStringLiteral("marker"));
        QTRY_VERIFY(lobby.markerArrived());
        QCOMPARE(lobby.lines.size(), 4);
    }

    void registersOverIpv6()
    {
        FakeLobby lobby{QHostAddress(QHostAddress::LocalHostIPv6)};
        if (!lobby.server.isListening()) QSKIP("no IPv6 loopback");
        LobbyLink link;
        link.setAddress(lobby.address());
        QCOMPARE(link.address().left(5), QStringLiteral("[::1]"));
        link.setStatus(sampleRoom());
        link.connectToLobby();
        QTRY_COMPARE(lobby.lines.size(), 2);
        QVERIFY(link.isConnected());
    }

    void silenceWatch()
    {
        FakeLobby lobby;
        LobbyLink link;
        link.setAddress(lobby.address());
        link.setStatus(sampleRoom());
        link.connectToLobby();
        QTRY_COMPARE(lobby.lines.size(), 2);
        ticks(link, 59);
        QCOMPARE(link.silence(), 59);
        ticks(link, 1);
        QTRY_COMPARE(lobby.lines.size(), 3);
        QCOMPARE(lobby.lines[2], (Line{QStringLiteral("CHK"), QStringLiteral("null")}));
        // An answer starts the count again.
        link.noteCheck();
        QCOMPARE(link.silence(), 0);
        ticks(link, 60);
        QTRY_COMPARE(lobby.lines.size(), 4);
        QSignalSpy system(&link, &LobbyLink::systemText);
        ticks(link, 20);
        QCOMPARE(link.silence(), -1);
        QVERIFY(!link.isConnected());
        QCOMPARE(system.at(0).at(0).toString(), msg::LobbySilent);
        QCOMPARE(system.at(1).at(0).toString(), msg::LobbyDisconnected);
        QCOMPARE(link.statusText(), msg::LobbyDisconnected);
        // With no lobby connected, a stray CHK starts no watch.
        link.noteCheck();
        QCOMPARE(link.silence(), -1);
    }

    void lobbyDownCountsDownAndRetries()
    {
        const quint16 port = freePort();

        LobbyLink link;
        link.setTickMs(20);
        link.setAddress(QStringLiteral("127.0.0.1:%1").arg(port));
        QSignalSpy system(&link, &LobbyLink::systemText);
        link.connectToLobby();
        QTRY_VERIFY(!link.connecting());
        // Refused at once: the error and the close as for any error of the
        // link, then the failure, naming the lobby and where to change it.
        QStringList lines;
        for (const QList<QVariant> &args : system)
            lines << args.at(0).toString();
        const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
        QCOMPARE(lines, (QStringList{msg::LobbyConnecting, msg::socketErrorLine(10061),
                                     msg::LobbyDisconnected, msg::LobbyUnreachable, msg::LobbySeemsDown,
                                     msg::lobbyUnreachableAt(address, 10061), msg::LobbyAddressHint}));

        ticks(link, 1);
        QCOMPARE(link.statusText(), msg::lobbyRetryStatus(119));
        // Nothing happens while the server is not running or registration is off.
        link.setRegistering(false);
        link.tick();
        QCOMPARE(link.retryWait(), 119);

        // A double click only shortens a long wait.
        link.shortenWait();
        QCOMPARE(link.retryWait(), 1);
        link.shortenWait();
        QCOMPARE(link.retryWait(), 1);

        // The lobby comes back: the next tick connects.
        FakeLobby lobby;
        link.setAddress(lobby.address());
        link.setStatus(sampleRoom());
        system.clear();
        ticks(link, 1);
        QCOMPARE(link.retryWait(), LobbyLink::RetryWait);
        QCOMPARE(system.at(0).at(0).toString(), msg::LobbyDisconnected);
        QCOMPARE(system.at(1).at(0).toString(), msg::LobbyConnecting);
        QTRY_COMPARE(lobby.lines.size(), 2);
        QVERIFY(link.isConnected());
        // Connected: the countdown stands still.
        ticks(link, 3);
        QCOMPARE(link.retryWait(), LobbyLink::RetryWait);
    }

    void fullCountdownReconnectsAtTheEnd()
    {
        LobbyLink link;
        link.setAddress(QStringLiteral("no-port"));
        QSignalSpy system(&link, &LobbyLink::systemText);
        ticks(link, 119);
        QCOMPARE(link.retryWait(), 1);
        QVERIFY(system.isEmpty());
        ticks(link, 1);
        // A malformed address fails at once, like a lobby that is down.
        QVERIFY(!link.connecting());
        QCOMPARE(system.at(system.size() - 3).at(0).toString(), msg::LobbySeemsDown);
        QCOMPARE(system.last().at(0).toString(), msg::LobbyAddressHint);
        link.shortenWait();
        QCOMPARE(link.retryWait(), 1);
        link.reset();
        QCOMPARE(link.retryWait(), LobbyLink::RetryWait);
    }

    void lobbyClosingTheLink()
    {
        FakeLobby lobby;
        LobbyLink link;
        link.setAddress(lobby.address());
        link.setStatus(sampleRoom());
        QSignalSpy lines(&link, &LobbyLink::notice);
        link.connectToLobby();
        QTRY_COMPARE(lobby.lines.size(), 2);
        lobby.peer->sendLine(QStringLiteral("SYM"), QStringLiteral("ようこそ"));
        lobby.peer->sendLine(QStringLiteral("CHK"), QStringLiteral("null"));
        QTRY_COMPARE(lines.size(), 1);
        QCOMPARE(lines.at(0).at(0).toString(), QStringLiteral("ようこそ"));
        QCOMPARE(link.silence(), 0);
        lobby.peer->socket()->disconnectFromHost();
        QTRY_COMPARE(link.statusText(), msg::LobbyDisconnected);
        QCOMPARE(link.silence(), -1);
        // Sending while closed does nothing.
        link.sendToLobby(QStringLiteral("CHK"), QStringLiteral("null"));
    }
};

QTEST_GUILESS_MAIN(TstLobbyLink)
#include "tst_lobbylink.moc"
