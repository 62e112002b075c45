// Client memory: the client core (connection, command handler, canvas)
// joined to a real zbserver, replaying N relayed 5000-point strokes. Prints
// its own resident memory as RESULT lines like zbload.
//   clientmem ZBSERVER DATA_DIR [STROKES]

#include "client/core/gameclient.h"
#include "shared/lineframer.h"
#include "shared/stroke.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

namespace {

long statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void result(const char *metric, double value)
{
    std::printf("RESULT memory/client %s %.6g\n", metric, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: clientmem ZBSERVER DATA_DIR [STROKES]\n");
        return 2;
    }
    const int strokes = argc > 3 ? std::max(2, atoi(argv[3])) : 1000;

    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.setStandardOutputFile(QProcess::nullDevice());
    // Strokes as fast as the client takes them, past a room's flood budget.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZB_BENCH_STROKE_BUDGET_KIB"), QStringLiteral("2097151"));
    env.insert(QStringLiteral("ZB_NO_ROUTER_SEARCH"), QStringLiteral("1"));
    server.setProcessEnvironment(env);
    server.start(QString::fromLocal8Bit(argv[1]),
                 {QStringLiteral("--headless"), QStringLiteral("--port"), QString::number(port),
                  QStringLiteral("--no-lobby"), QStringLiteral("--data-dir"),
                  QString::fromLocal8Bit(argv[2])});
    if (!server.waitForStarted(5000)) return 1;

    zb::GameClient client;
    client.setBindAddress(QHostAddress(QStringLiteral("127.0.0.2")));
    QTcpSocket sender;
    sender.bind(QHostAddress(QStringLiteral("127.0.0.3")));

    QList<QPointF> points;
    for (int i = 0; i < zb::MaxStrokePoints; ++i)
        points.append(QPointF(20 + (i * 7) % 600, 20 + (i * 13) % 440));
    const QByteArray line = "STK " + zb::encodeStroke(0, 28, points).toLatin1() + "\r\n";

    int received = 0;
    int sent = 0;
    long seated = -1;
    long half = -1;
    bool joined = false;
    auto pump = [&] {
        while (joined && sent < strokes && sent - received < 4) {
            sender.write(line);
            ++sent;
        }
    };
    QObject::connect(&client.connection(), &zb::GameConnection::lineReceived, &app,
                     [&](const QString &command, const QString &) {
                         if (command == QLatin1String("NMS") && !joined &&
                             sender.state() == QAbstractSocket::ConnectedState) {
                             joined = true;
                             seated = statusKiB("VmRSS");
                         }
                         if (command != QLatin1String("STK")) return;
                         if (++received == strokes / 2) half = statusKiB("VmRSS");
                         if (received == strokes) app.quit();
                         pump();
                     });
    QObject::connect(&sender, &QTcpSocket::connected, &app, [&] {
        sender.write("PSW \r\nVER 1.16\r\nNAM sender\r\n");
        QTimer::singleShot(200, &app, pump);
    });
    // Retry until the server listens.
    QTimer retry;
    QObject::connect(&retry, &QTimer::timeout, &app, [&] {
        if (!client.isConnected() && client.connection().state() == zb::GameConnection::State::Closed)
            client.connectToRoom(QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("client"),
                                 QString());
        if (client.isConnected() && sender.state() == QAbstractSocket::BoundState)
            sender.connectToHost(QHostAddress::LocalHost, port);
        pump();
    });
    retry.start(100);

    QTimer::singleShot(300000, &app, [&] { app.exit(1); });
    const int rc = app.exec();
    const long end = statusKiB("VmRSS");
    result("strokes", received);
    result("rss_seated_mb", seated / 1024.0);
    result("rss_half_mb", half / 1024.0);
    result("rss_end_mb", end / 1024.0);
    result("peak_rss_mb", statusKiB("VmHWM") / 1024.0);
    result("growth_second_half_mb", (end - half) / 1024.0);
    server.terminate();
    server.waitForFinished(3000);
    return rc;
}
