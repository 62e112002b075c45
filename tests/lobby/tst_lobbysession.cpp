#include "client/core/messages.h"
#include "client/lobby/lobbysession.h"
#include "shared/linesocket.h"
#include "shared/settingsstore.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "tests/freeport.h"
#include "tests/lobby/fakelobby.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

namespace {
QString record(const QString &name, const QString &count)
{
    return StatusRecord()
        .add(QStringLiteral("ipaddress="), QStringLiteral("127.0.0.9"))
        .add(QStringLiteral("port="), QStringLiteral("27064"))
        .add(QStringLiteral("roomname="), name)
        .add(QStringLiteral("playercount="), count)
        .encoded();
}

bool logHas(const LobbySession &s, const QString &text)
{
    return s.log().text().contains(text);
}
} // namespace

class TstLobbySession : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir m_dir;

    // A session connected to the fake lobby, ticking only when the test says so.
    void connectSession(LobbySession &s, FakeLobby &lobby)
    {
        LobbySession::setAddressOverride(lobby.address());
        s.setPageFile(m_dir.filePath(QStringLiteral("serverlist.html")));
        s.setTickMs(600000);
        s.setPlayerName(QStringLiteral("太郎"));
        s.start();
        QTRY_VERIFY(s.isConnected());
        QTRY_COMPARE(lobby.lines.size(), 1);
    }

  private slots:
    void addressChoice()
    {
        LobbySession::setAddressOverride(QString());
        QCOMPARE(LobbySession::lobbyAddress(), QStringLiteral("localhost:29999"));
        LobbySession::setAddressOverride(QStringLiteral(" 10.1.1.1:3000 "));
        QCOMPARE(LobbySession::lobbyAddress(), QStringLiteral("10.1.1.1:3000"));
    }

    void addressSplit_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("name") << "localhost:29999"
                              << "localhost" << 29999;
        QTest::newRow("blanks") << " 10.0.0.1 : 3000 "
                                << "10.0.0.1" << 3000;
        QTest::newRow("ipv6") << "[::1]:4000"
                              << "::1" << 4000;
        QTest::newRow("extra piece") << "h:5:6"
                                     << "h" << 5;
        QTest::newRow("no port") << "10.0.0.1"
                                 << "" << -1;
        QTest::newRow("port zero") << "h:0"
                                   << "" << -1;
        QTest::newRow("port too big") << "h:70000"
                                      << "" << -1;
        QTest::newRow("not a number") << "h:x"
                                      << "" << -1;
        QTest::newRow("no host") << ":29999"
                                 << "" << -1;
        QTest::newRow("bare ipv6") << "[::1]"
                                   << "" << -1;
    }
    void addressSplit()
    {
        QFETCH(QString, address);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString h;
        quint16 p = 0;
        QCOMPARE(LobbySession::splitAddress(address, h, p), port > 0);
        if (port > 0) {
            QCOMPARE(h, host);
            QCOMPARE(int(p), port);
        }
    }

    void announcesOnConnect()
    {
        FakeLobby lobby;
        LobbySession s;
        QSignalSpy reload(&s, &LobbySession::reloadChanged);
        connectSession(s, lobby);
        QCOMPARE(lobby.lines.first(), QStringLiteral("STS ") + announcementRecord(QStringLiteral("太郎")));
        const QStringList log = s.log().text().split(QStringLiteral("\r\n"));
        QVERIFY(log.at(0).endsWith(QStringLiteral(" <system> ") + msg::ConnectingToLobby));
        QVERIFY(log.at(2).endsWith(msg::LobbyConnecting));
        QVERIFY(log.at(3).endsWith(msg::LobbyConnected));
        QVERIFY(log.at(4).endsWith(msg::ReceivingServerList));
        QCOMPARE(s.reloadCaption(), msg::reloadLimited(10));
        QVERIFY(!s.reloadEnabled());
        QCOMPARE(reload.size(), 1);
        QCOMPARE(s.windowCaption(), msg::LobbyServer);
        s.onReloadLimitTick();
        QCOMPARE(s.windowCaption(), msg::lobbyCaption(7));
    }

    void reloadLimitOverElevenTicks()
    {
        FakeLobby lobby;
        LobbySession s;
        connectSession(s, lobby);
        for (int tick = 1; tick <= 10; ++tick) {
            s.onReloadLimitTick();
            QCOMPARE(s.reloadCaption(), msg::reloadLimited(11 - tick));
            QVERIFY(!s.reloadEnabled());
        }
        s.onReloadLimitTick();
        QCOMPARE(s.reloadCaption(), msg::ReloadServerList);
        QVERIFY(s.reloadEnabled());
        QCOMPARE(s.reloadLimit(), -1);
        s.onReloadLimitTick();
        QCOMPARE(s.reloadCaption(), msg::ReloadServerList);

        // Reloading reconnects and announces again.
        s.reloadRoomList();
        QTRY_COMPARE(lobby.lines.size(), 2);
        QCOMPARE(lobby.lines.at(1), lobby.lines.at(0));
        QTRY_VERIFY(!s.reloadEnabled());
    }

    void dispatcher()
    {
        FakeLobby lobby;
        LobbySession s;
        connectSession(s, lobby);
        QSignalSpy pages(&s, &LobbySession::pageChanged);
        QSignalSpy names(&s, &LobbySession::namesChanged);
        lobby.send(QStringLiteral("FTR"), urlEncode(QStringLiteral("<P>early</P>")));
        lobby.send(QStringLiteral("HDR"), urlEncode(QStringLiteral("<BODY>ロビー")));
        lobby.send(QStringLiteral("FTR"), urlEncode(QStringLiteral("</BODY>")));
        lobby.send(QStringLiteral("SRV"), record("A", "1") + ':' + record("B", "2") + ':');
        QTRY_COMPARE(pages.size(), 1);
        QCOMPARE(s.rooms().size(), 2);
        QCOMPARE(s.rooms().at(1).roomname, QStringLiteral("B"));
        QCOMPARE(s.rooms().at(0).address, QStringLiteral("127.0.0.9:27064"));
        QString page = pages.last().at(0).toString();
        QVERIFY(page.contains(QStringLiteral("<BODY>ロビー")));
        QVERIFY(!page.contains(QStringLiteral("early")));
        QVERIFY(page.contains(QStringLiteral("<A href=number:1>B</A>")));
        QVERIFY(logHas(s, QStringLiteral(" <system> ") + msg::ServerListReceived + QStringLiteral("\r\n")));
        // The page file is written beside the page shown.
        QFile f(m_dir.filePath(QStringLiteral("serverlist.html")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("number:1"));
        QVERIFY(s.serverInfoText(1).startsWith(msg::RoomNameHeading + QStringLiteral("\r\n") +
                                               msg::DetailIndent + QStringLiteral("B\r\n")));
        QCOMPARE(s.resolveLink(QUrl(QStringLiteral("number:1"))).address, QStringLiteral("127.0.0.9:27064"));

        lobby.send(QStringLiteral("NMS"), QStringLiteral("太郎:花子:"));
        QTRY_COMPARE(names.size(), 1);
        QCOMPARE(s.names(), (QStringList{QStringLiteral("太郎"), QStringLiteral("花子")}));
        lobby.send(QStringLiteral("NMS"), QStringLiteral("a:b"));
        QTRY_COMPARE(names.size(), 2);
        QCOMPARE(s.names(), QStringList{QStringLiteral("a")});
        lobby.send(QStringLiteral("NMS"), QString());
        QTRY_COMPARE(names.size(), 3);
        QVERIFY(s.names().isEmpty());

        lobby.send(QStringLiteral("MSG"), QStringLiteral("花子> やあ"));
        lobby.send(QStringLiteral("SYM"), QStringLiteral("お知らせ"));
        lobby.send(QStringLiteral("XYZ"), QStringLiteral("?"));
        QTRY_VERIFY(logHas(s, QStringLiteral(" <system> ") + msg::BadCommand + QStringLiteral("\r\n")));
        QVERIFY(logHas(s, QStringLiteral(" <花子> やあ\r\n")));
        QVERIFY(logHas(s, QStringLiteral(" <system> お知らせ\r\n")));

        // A list without any separator changes nothing.
        const QList<ServerInfo> before = s.rooms();
        lobby.send(QStringLiteral("SRV"), record("C", "3"));
        QTRY_VERIFY(logHas(s, QStringLiteral(" <system> ") + msg::UnknownError + QStringLiteral("\r\n")));
        QCOMPARE(s.rooms(), before);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(s.pageShown(), page);

        // No rooms: the empty row, the table kept, no "received" line.
        const int received = s.log().text().count(msg::ServerListReceived);
        lobby.send(QStringLiteral("SRV"), QString());
        QTRY_COMPARE(pages.size(), 2);
        QVERIFY(s.pageShown().contains(msg::NoServers));
        QCOMPARE(s.rooms(), before);
        QCOMPARE(s.log().text().count(msg::ServerListReceived), received);
    }

    void roomListsBackToBack()
    {
        FakeLobby lobby;
        LobbySession s;
        connectSession(s, lobby);
        QSignalSpy pages(&s, &LobbySession::pageChanged);
        for (int i = 1; i <= 30; ++i)
            lobby.send(QStringLiteral("SRV"), record(QStringLiteral("R%1").arg(i), "1") + ':');
        // The newest list is shown, without a rendering for every list.
        QTRY_VERIFY(!pages.isEmpty() && pages.last().at(0).toString().contains(QStringLiteral(">R30</A>")));
        QVERIFY2(pages.size() <= 3, QByteArray::number(pages.size()));
        QCOMPARE(s.rooms().first().roomname, QStringLiteral("R30"));
        QCOMPARE(s.pageShown(), pages.last().at(0).toString());
    }

    void chat()
    {
        FakeLobby lobby;
        LobbySession s;
        connectSession(s, lobby);
        QVERIFY(s.sendChat(QStringLiteral("こんにちは\r\nみんな")));
        QVERIFY(logHas(s, QStringLiteral(" <太郎> こんにちはみんな\r\n")));
        QTRY_COMPARE(lobby.lines.size(), 2);
        QCOMPARE(lobby.lines.at(1), QStringLiteral("MSG こんにちはみんな"));

        // The lobby going away is no error; the caption shows it on the next tick.
        const QString logBefore = s.log().text();
        delete lobby.peer;
        QTRY_COMPARE(s.socketState(), 0);
        QCOMPARE(s.log().text(), logBefore);
        s.onReloadLimitTick();
        QCOMPARE(s.windowCaption(), msg::lobbyCaption(0));
        QVERIFY(!s.sendChat(QStringLiteral("x")));
        QCOMPARE(s.log().text(), logBefore);
    }

    void lobbyDown()
    {
        const quint16 port = freePort();
        LobbySession::setAddressOverride(QStringLiteral("127.0.0.1:") + QString::number(port));
        LobbySession s;
        s.setPageFile(m_dir.filePath(QStringLiteral("serverlist.html")));
        s.setTickMs(40);
        QSignalSpy connecting(&s, &LobbySession::connectingChanged);
        s.start();
        QTRY_VERIFY(logHas(s, msg::LobbyMayBeDown));
        // The refusal reads as the classic number, not as Qt's 0.
        QVERIFY(
            logHas(s, QStringLiteral(" <system> ") + msg::socketErrorLine(10061) + QStringLiteral("\r\n")));
        QVERIFY(s.log().text().indexOf(msg::CannotConnectToLobby) <
                s.log().text().indexOf(msg::LobbyMayBeDown));
        QCOMPARE(connecting.size(), 2);
        QVERIFY(!s.isConnecting());
        QVERIFY(s.reloadEnabled());
        QCOMPARE(s.reloadCaption(), msg::ReloadServerList);

        // An address without a usable port fails the same way.
        LobbySession::setAddressOverride(QStringLiteral("127.0.0.1"));
        LobbySession t;
        t.setTickMs(20);
        t.reloadRoomList();
        QTRY_VERIFY(logHas(t, msg::LobbyMayBeDown));
    }

    void chosenLobbyDown()
    {
        SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings.ini")));
        const QString address = QStringLiteral("127.0.0.1:") + QString::number(freePort());
        SettingsStore::write(QStringLiteral("LobbyServerAddress"), address);
        // The command line's lobby is no choice made in the options dialog.
        LobbySession::setAddressOverride(address);
        LobbySession byOption;
        byOption.setTickMs(20);
        byOption.reloadRoomList();
        QTRY_VERIFY(logHas(byOption, msg::LobbyMayBeDown));
        QVERIFY(!logHas(byOption, msg::ChangeLobbyAddressHint));

        LobbySession::setAddressOverride(QString());
        LobbySession s;
        s.setTickMs(20);
        s.reloadRoomList();
        QTRY_VERIFY(logHas(s, msg::ChangeLobbyAddressHint));
        const QString log = s.log().text();
        QVERIFY(log.indexOf(msg::LobbyMayBeDown) < log.indexOf(msg::lobbyUnreachable(address, 10061)));
        QVERIFY(log.indexOf(msg::lobbyUnreachable(address, 10061)) <
                log.indexOf(msg::ChangeLobbyAddressHint));
        SettingsStore::write(QStringLiteral("LobbyServerAddress"), QString());
    }
};

QTEST_GUILESS_MAIN(TstLobbySession)
#include "tst_lobbysession.moc"
