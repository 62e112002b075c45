// zbserver --headless with a router on loopback: the mapping made at start,
// the address printed, and the mapping removed when SIGTERM ends the server.
#include "tests/freeport.h"
#include "tests/portmap/fakerouter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int WaitMs = 20000;

class HeadlessServer {
  public:
    explicit HeadlessServer(const QStringList &extra)
    {
        QFile::copy(QStringLiteral(ZB_BIN_DIR "/default.dat"), m_dir.filePath(QStringLiteral("default.dat")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput()); });
        m_port = freePort();
        m_process.start(QStringLiteral(ZB_BIN_DIR "/zbserver"),
                        QStringList{QStringLiteral("--headless"), QStringLiteral("--no-lobby"),
                                    QStringLiteral("--port"), QString::number(m_port),
                                    QStringLiteral("--data-dir"), m_dir.path()} +
                            extra);
    }
    ~HeadlessServer()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QProcess &process() { return m_process; }
    QString output() const { return m_output; }
    QString port() const { return QString::number(m_port); }

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
    quint16 m_port = 0;
};
} // namespace

class TestHeadlessMapping : public QObject {
    Q_OBJECT
  private slots:
    void mapsAtStartAndRemovesAtSigterm();
    void noUpnpAndBadOptions();
    void hugeAnswersAreCut_data();
    void hugeAnswersAreCut();
};

void TestHeadlessMapping::mapsAtStartAndRemovesAtSigterm()
{
    FakeIgd igd;
    HeadlessServer server({QStringLiteral("--igd-url"), igd.url()});
    QTRY_VERIFY_WITH_TIMEOUT(server.output().contains(QStringLiteral("ポートの状態: ポート開放済み")),
                             WaitMs);
    const auto added = igd.requests(QStringLiteral("AddPortMapping"));
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().args.value("NewExternalPort"), server.port());
    QVERIFY(server.output().contains(QStringLiteral("外部アドレス: 203.0.113.7:") + server.port()));
    QVERIFY(server.output().contains(QStringLiteral("招待リンク: zembrill://203.0.113.7:") + server.port()));
    QVERIFY(server.output().contains(QStringLiteral("ブラウザで参加: http://203.0.113.7:") + server.port() +
                                     QLatin1Char('/')));

    // The fake router must keep answering while the server shuts down: no blocking waits here.
    server.process().terminate();
    QTRY_COMPARE_WITH_TIMEOUT(server.process().state(), QProcess::NotRunning, WaitMs);
    QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.process().exitCode(), 0);
    const auto deleted = igd.requests(QStringLiteral("DeletePortMapping"));
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.first().args.value("NewExternalPort"), server.port());
    QVERIFY(server.output().contains(QStringLiteral("ルーターのポート開放を解除しました")));
}

void TestHeadlessMapping::noUpnpAndBadOptions()
{
    FakeIgd igd;
    HeadlessServer server({QStringLiteral("--no-upnp"), QStringLiteral("--igd-url"), igd.url()});
    QTRY_VERIFY_WITH_TIMEOUT(server.output().contains(QStringLiteral("ポートの状態: 自動で開かない設定です")),
                             WaitMs);
    QVERIFY(server.output().contains(QStringLiteral("招待リンク: zembrill://")));
    server.process().terminate();
    QTRY_COMPARE_WITH_TIMEOUT(server.process().state(), QProcess::NotRunning, WaitMs);
    QCOMPARE(server.process().exitCode(), 0);
    QVERIFY(igd.requests().isEmpty());

    for (const QStringList &bad :
         {QStringList{QStringLiteral("--igd-url"), QStringLiteral("ftp://127.0.0.1/x")},
          QStringList{QStringLiteral("--natpmp-gateway"), QStringLiteral("::1")},
          QStringList{QStringLiteral("--natpmp-gateway"), QStringLiteral("1.2")}}) {
        HeadlessServer refused(bad);
        QVERIFY(refused.process().waitForFinished(WaitMs));
        QCOMPARE(refused.process().exitCode(), 2);
    }
}

void TestHeadlessMapping::hugeAnswersAreCut_data()
{
    QTest::addColumn<bool>("hugeDescription");
    QTest::addColumn<QString>("state");
    QTest::newRow("description") << true << QStringLiteral("ルーターが見つかりません");
    QTest::newRow("SOAP answers") << false
                                  << QStringLiteral("ルーターが拒否しました: UPnP -3 Miniupnpc HTTP error");
}

void TestHeadlessMapping::hugeAnswersAreCut()
{
    QFETCH(bool, hugeDescription);
    QFETCH(QString, state);
    FakeIgd igd;
    if (hugeDescription)
        igd.setDescription(FakeIgd::Description::Huge);
    else
        igd.setHugeAnswers(true);
    HeadlessServer server({QStringLiteral("--igd-url"), igd.url()});
    QTRY_VERIFY_WITH_TIMEOUT(server.output().contains(QStringLiteral("ポートの状態: ") + state), WaitMs);
    // What the server took is a little over its cap (the kernel's buffers),
    // nowhere near the whole answer, and its memory stayed small.
    QVERIFY2(igd.hugeBytesTaken() < 16 * 1024 * 1024, QByteArray::number(igd.hugeBytesTaken()));
    QFile status(QStringLiteral("/proc/%1/status").arg(server.process().processId()));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QString peak =
        QString::fromLatin1(status.readAll()).section(QStringLiteral("VmHWM:"), 1).section(u'k', 0, 0);
    QVERIFY2(peak.trimmed().toInt() < 128 * 1024, qPrintable(peak));
    server.process().terminate();
    QTRY_COMPARE_WITH_TIMEOUT(server.process().state(), QProcess::NotRunning, WaitMs);
}

QTEST_GUILESS_MAIN(TestHeadlessMapping)
#include "tst_portmap_headless.moc"
