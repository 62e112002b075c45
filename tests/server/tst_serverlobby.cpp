#include "shared/statusrecord.h"
#include "tests/server/serverfixture.h"

using namespace zb;

// A lobby that records what a game server tells it.
class FakeLobby : public QObject {
  public:
    FakeLobby()
    {
        m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_peer = m_server.nextPendingConnection();
            ++connections;
            connect(m_peer, &QTcpSocket::readyRead, this, [this] {
                QList<QByteArray> raw;
                m_framer.feed(m_peer->readAll(), raw);
                for (const QByteArray &bytes : raw)
                    lines << fromCp932(bytes);
            });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    void send(const QString &command, const QString &text)
    {
        m_peer->write(LineSocket::encodeLine(command, text));
    }
    QStringList records() const
    {
        QStringList out;
        for (const QString &l : lines) {
            if (l.startsWith(QLatin1String("STS "))) out << StatusRecord::decode(l.mid(4));
        }
        return out;
    }

    QStringList lines;
    int connections = 0;

  private:
    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    LineFramer m_framer;
};

class TstServerLobby : public ServerFixture {
    Q_OBJECT
  private slots:
    void init() { setUpFolder(QStringLiteral("りんご\r\n")); }
    void cleanup() { tearDownServer(); }

    void registration()
    {
        FakeLobby lobby;
        SettingsStore::write(QStringLiteral("LobbyServerAddress"), lobby.address());
        ServerSettings s = quietSettings();
        s.lobbyRegister = true;
        s.roomName = QStringLiteral("部屋");
        s.password = QStringLiteral("pw");
        startServer(s, 50);
        QTRY_COMPARE(lobby.records().size(), 1);
        QCOMPARE(lobby.lines.first(), QStringLiteral("NAM ZBSERVER"));
        const QString record = lobby.records().first();
        QCOMPARE(StatusRecord::field(record, QStringLiteral("port=")), QString::number(m_port));
        // Only whether there is one: the password itself stays in the room.
        QCOMPARE(StatusRecord::field(record, QStringLiteral("password=")), QStringLiteral("*"));
        QCOMPARE(StatusRecord::field(record, QStringLiteral("roomname=")), QStringLiteral("部屋"));
        QCOMPARE(StatusRecord::field(record, QStringLiteral("comment=")), msg::DefaultComment);
        QCOMPARE(StatusRecord::field(record, QStringLiteral("zbq=")),
                 msg::BuiltInDictionary + QLatin1Char(':'));
        QCOMPARE(StatusRecord::field(record, QStringLiteral("playercount=")), QStringLiteral("0"));
        QCOMPARE(StatusRecord::field(record, QStringLiteral("playermax=")), QStringLiteral("8"));
        QVERIFY(logged(sys(msg::LobbyConnected)));

        // The 30-tick check reports a changed player count.
        TestClient *alice = joinClient(2, QStringLiteral("alice"), QStringLiteral("pw"));
        QTRY_COMPARE_WITH_TIMEOUT(lobby.records().size(), 2, 10000);
        QCOMPARE(StatusRecord::field(lobby.records().last(), QStringLiteral("players=")),
                 QStringLiteral("alice::::::::"));
        QCOMPARE(StatusRecord::field(lobby.records().last(), QStringLiteral("playercount=")),
                 QStringLiteral("1"));

        // Lobby lines reach the dispatcher: SYM is shown, CHK resets the silence watch.
        QTRY_VERIFY(m_server->lobby().silence() > 2);
        lobby.send(QStringLiteral("SYM"), QStringLiteral("ようこそ"));
        lobby.send(QStringLiteral("CHK"), QStringLiteral("null"));
        QTRY_VERIFY(logged(sys(QStringLiteral("ようこそ"))));
        QTRY_VERIFY(m_server->lobby().silence() <= 2);

        // Nothing else from the lobby reaches the room, and a player's CHK is
        // no answer from the lobby.
        alice->lines.clear();
        for (const char *command : {"MSG", "STK", "CLS", "NAM", "RDY", "PSW"})
            lobby.send(QString::fromLatin1(command), QStringLiteral("0:3:1,1;"));
        lobby.send(QStringLiteral("SYM"), QStringLiteral("おわり"));
        QTRY_VERIFY(logged(sys(QStringLiteral("おわり"))));
        QTRY_VERIFY(m_server->lobby().silence() > 2);
        const int silence = m_server->lobby().silence();
        alice->send(QStringLiteral("CHK"), QStringLiteral("null"));
        alice->send(QStringLiteral("SYM"), QStringLiteral("chk sent"));
        QTRY_VERIFY(logged(sys(msg::ignoredFromClient(0, msg::IgnoredSystemLine))));
        QVERIFY(m_server->lobby().silence() >= silence);
        QVERIFY(alice->lines.isEmpty());
        QCOMPARE(m_server->seats().playerCount(), 1);
        QTRY_VERIFY(m_server->captionText().startsWith(QStringLiteral("zbserver Port:%1 [0] [").arg(m_port)));

        // Re-applied settings are reported at once.
        s.playerMaxIndex = 2;
        QCOMPARE(m_server->startOrApply(s), GameServer::StartResult::Reapplied);
        QTRY_COMPARE(lobby.records().size(), 3);
        QCOMPARE(StatusRecord::field(lobby.records().last(), QStringLiteral("playermax=")),
                 QStringLiteral("5"));
        QCOMPARE(lobby.connections, 1);
    }

    void addressOverrideAndSwitch()
    {
        FakeLobby lobby;
        FakeLobby other;
        SettingsStore::write(QStringLiteral("LobbyServerAddress"), other.address());
        ServerSettings s = quietSettings();
        s.lobbyRegister = true;
        m_server = std::make_unique<GameServer>(50);
        m_server->config().setLobbyOverride(lobby.address());
        m_server->prepare();
        s.port = QString::number(freePort());
        QCOMPARE(m_server->startOrApply(s), GameServer::StartResult::Started);
        QTRY_COMPARE(lobby.records().size(), 1);
        QCOMPARE(other.connections, 0);
    }

    void registrationOff()
    {
        FakeLobby lobby;
        SettingsStore::write(QStringLiteral("LobbyServerAddress"), lobby.address());
        startServer(quietSettings(), 20);
        // No lobby connection for well past a reconnection countdown of 120 ticks.
        QVERIFY(!QTest::qWaitFor([&] { return lobby.connections > 0; }, 130 * 20 + 500));
        QCOMPARE(lobby.connections, 0);
        QCOMPARE(m_server->captionText(), QStringLiteral("zbserver Port:%1 [0] [-1]").arg(m_port));
    }
};

QTEST_GUILESS_MAIN(TstServerLobby)
#include "tst_serverlobby.moc"
