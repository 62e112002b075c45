// The per-address rules when players come over IPv6, where everybody holds a
// whole /64. The test makes a network namespace of its own (as root), whose
// loopback carries documentation addresses; without root it is skipped.
#include "server/core/banlist.h"
#include "tests/server/serverfixture.h"
#include "tests/wiretexts.h"

#include <QProcess>

#include <sched.h>
#include <unistd.h>

using namespace zb;

namespace {
const QString kHome = QStringLiteral("2001:db8:0:1::2");
const QString kHomeToo = QStringLiteral("2001:db8:0:1::3");
const QString kNextDoor = QStringLiteral("2001:db8:0:2::2");

bool ip(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("ip"), arguments);
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

class TstAddressRules : public ServerFixture {
    Q_OBJECT

    TestClient *joinFrom(const QString &address, const QString &name)
    {
        TestClient *c = connectFrom(address);
        c->join(name);
        return c;
    }

  private slots:
    void initTestCase()
    {
        if (geteuid() != 0) QSKIP("needs root for a network namespace of its own: IPv6 rules not tested");
        if (unshare(CLONE_NEWNET) != 0) QSKIP("no network namespace of its own: IPv6 rules not tested");
        QVERIFY(
            ip({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}));
        for (const QString &address : {kHome, kHomeToo, kNextDoor})
            QVERIFY(ip({QStringLiteral("-6"), QStringLiteral("addr"), QStringLiteral("add"),
                        address + QStringLiteral("/128"), QStringLiteral("dev"), QStringLiteral("lo"),
                        QStringLiteral("nodad")}));
    }
    void init() { setUpFolder(QStringLiteral("りんご\r\n")); }
    void cleanup() { tearDownServer(); }

    void aSixtyFourCountsAsOneAddress()
    {
        startServer();
        // One joining connection per /64: the next address of it is turned away.
        TestClient *first = connectFrom(kHome);
        QTRY_VERIFY(m_server->seats().busy(0));
        TestClient *second = connectFrom(kHomeToo);
        QTRY_VERIFY(second->closed());
        QVERIFY(logged(sys(msg::SameAddressKick)));
        joinFrom(kNextDoor, QStringLiteral("bob"));
        QTRY_COMPARE(m_server->seats().playerCount(), 1);

        // One seat per /64.
        first->join(QStringLiteral("alice"));
        QTRY_COMPARE(m_server->seats().name(0), QStringLiteral("alice"));
        TestClient *twin = joinFrom(kHomeToo, QStringLiteral("twin"));
        QTRY_VERIFY(twin->closed());
        QCOMPARE(twin->lines.last(), QStringLiteral("SYM ") + wire::SameAddress);

        // A ban covers the /64 and is written as one.
        m_server->kick(0, true);
        QTRY_VERIFY(first->closed());
        QFile ban(BanList::path());
        QVERIFY(ban.open(QIODevice::ReadOnly));
        QCOMPARE(ban.readAll(), QByteArray("alice\t2001:db8:0:1::/64\r\n\r\n"));
        TestClient *back = joinFrom(kHomeToo, QStringLiteral("alice2"));
        QTRY_VERIFY(back->closed());
        QCOMPARE(m_server->seats().playerCount(), 1);
        QVERIFY(back->lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstAddressRules)
#include "tst_addressrules.moc"
