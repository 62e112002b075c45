// The one host:port reader, under each caller's rules.
#include "shared/hostport.h"

#include <QtTest>

using namespace zb;

class TestHostPort : public QObject {
    Q_OBJECT
  private slots:
    void parse_data();
    void parse();
};

void TestHostPort::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rules"); // o: port optional, default 9; x: extra pieces ignored; s: strict
    QTest::addColumn<QString>("host");  // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("v6") << "[2001:db8::1]:80"
                        << ""
                        << "2001:db8::1" << 80;
    QTest::newRow("v6 default port") << "[::1]"
                                     << "o"
                                     << "::1" << 9;
    QTest::newRow("v6 port required") << "[::1]"
                                      << ""
                                      << "" << 0;
    QTest::newRow("v6 extra piece") << "[::1]:5:6"
                                    << "x"
                                    << "::1" << 5;
    QTest::newRow("v6 scope") << "[fe80::1%eth0]:1"
                              << ""
                              << "fe80::1%eth0" << 1;
    QTest::newRow("v6 scope strict") << "[fe80::1%eth0]:1"
                                     << "s"
                                     << "" << 0;
    QTest::newRow("bare v6") << "::1"
                             << "ox"
                             << "" << 0;
    QTest::newRow("unclosed bracket") << "[::1:80"
                                      << "o"
                                      << "" << 0;
    QTest::newRow("bracket then junk") << "[::1]x:80"
                                       << "o"
                                       << "" << 0;
    QTest::newRow("v4 in brackets") << "[127.0.0.1]:80"
                                    << "o"
                                    << "" << 0;
    QTest::newRow("empty brackets") << "[]:80"
                                    << "o"
                                    << "" << 0;
    QTest::newRow("port 0") << "h:0"
                            << "o"
                            << "" << 0;
    QTest::newRow("port 65535") << "h:65535"
                                << ""
                                << "h" << 65535;
    QTest::newRow("port 65536") << "h:65536"
                                << "o"
                                << "" << 0;
    QTest::newRow("port overflows int") << "h:99999999999999999999"
                                        << "o"
                                        << "" << 0;
    QTest::newRow("leading zeros") << "h:000080"
                                   << ""
                                   << "h" << 80;
    QTest::newRow("signed port") << "h:+80"
                                 << "o"
                                 << "" << 0;
    QTest::newRow("wide digits") << "h:\uff18\uff10"
                                 << "o"
                                 << "" << 0;
    QTest::newRow("extra piece refused") << "h:5:6"
                                         << "o"
                                         << "" << 0;
    QTest::newRow("spaces") << "  h : 80 "
                            << ""
                            << "h" << 80;
    QTest::newRow("spaces strict") << "h: 80"
                                   << "s"
                                   << "" << 0;
    QTest::newRow("space in name strict") << "a b:80"
                                          << "s"
                                          << "" << 0;
    QTest::newRow("only spaces") << "   "
                                 << "o"
                                 << "" << 0;
    QTest::newRow("too long") << QString(300, u'a') + ":80"
                              << ""
                              << "" << 0;
}

void TestHostPort::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, rules);
    QFETCH(QString, host);
    QFETCH(int, port);
    HostPortRules r;
    r.portOptional = rules.contains(u'o');
    r.defaultPort = r.portOptional ? 9 : 0;
    r.ignoreExtraPieces = rules.contains(u'x');
    r.strict = rules.contains(u's');
    const HostPort a = parseHostPort(text, r);
    QCOMPARE(a.ok, !host.isEmpty());
    QCOMPARE(a.host, host);
    QCOMPARE(int(a.port), port);
}

QTEST_GUILESS_MAIN(TestHostPort)
#include "tst_hostport.moc"
