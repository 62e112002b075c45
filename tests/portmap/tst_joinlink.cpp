// Joining by link or --connect: what a link may name, and the connect dialog
// filled in (and joined at once when a name is known).
#include "client/ui/commandlinejoin.h"
#include "client/ui/connectdialog.h"
#include "client/ui/gamewindow.h"
#include "shared/fileutil.h"
#include "shared/hostport.h"
#include "shared/joinlink.h"
#include "shared/settingsstore.h"
#include "tests/client/fakeserver.h"

#include <QCommandLineParser>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

namespace {
bool parse(const QStringList &args, JoinRequest &request, QString &error)
{
    QCommandLineParser parser;
    parser.addOptions(joinOptions());
    parser.addPositionalArgument(QStringLiteral("link"), QString());
    if (!parser.parse(QStringList{QStringLiteral("zembrill")} + args)) return false;
    return readJoinRequest(parser, request, error);
}
} // namespace

class TestJoinLink : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void links_data();
    void links();
    void arguments();
    void linkFillsTheDialog();
    void connectWithNameJoinsWithoutStoring();
    void storedNameJoinsAtOnce();

  private:
    QTemporaryDir m_dir;
};

void TestJoinLink::initTestCase()
{
    setProgramFolder(m_dir.path());
}

void TestJoinLink::init()
{
    static int n = 0;
    SettingsStore::setFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(++n)));
}

void TestJoinLink::links_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("address");
    QTest::newRow("ipv4") << "zembrill://127.0.0.1:27064"
                          << "127.0.0.1:27064";
    QTest::newRow("name, closing slash, scheme case") << "ZEMBRILL://example.org:30000/"
                                                      << "example.org:30000";
    QTest::newRow("ipv6") << "zembrill://[::1]:27064"
                          << "[::1]:27064";
    QTest::newRow("default port") << "zembrill://room.example"
                                  << "room.example";
    QTest::newRow("other scheme") << "http://127.0.0.1:27064"
                                  << "";
    QTest::newRow("empty") << "zembrill://"
                           << "";
    QTest::newRow("port 0") << "zembrill://a:0"
                            << "";
    QTest::newRow("port too big") << "zembrill://a:65536"
                                  << "";
    QTest::newRow("signed port") << "zembrill://a:+1"
                                 << "";
    QTest::newRow("empty port") << "zembrill://a:"
                                << "";
    QTest::newRow("path") << "zembrill://a:1/x"
                          << "";
    QTest::newRow("user") << "zembrill://me@a:1"
                          << "";
    QTest::newRow("query") << "zembrill://a:1?x=1"
                           << "";
    QTest::newRow("markup") << "zembrill://<b>a</b>:1"
                            << "";
    QTest::newRow("blank") << "zembrill://a b:1"
                           << "";
    QTest::newRow("line break") << "zembrill://a:1\r\nNAM x"
                                << "";
    QTest::newRow("ipv6 scope") << "zembrill://[fe80::1%eth0]:1"
                                << "";
    QTest::newRow("bare ipv6") << "zembrill://::1:27064"
                               << "";
    QTest::newRow("huge") << "zembrill://" + QString(100000, u'a') << "";
}

void TestJoinLink::links()
{
    QFETCH(QString, link);
    QFETCH(QString, address);
    QCOMPARE(addressFromJoinLink(link), address);
    if (!address.isEmpty()) QCOMPARE(addressFromJoinLink(joinLink(address)), address);
}

void TestJoinLink::arguments()
{
    JoinRequest r;
    QString error;
    QVERIFY(parse({}, r, error));
    QVERIFY(r.address.isEmpty());
    QVERIFY(parse({QStringLiteral("--connect"), QStringLiteral("10.0.0.5:30000"), QStringLiteral("--name"),
                   QStringLiteral("x")},
                  r, error));
    QCOMPARE(r.address, QStringLiteral("10.0.0.5:30000"));
    QCOMPARE(r.name, QStringLiteral("x"));

    // The window system would take --name for itself: it is set aside before.
    QByteArray args[] = {"zembrill", "--name", "x", "zembrill://a:1", "--name=y", "--", "--name", "z"};
    char *argv[std::size(args) + 1];
    for (size_t i = 0; i < std::size(args); ++i)
        argv[i] = args[i].data();
    argv[std::size(args)] = nullptr;
    int argc = int(std::size(args));
    QCOMPARE(takeNameOption(argc, argv),
             (QStringList{QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--name=y")}));
    QCOMPARE(argc, 5);
    QCOMPARE(QByteArray(argv[1]), QByteArray("zembrill://a:1"));
    QCOMPARE(QByteArray(argv[3]), QByteArray("--name"));
    QCOMPARE(argv[5], nullptr);
    // Refused, each with a reason: two rooms, a name without a room, an unusable address.
    const QList<QStringList> bad{
        {QStringLiteral("zembrill://a:1"), QStringLiteral("--connect"), QStringLiteral("b:2")},
        {QStringLiteral("--name"), QStringLiteral("x")},
        {QStringLiteral("--connect"), QStringLiteral("a:b:c")},
        {QStringLiteral("zembrill://a:1\x1b[2J")}};
    for (const QStringList &args : bad) {
        JoinRequest refused;
        error.clear();
        QVERIFY2(!parse(args, refused, error), qPrintable(args.join(u' ')));
        QVERIFY(!error.isEmpty());
        QVERIFY(!error.contains(QChar(0x1b)));
    }
}

void TestJoinLink::linkFillsTheDialog()
{
    FakeServer server;
    GameWindow w;
    w.prepare();
    JoinRequest r;
    QString error;
    QVERIFY(parse({QStringLiteral("zembrill://") + server.address()}, r, error));
    QSignalSpy attempts(w.client().connection().socket(), &QAbstractSocket::stateChanged);
    joinFromCommandLine(w, r);
    // No name given or stored: the dialog waits for the player.
    QVERIFY(w.connectDialog() && w.connectDialog()->isVisible());
    QCOMPARE(w.connectDialog()->findChild<QLineEdit *>(QStringLiteral("txtIPPort"))->text(),
             server.address());
    QVERIFY(w.connectDialog()->findChild<QLineEdit *>(QStringLiteral("txtName"))->text().isEmpty());
    // A connection begun now or from the event loop would come before a later
    // probe's: the probe is the server's only peer.
    const HostPort address = parseHostPort(server.address());
    QTcpSocket probe;
    probe.connectToHost(address.host, address.port);
    QTRY_VERIFY(server.hasPeer());
    QCOMPARE(server.peer()->peerPort(), probe.localPort());
    QVERIFY(attempts.isEmpty());
}

void TestJoinLink::connectWithNameJoinsWithoutStoring()
{
    FakeServer server;
    GameWindow w;
    w.prepare();
    JoinRequest r;
    QString error;
    QVERIFY(
        parse({QStringLiteral("--connect"), server.address(), QStringLiteral("--name"), QStringLiteral("x")},
              r, error));
    joinFromCommandLine(w, r);
    QTRY_COMPARE(server.lines().size(), 3);
    QCOMPARE(server.lines().at(2), QStringLiteral("NAM x"));
    QTRY_VERIFY(!w.connectDialog());
    QVERIFY(SettingsStore::read(QStringLiteral("Name")).isEmpty());
    QVERIFY(SettingsStore::read(QStringLiteral("IPPort")).isEmpty());
}

void TestJoinLink::storedNameJoinsAtOnce()
{
    FakeServer server;
    SettingsStore::write(QStringLiteral("Name"), QStringLiteral("Hanako"));
    GameWindow w;
    w.prepare();
    JoinRequest r;
    QString error;
    QVERIFY(parse({QStringLiteral("zembrill://") + server.address() + u'/'}, r, error));
    joinFromCommandLine(w, r);
    QTRY_COMPARE(server.lines().size(), 3);
    QCOMPARE(server.lines().at(2), QStringLiteral("NAM Hanako"));
    QVERIFY(SettingsStore::read(QStringLiteral("IPPort")).isEmpty());
}

QTEST_MAIN(TestJoinLink)
#include "tst_joinlink.moc"
