// zbwebdoor: the room's web front door on its own, for the browser tests and
// for working on the web player. It serves the player on 127.0.0.1 and prints
// "port N" once listening, then every line a browser sends as "< line".
// With --script FILE it plays a scripted room to each browser once its NAM
// has come: every line of the file (UTF-8) is sent as it stands, except
// "wait MS", which pauses, "await PREFIX", which waits for a line from the
// browser that starts with PREFIX, and blank lines and lines starting with "#".
#include "server/web/connectionsorter.h"
#include "server/web/webfrontdoor.h"
#include "server/web/websocketlines.h"
#include "shared/cp932.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace zb;

namespace {
void say(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Play {
    QStringList rest;
    QString awaiting;
};

void play(QPointer<WebSocketLines> seat, std::shared_ptr<Play> state)
{
    while (!state->rest.isEmpty() && seat) {
        const QString line = state->rest.takeFirst();
        if (line.startsWith(QLatin1String("wait "))) {
            QTimer::singleShot(line.mid(5).toInt(), seat, [seat, state] { play(seat, state); });
            return;
        }
        if (line.startsWith(QLatin1String("await "))) {
            state->awaiting = line.mid(6);
            return;
        }
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        seat->sendBlock(toCp932(line + QStringLiteral("\r\n")));
    }
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."),
                       QStringLiteral("port"), QStringLiteral("0")});
    options.addOption({QStringLiteral("script"), QStringLiteral("A scripted room to play to each browser."),
                       QStringLiteral("file")});
    options.process(app);

    QStringList script;
    if (options.isSet(QStringLiteral("script"))) {
        QFile file(options.value(QStringLiteral("script")));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fputs("cannot read the script\n", stderr);
            return 2;
        }
        script = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (QString &line : script) {
            if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        }
    }

    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, quint16(options.value(QStringLiteral("port")).toUInt()))) {
        std::fputs("cannot listen\n", stderr);
        return 2;
    }
    ConnectionSorter sorter;
    WebFrontDoor door(listener.serverPort());
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = listener.nextPendingConnection())
            sorter.sort(socket);
    });
    QObject::connect(&sorter, &ConnectionSorter::httpRequest, &door, &WebFrontDoor::handleConnection);
    QObject::connect(&sorter, &ConnectionSorter::gameConnection, [](QTcpSocket *socket) {
        socket->abort();
        socket->deleteLater();
    });
    QObject::connect(&door, &WebFrontDoor::socketUpgraded, [&](QWebSocket *socket, const QString &address) {
        auto *seat = new WebSocketLines(socket, &app);
        say(QStringLiteral("open ") + address);
        auto state = std::make_shared<Play>();
        QObject::connect(seat, &WebSocketLines::linesReceived, seat,
                         [seat, script, state](const QByteArray &, const QList<QByteArrayView> &lines) {
                             for (const QByteArrayView line : lines) {
                                 const QString text = fromCp932(line.toByteArray());
                                 say(QStringLiteral("< ") + text);
                                 if (text.startsWith(QLatin1String("NAM ")) && state->rest.isEmpty()) {
                                     state->rest = script;
                                     play(seat, state);
                                 } else if (!state->awaiting.isEmpty() && text.startsWith(state->awaiting)) {
                                     state->awaiting.clear();
                                     play(seat, state);
                                 }
                             }
                         });
        QObject::connect(seat, &WebSocketLines::closed, seat, [seat] {
            say(QStringLiteral("closed"));
            seat->deleteLater();
        });
    });
    say(QStringLiteral("port %1").arg(listener.serverPort()));
    return app.exec();
}
