// Port mapping against routers on loopback, and the console's address panel.
#include "../clientui/windowparts.h"
#include "addresspanel.h"
#include "fakerouter.h"
#include "freeport.h"
#include "portmapper.h"
#include "roomaddress.h"
#include "server/core/messages.h"
#include "settingsstore.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

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
    QTest::newRow("conflict") << int(FakeIgd::Mode::Refuse718) << QByteArray("203.0.113.7")
                              << int(State::Refused)
                              << QStringLiteral("ルーターが拒否しました: UPnP 718 ConflictInMappingEntry");
    // An answer that is not the action's answer is no mapping, whatever the library makes of it.
    QTest::newRow("error page") << int(FakeIgd::Mode::ErrorPage) << QByteArray("999.1.1.1")
                                << int(State::Refused)
                                << QStringLiteral(
                                       "ルーターが拒否しました: UPnP -4 Miniupnpc Invalid response");
    QTest::newRow("permanent only") << int(FakeIgd::Mode::PermanentOnly) << QByteArray("1.2")
                                    << int(State::Open) << QStringLiteral("ポート開放済み");
}

void TestPortMapper::upnpAnswers()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, external);
    QFETCH(int, state);
    QFETCH(QString, text);
    FakeIgd igd;
    igd.setMode(FakeIgd::Mode(mode));
    igd.setExternalAddress(external);
    PortMapper mapper(askOnly(igd.url()));
    mapper.start(40124);
    QTRY_VERIFY_WITH_TIMEOUT(mapper.status().state != State::Searching, RouterWaitMs);
    QCOMPARE(int(mapper.status().state), state);
    QCOMPARE(mapper.status().stateText(), text);
    // Only a plain IPv4 address the router owns is shown.
    if (external != "203.0.113.7") QCOMPARE(externalAddressText(mapper.status()), QStringLiteral("不明"));
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

QTEST_MAIN(TestPortMapper)
#include "tst_portmapper.moc"
