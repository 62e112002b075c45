#include "client/core/messages.h"
#include "client/lobby/lobbysession.h"
#include "lobbyserver/lobbyserver.h"
#include "shared/linesocket.h"
#include "shared/statusrecord.h"
#include "tests/freeport.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

namespace {
QString gameStatus(const QString &count, const QString &password = QStringLiteral("secret"))
{
    return StatusRecord()
        .add(QStringLiteral("port="), QStringLiteral("27064"))
        .add(QStringLiteral("password="), password)
        .add(QStringLiteral("roomname="), QStringLiteral("テスト部屋"))
        .add(QStringLiteral("comment="), QStringLiteral("無し"))
        .add(QStringLiteral("gametype="), QStringLiteral("0"))
        .add(QStringLiteral("zbq="), QStringLiteral("内蔵辞書:"))
        .add(QStringLiteral("version="), QStringLiteral("1.16"))
        .add(QStringLiteral("players="), QStringLiteral("主:::::::"))
        .add(QStringLiteral("playercount="), count)
        .add(QStringLiteral("playermax="), QStringLiteral("8"))
        .add(QStringLiteral("playername="), QStringLiteral("ZBSERVER"))
        .encoded();
}

// A raw connection from its own loopback address, as a game server makes one.
struct Peer {
    explicit Peer(const char *from)
    {
        socket.socket()->bind(QHostAddress(QString::fromLatin1(from)));
        QObject::connect(&socket, &LineSocket::lineReceived, [this](const QString &c, const QString &p) {
            lines.append(c + QLatin1Char(' ') + p);
        });
    }
    LineSocket socket;
    QStringList lines;
};

bool logHas(const LobbySession &s, const QString &text)
{
    return s.log().text().contains(text);
}
} // namespace

class TstZbLobby : public QObject {
    Q_OBJECT
  private:
    QProcess m_lobby;
    quint16 m_port = 0;
    QTemporaryDir m_dir;

    bool startLobby()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = freePort();
            // Rooms here are not checked for reachability: the room's lines are compared whole.
            m_lobby.start(QStringLiteral(ZB_BIN_DIR "/zblobby"),
                          {QStringLiteral("--port"), QString::number(m_port),
                           QStringLiteral("--max-reach-checks"), QStringLiteral("0")});
            if (!m_lobby.waitForStarted(5000)) return false;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 5000 && m_lobby.state() == QProcess::Running &&
                   !m_lobby.peek(4096).contains(QByteArray::number(m_port)))
                m_lobby.waitForReadyRead(100);
            if (m_lobby.state() == QProcess::Running) return true;
            m_lobby.waitForFinished(1000);
        }
        return false;
    }

    void prepare(LobbySession &s, const QString &name)
    {
        s.setPlayerName(name);
        s.setTickMs(600000);
        s.setPageFile(m_dir.filePath(name + QStringLiteral(".html")));
    }

    void connectGameServer(Peer &game)
    {
        game.socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), m_port);
        QTRY_VERIFY(game.socket.isConnected());
        game.socket.sendLine(QStringLiteral("NAM"), QStringLiteral("ZBSERVER"));
        game.socket.sendLine(QStringLiteral("STS"), gameStatus(QStringLiteral("1")));
    }

  private slots:
    void initTestCase()
    {
        m_lobby.setProcessChannelMode(QProcess::MergedChannels);
        QVERIFY(startLobby());
        LobbySession::setAddressOverride(QStringLiteral("127.0.0.1:") + QString::number(m_port));
    }

    void cleanupTestCase()
    {
        m_lobby.terminate();
        if (!m_lobby.waitForFinished(5000)) m_lobby.kill();
    }

    void commandLine()
    {
        QProcess p;
        p.start(QStringLiteral(ZB_BIN_DIR "/zblobby"), {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("zblobby 1.16"));
        p.start(QStringLiteral(ZB_BIN_DIR "/zblobby"), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.readAllStandardOutput().contains("--port"));
        p.start(QStringLiteral(ZB_BIN_DIR "/zblobby"), {QStringLiteral("--port"), QStringLiteral("x")});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitCode() != 0);
    }

    void listingRecord()
    {
        const QString listed = StatusRecord::decode(LobbyServer::listingRecord(
            StatusRecord::decode(gameStatus(QStringLiteral("2"))) + QStringLiteral("extra=x&"),
            QStringLiteral("10.0.0.7")));
        QVERIFY(listed.startsWith(
            QStringLiteral("ipaddress=10.0.0.7&port=27064&password=1&roomname=テスト部屋&")));
        QVERIFY(listed.endsWith(QStringLiteral("playercount=2&playermax=8&playername=ZBSERVER&")));
        QVERIFY(!listed.contains(QStringLiteral("secret")));
        QVERIFY(!listed.contains(QStringLiteral("extra")));
        const QString open = StatusRecord::decode(LobbyServer::listingRecord(
            StatusRecord::decode(gameStatus(QStringLiteral("0"), QString())), QStringLiteral("10.0.0.7")));
        QVERIFY(open.contains(QStringLiteral("&password=&")));
    }

    void roomLifecycle()
    {
        LobbySession player;
        prepare(player, QStringLiteral("花子"));
        QSignalSpy pages(&player, &LobbySession::pageChanged);
        player.reloadRoomList();
        QTRY_COMPARE(pages.size(), 1);
        QVERIFY(player.pageShown().contains(QStringLiteral("ゼンブリル ロビー")));
        QVERIFY(player.pageShown().contains(msg::NoServers));
        QTRY_COMPARE(player.names(), QStringList{QStringLiteral("花子")});

        auto *game = new Peer("127.0.0.2");
        connectGameServer(*game);
        QTRY_COMPARE(player.rooms().size(), 1);
        const ServerInfo room = player.rooms().first();
        QCOMPARE(room.address, QStringLiteral("127.0.0.2:27064"));
        QCOMPARE(room.roomname, QStringLiteral("テスト部屋"));
        QCOMPARE(room.playercount, QStringLiteral("1"));
        QCOMPARE(room.playermax, QStringLiteral("8"));
        QVERIFY(!room.password.isEmpty());
        QVERIFY(!player.pageShown().contains(QStringLiteral("secret")));
        QVERIFY(player.pageShown().contains(QStringLiteral("<A href=number:0>テスト部屋</A>")));

        // A second room from another address, then a change of the first.
        Peer other("127.0.0.3");
        connectGameServer(other);
        QTRY_COMPARE(player.rooms().size(), 2);
        game->socket.sendLine(QStringLiteral("STS"), gameStatus(QStringLiteral("2")));
        QTRY_COMPARE(player.rooms().first().playercount, QStringLiteral("2"));
        QCOMPARE(player.rooms().at(1).address, QStringLiteral("127.0.0.3:27064"));

        // A game server reached over IPv6 is joined at a bracketed address.
        LineSocket v6;
        v6.socket()->connectToHost(QHostAddress::LocalHostIPv6, m_port);
        if (v6.socket()->waitForConnected(5000)) {
            v6.sendLine(QStringLiteral("NAM"), QStringLiteral("ZBSERVER"));
            v6.sendLine(QStringLiteral("STS"), gameStatus(QStringLiteral("0")));
            QTRY_COMPARE(player.rooms().size(), 3);
            QCOMPARE(player.rooms().at(2).address, QStringLiteral("[::1]:27064"));
            v6.socket()->abort();
            QTRY_COMPARE(player.rooms().size(), 2);
        }

        game->socket.sendLine(QStringLiteral("CHK"), QStringLiteral("null"));
        QTRY_COMPARE(game->lines, QStringList{QStringLiteral("CHK null")});

        // A room leaves the list with its connection; a player joining later never sees it.
        delete game;
        QTRY_COMPARE(player.rooms().size(), 1);
        QCOMPARE(player.rooms().first().address, QStringLiteral("127.0.0.3:27064"));
        other.socket.socket()->disconnectFromHost();
        QTRY_VERIFY(pages.last().at(0).toString().contains(msg::NoServers));

        LobbySession late;
        prepare(late, QStringLiteral("遅刻"));
        QSignalSpy latePages(&late, &LobbySession::pageChanged);
        late.reloadRoomList();
        QTRY_COMPARE(latePages.size(), 1);
        QVERIFY(late.rooms().isEmpty());
        QVERIFY(late.pageShown().contains(msg::NoServers));
    }

    void chatAndNames()
    {
        LobbySession a;
        LobbySession b;
        prepare(a, QStringLiteral("花子"));
        prepare(b, QStringLiteral("太郎"));
        a.reloadRoomList();
        QTRY_COMPARE(a.names(), QStringList{QStringLiteral("花子")});
        b.reloadRoomList();
        QTRY_COMPARE(a.names(), (QStringList{QStringLiteral("花子"), QStringLiteral("太郎")}));
        QTRY_COMPARE(b.names(), (QStringList{QStringLiteral("花子"), QStringLiteral("太郎")}));

        QVERIFY(b.sendChat(QStringLiteral("やあ みんな")));
        QTRY_VERIFY(logHas(a, QStringLiteral(" <太郎> やあ みんな\r\n")));
        QVERIFY(a.sendChat(QStringLiteral("こんにちは")));
        QTRY_VERIFY(logHas(b, QStringLiteral(" <花子> こんにちは\r\n")));
        // Nobody gets their own line back from the lobby.
        QCOMPARE(b.log().text().count(QStringLiteral("太郎> やあ")), 1);
        QCOMPARE(a.log().text().count(QStringLiteral("花子> こんにちは")), 1);

        b.stop();
        QTRY_COMPARE(a.names(), QStringList{QStringLiteral("花子")});
    }

    void silentPeersAreDropped()
    {
        LobbyServer lobby;
        lobby.setIdentifyTimeoutMs(50);
        QVERIFY(lobby.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        Peer game("127.0.0.7");
        game.socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), lobby.port());
        QTRY_VERIFY(game.socket.isConnected());
        game.socket.sendLine(QStringLiteral("NAM"), QStringLiteral("ZBSERVER"));
        game.socket.sendLine(QStringLiteral("CHK"), QStringLiteral("null"));
        QTRY_COMPARE(game.lines.size(), 1);
        // The silent peer's time runs out after the game server's did.
        Peer silent("127.0.0.6");
        QSignalSpy connected(silent.socket.socket(), &QTcpSocket::connected);
        QSignalSpy dropped(silent.socket.socket(), &QTcpSocket::disconnected);
        silent.socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), lobby.port());
        QVERIFY(dropped.wait(5000));
        QCOMPARE(connected.size(), 1);
        game.socket.sendLine(QStringLiteral("CHK"), QStringLiteral("null"));
        QTRY_COMPARE(game.lines.size(), 2);
    }

    void strangersAreDropped()
    {
        Peer stranger("127.0.0.4");
        stranger.socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), m_port);
        QTRY_VERIFY(stranger.socket.isConnected());
        stranger.socket.sendLine(QStringLiteral("GET"), QStringLiteral("/ HTTP/1.0"));
        QTRY_COMPARE(stranger.socket.socket()->state(), QAbstractSocket::UnconnectedState);

        // A line longer than the lobby accepts ends the connection too.
        Peer flood("127.0.0.5");
        flood.socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), m_port);
        QTRY_VERIFY(flood.socket.isConnected());
        flood.socket.sendLine(QStringLiteral("NAM"), QStringLiteral("ZBSERVER"));
        flood.socket.sendRaw(QByteArray(LobbyServer::InputCap + 10, 'a'));
        QTRY_COMPARE(flood.socket.socket()->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(m_lobby.state() == QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TstZbLobby)
#include "tst_zblobby.moc"
