// Port mapping against routers on loopback, and the console's address panel.
#include "server/console/addresspanel.h"
#include "server/portmap/portmapper.h"
#include "server/portmap/roomaddress.h"
#include "server/texts/messages.h"
#include "shared/settingsstore.h"
#include "tests/clientui/windowparts.h"
#include "tests/freeport.h"
#include "tests/portmap/fakerouter.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sched.h>
#include <unistd.h>

using namespace zb;
using State = PortMapStatus::State;

namespace {
constexpr int RouterWaitMs = 20000;

PortMapConfig askOnly(const QString &igdUrl, const QString &gateway = {}, int leaseSeconds = 3600)
{
    PortMapConfig c;
    c.igdUrl = igdUrl;
    c.natpmpGateway = gateway;
    c.leaseSeconds = leaseSeconds;
    return c;
}

// Removes the mapping the way a running program does: the routers here share
// the test's thread, so they cannot answer while it blocks in shutdown().
bool removedInBackground(PortMapper &mapper)
{
    QSignalSpy removed(&mapper, &PortMapper::removed);
    mapper.stop();
    return removed.wait(RouterWaitMs) && removed.at(0).at(0).toBool();
}

QString closedUrl()
{
    return QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(freePort());
}
} // namespace

class TestPortMapper : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void upnpMapsRenewsAndRemoves();
    void upnpAnswers_data();
    void upnpAnswers();
    void noRouterIsReported();
    void natPmpMapsRefusesAndRemoves();
    void consolePanel();
    void drippingDescriptionGivesWayToNatPmp();
    void controlUrlOnlyOnTheDescriptionsServer_data();
    void controlUrlOnlyOnTheDescriptionsServer();
    // Last: moves the process into a network namespace of its own.
    void searchTakesOnlyTheAnsweringHost();

  private:
    QTemporaryDir m_dir;
};

void TestPortMapper::init()
{
    static int n = 0;
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(++n)));
}

void TestPortMapper::upnpMapsRenewsAndRemoves()
{
    FakeIgd igd;
    PortMapper mapper(askOnly(igd.url(), {}, 2));
    mapper.start(40123);
    QCOMPARE(mapper.status().state, State::Searching);
    QTRY_COMPARE_WITH_TIMEOUT(mapper.status().state, State::Open, RouterWaitMs);
    const auto added = igd.requests(QStringLiteral("AddPortMapping"));
    QCOMPARE(added.size(), 1);
    const auto &args = added.first().args;
    QCOMPARE(args.value("NewExternalPort"), QStringLiteral("40123"));
    QCOMPARE(args.value("NewInternalPort"), QStringLiteral("40123"));
    QCOMPARE(args.value("NewProtocol"), QStringLiteral("TCP"));
    QCOMPARE(args.value("NewInternalClient"), QStringLiteral("127.0.0.1"));
    QCOMPARE(args.value("NewLeaseDuration"), QStringLiteral("2"));
    QCOMPARE(mapper.status().stateText(), QStringLiteral("ポート開放済み"));
    QCOMPARE(externalAddressText(mapper.status()), QStringLiteral("203.0.113.7:40123"));
    const QString invitation = invitationText(mapper.status());
    QVERIFY(invitation.contains(QStringLiteral("203.0.113.7:40123")));
    QVERIFY(invitation.contains(QStringLiteral("zembrill://203.0.113.7:40123")));
    QVERIFY(invitation.contains(QStringLiteral("127.0.0.1:40123")));

    // Renewed halfway through the two-second lease.
    QTRY_VERIFY_WITH_TIMEOUT(igd.requests(QStringLiteral("AddPortMapping")).size() >= 2, RouterWaitMs);
    QVERIFY(removedInBackground(mapper));
    const auto deleted = igd.requests(QStringLiteral("DeletePortMapping"));
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.first().args.value("NewExternalPort"), QStringLiteral("40123"));
    QCOMPARE(deleted.first().args.value("NewProtocol"), QStringLiteral("TCP"));
}

void TestPortMapper::upnpAnswers_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("external");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("chunked");
    QTest::newRow("conflict") << int(FakeIgd::Mode::Refuse718) << QByteArray("203.0.113.7")
                              << int(State::Refused)
                              << QStringLiteral("ルーターが拒否しました: UPnP 718 ConflictInMappingEntry")
                              << false;
    // An answer that is not the action's answer is no mapping, whatever the library makes of it.
    QTest::newRow("error page") << int(FakeIgd::Mode::ErrorPage) << QByteArray("999.1.1.1")
                                << int(State::Refused)
                                << QStringLiteral(
                                       "ルーターが拒否しました: UPnP -4 Miniupnpc Invalid response")
                                << false;
    QTest::newRow("permanent only") << int(FakeIgd::Mode::PermanentOnly) << QByteArray("1.2")
                                    << int(State::Open) << QStringLiteral("ポート開放済み") << false;
    QTest::newRow("chunked answers") << int(FakeIgd::Mode::Accept) << QByteArray("203.0.113.7")
                                     << int(State::Open) << QStringLiteral("ポート開放済み") << true;
}

void TestPortMapper::upnpAnswers()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, external);
    QFETCH(int, state);
    QFETCH(QString, text);
    QFETCH(bool, chunked);
    FakeIgd igd;
    igd.setMode(FakeIgd::Mode(mode));
    igd.setChunked(chunked);
    igd.setExternalAddress(external);
    PortMapper mapper(askOnly(igd.url()));
    mapper.start(40124);
    QTRY_VERIFY_WITH_TIMEOUT(mapper.status().state != State::Searching, RouterWaitMs);
    QCOMPARE(int(mapper.status().state), state);
    QCOMPARE(mapper.status().stateText(), text);
    // Only a plain IPv4 address the router owns is shown.
    if (external != "203.0.113.7")
        QCOMPARE(externalAddressText(mapper.status()), QStringLiteral("不明"));
    else if (state == int(State::Open))
        QCOMPARE(mapper.status().externalAddress, QStringLiteral("203.0.113.7"));
    if (mode == int(FakeIgd::Mode::PermanentOnly))
        QCOMPARE(igd.requests(QStringLiteral("AddPortMapping")).last().args.value("NewLeaseDuration"), "0");
    // Nothing was mapped, so nothing is removed; a made mapping is.
    QVERIFY(removedInBackground(mapper));
    QCOMPARE(igd.requests(QStringLiteral("DeletePortMapping")).size(), state == int(State::Open) ? 1 : 0);
}

void TestPortMapper::noRouterIsReported()
{
    PortMapper mapper(askOnly(closedUrl(), randomLoopbackAddress()));
    QSignalSpy changes(&mapper, &PortMapper::statusChanged);
    mapper.start(40125);
    QTRY_COMPARE_WITH_TIMEOUT(mapper.status().state, State::NoRouter, RouterWaitMs);
    QCOMPARE(mapper.status().stateText(), QStringLiteral("ルーターが見つかりません"));
    QCOMPARE(externalAddressText(mapper.status()), QStringLiteral("不明"));
    QVERIFY(mapper.shutdown());
    QCOMPARE(changes.size(), 2);
}

void TestPortMapper::natPmpMapsRefusesAndRemoves()
{
    FakeNatPmp gateway;
    gateway.setPublicPort(50001);
    {
        PortMapper mapper(askOnly({}, gateway.address()));
        mapper.start(40126);
        QTRY_COMPARE_WITH_TIMEOUT(mapper.status().state, State::Open, RouterWaitMs);
        QCOMPARE(mapper.status().method, QStringLiteral("NAT-PMP"));
        // The gateway chose the outside port: that is the one players are given.
        QCOMPARE(invitationAddress(mapper.status()), QStringLiteral("198.51.100.9:50001"));
        const auto asked = gateway.requests();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(1).opcode, 2);
        QCOMPARE(asked.at(1).privatePort, quint16(40126));
        QCOMPARE(asked.at(1).lifetime, quint32(PortMapConfig::DefaultLeaseSeconds));
        QVERIFY(removedInBackground(mapper));
        QCOMPARE(gateway.requests().size(), 3);
        QCOMPARE(gateway.requests().last().privatePort, quint16(40126));
        QCOMPARE(gateway.requests().last().lifetime, quint32(0));
    }
    gateway.setResult(2);
    PortMapper refused(askOnly({}, gateway.address()));
    refused.start(40127);
    QTRY_COMPARE_WITH_TIMEOUT(refused.status().state, State::Refused, RouterWaitMs);
    QCOMPARE(refused.status().stateText(), QStringLiteral("ルーターが拒否しました: NAT-PMP 2 NotAuthorized"));
}

void TestPortMapper::consolePanel()
{
    FakeIgd igd;
    {
        // On by default; --no-upnp turns it off for the run without storing anything.
        AddressPanel panel;
        QVERIFY(part<QCheckBox>(&panel, "chkUpnp")->isChecked());
        QVERIFY(!part<QPushButton>(&panel, "cmdCopyInvitation")->isEnabled());
        PortMapConfig options = askOnly(igd.url());
        options.enabled = false;
        panel.setOptions(options);
        QVERIFY(!part<QCheckBox>(&panel, "chkUpnp")->isChecked());
        QVERIFY(!part<QCheckBox>(&panel, "chkUpnp")->isEnabled());
        panel.serverStarted(40128);
        QCOMPARE(part<QLabel>(&panel, "lblMappingState")->text(), QStringLiteral("自動で開かない設定です"));
        QVERIFY(SettingsStore::read(QStringLiteral("ServerUPnP")).isEmpty());
        QVERIFY(igd.requests().isEmpty());
    }
    {
        AddressPanel panel;
        panel.setOptions(askOnly(igd.url()));
        part<QCheckBox>(&panel, "chkUpnp")->setChecked(false);
        panel.serverStarted(40129);
        QCOMPARE(SettingsStore::read(QStringLiteral("ServerUPnP")), QStringLiteral("0"));
    }
    AddressPanel panel;
    QVERIFY(!part<QCheckBox>(&panel, "chkUpnp")->isChecked());
    part<QCheckBox>(&panel, "chkUpnp")->setChecked(true);
    panel.setOptions(askOnly(igd.url()));
    panel.serverStarted(40130);
    QCOMPARE(SettingsStore::read(QStringLiteral("ServerUPnP")), QStringLiteral("1"));
    QVERIFY(!part<QCheckBox>(&panel, "chkUpnp")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(part<QLabel>(&panel, "lblMappingState")->text(),
                              QStringLiteral("ポート開放済み"), RouterWaitMs);
    QCOMPARE(part<QLabel>(&panel, "lblExternalAddress")->text(), QStringLiteral("203.0.113.7:40130"));
    QCOMPARE(part<QLabel>(&panel, "lblLanAddress")->text(), QStringLiteral("127.0.0.1:40130"));
    part<QPushButton>(&panel, "cmdCopyInvitation")->click();
    QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("zembrill://203.0.113.7:40130")));
    QCOMPARE(part<QPushButton>(&panel, "cmdCopyInvitation")->text(), zb::msg::Copied);
    QVERIFY(removedInBackground(*panel.mapper()));
}

void TestPortMapper::drippingDescriptionGivesWayToNatPmp()
{
    FakeIgd igd;
    igd.setDescription(FakeIgd::Description::Dripping);
    FakeNatPmp gateway;
    PortMapConfig config = askOnly(igd.url(), gateway.address());
    config.exchangeMs = 1500;
    PortMapper mapper(config);
    mapper.start(40131);
    QTRY_COMPARE_WITH_TIMEOUT(mapper.status().state, State::Open, RouterWaitMs);
    QCOMPARE(mapper.status().method, QStringLiteral("NAT-PMP"));
    QVERIFY(removedInBackground(mapper));
}

void TestPortMapper::controlUrlOnlyOnTheDescriptionsServer_data()
{
    QTest::addColumn<QString>("controlHost");
    QTest::addColumn<bool>("sameServer");
    QTest::newRow("another host") << QStringLiteral("127.0.0.2") << false;
    QTest::newRow("another port") << QStringLiteral("127.0.0.1") << false;
    QTest::newRow("its own, spelt out") << QStringLiteral("127.0.0.1") << true;
}

void TestPortMapper::controlUrlOnlyOnTheDescriptionsServer()
{
    QFETCH(QString, controlHost);
    QFETCH(bool, sameServer);
    FakeIgd igd;
    FakeIgd stray{QHostAddress(controlHost)};
    const QString controlServer = sameServer ? igd.url() : stray.url();
    igd.setControlUrl(controlServer.section(QLatin1Char('/'), 0, 2).toLatin1() + "/ctl/IPConn");
    PortMapper mapper(askOnly(igd.url()));
    mapper.start(40132);
    QTRY_VERIFY_WITH_TIMEOUT(mapper.status().state != State::Searching, RouterWaitMs);
    QCOMPARE(mapper.status().state, sameServer ? State::Open : State::NoRouter);
    QVERIFY(stray.requests().isEmpty());
    QCOMPARE(igd.requests().isEmpty(), !sameServer);
    QVERIFY(removedInBackground(mapper));
}

void TestPortMapper::searchTakesOnlyTheAnsweringHost()
{
    // The search goes to the whole network: only in a namespace of our own,
    // where loopback carries the multicast and nobody else answers.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0)
        QSKIP("needs root for a network namespace of its own");
    for (const QStringList &args : {QStringList{"link", "set", "lo", "up"},
                                    {"link", "set", "lo", "multicast", "on"},
                                    {"route", "add", "224.0.0.0/4", "dev", "lo", "src", "127.0.0.1"}}) {
        if (QProcess::execute(QStringLiteral("ip"), args) != 0)
            QSKIP("the ip tool could not set up loopback");
    }
    FakeIgd igd;
    FakeIgd elsewhere{QHostAddress(QStringLiteral("127.0.0.2"))};
    QUdpSocket responder;
    QVERIFY(responder.bind(QHostAddress::AnyIPv4, 1900, QUdpSocket::ShareAddress));
    QVERIFY(responder.joinMulticastGroup(QHostAddress(QStringLiteral("239.255.255.250")),
                                         QNetworkInterface::interfaceFromName(QStringLiteral("lo"))));
    int searches = 0;
    connect(&responder, &QUdpSocket::readyRead, &responder, [&] {
        while (responder.hasPendingDatagrams()) {
            const QNetworkDatagram d = responder.receiveDatagram();
            if (!d.data().startsWith("M-SEARCH")) continue;
            ++searches;
            // An answer that sends the mapper to another machine, then the router's own.
            for (const QString &location : {elsewhere.url(), igd.url()})
                responder.writeDatagram(
                    "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: " + location.toLatin1() + "\r\n\r\n",
                    d.senderAddress(), quint16(d.senderPort()));
        }
    });
    PortMapConfig config;
    config.searchNetwork = true;
    config.searchMs = 1000;
    PortMapper mapper(config);
    mapper.start(40133);
    QTRY_COMPARE_WITH_TIMEOUT(mapper.status().state, State::Open, RouterWaitMs);
    QVERIFY(searches > 0);
    QCOMPARE(mapper.status().method, QStringLiteral("UPnP"));
    QCOMPARE(igd.requests(QStringLiteral("AddPortMapping")).size(), 1);
    QVERIFY(elsewhere.requests().isEmpty());
    QVERIFY(removedInBackground(mapper));
}

QTEST_MAIN(TestPortMapper)
#include "tst_portmapper.moc"
