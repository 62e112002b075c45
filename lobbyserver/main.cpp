#include "lobbyserver.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zblobby"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(zb::ProtocolVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lobby server: lists the open game rooms and carries the lobby chat."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("TCP port to listen on (default %1).").arg(zb::DefaultLobbyPort), QStringLiteral("N"),
        QString::number(zb::DefaultLobbyPort));
    parser.addOption(portOption);
    parser.process(app);

    bool ok = false;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        std::fprintf(stderr, "zblobby: invalid port: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    zb::LobbyServer lobby;
    QObject::connect(&lobby, &zb::LobbyServer::logLine, [](const QString &line) {
        std::fputs(line.toUtf8().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    if (!lobby.listen(QHostAddress::Any, quint16(port))) {
        std::fprintf(stderr, "zblobby: cannot listen on port %d: %s\n", port,
                     qPrintable(lobby.errorString()));
        return 1;
    }
    return app.exec();
}
