#include "lobbyserver/filelimit.h"
#include "lobbyserver/lobbyserver.h"
#include "lobbyserver/messages.h"
#include "shared/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

namespace {

// One whole-number option of the lobby's limits.
struct LimitOption {
    QCommandLineOption option;
    int zb::LobbyLimits::*field;
    int minimum;
};

} // namespace

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

    using L = zb::LobbyLimits;
    const auto limit = [](const char *name, const char *what, int def, int L::*field, int minimum = 1) {
        return LimitOption{
            QCommandLineOption(QString::fromLatin1(name),
                               QStringLiteral("%1 (default %2).").arg(QLatin1String(what)).arg(def),
                               QStringLiteral("N"), QString::number(def)),
            field, minimum};
    };
    const LimitOption limitOptions[] = {
        limit("max-connections-per-address", "Connections one address may hold",
              L::DefaultConnectionsPerAddress, &L::connectionsPerAddress),
        limit("max-rooms-per-address", "Game servers one address may register", L::DefaultRoomsPerAddress,
              &L::roomsPerAddress),
        limit("max-connections-per-network", "Connections one /24 (IPv4) or /48 (IPv6) may hold",
              L::DefaultConnectionsPerNetwork, &L::connectionsPerNetwork),
        limit("max-rooms-per-network", "Game servers one /24 (IPv4) or /48 (IPv6) may register",
              L::DefaultRoomsPerNetwork, &L::roomsPerNetwork),
        limit("max-connections", "Connections the lobby holds in all", L::DefaultMaxConnections,
              &L::maxConnections),
        limit("max-rooms", "Rooms in the list", L::DefaultMaxRooms, &L::maxRooms),
        limit("max-list-bytes", "Bytes of the encoded room list", L::DefaultMaxListBytes, &L::maxListBytes),
        limit("update-interval-ms", "Least time between two room lists, and between two name lists",
              L::DefaultUpdateIntervalMs, &L::updateIntervalMs, 0),
        limit("room-hold-ms", "Least time between two changes of one room in the list", L::DefaultRoomHoldMs,
              &L::roomHoldMs, 0),
        limit("chat-lines", "Chat lines relayed per player within the chat window", L::DefaultChatLines,
              &L::chatLines),
        limit("chat-window-ms", "The chat window", L::DefaultChatWindowMs, &L::chatWindowMs),
        limit("max-reach-checks",
              "Checks whether players can reach a room, running at once; 0 checks no room",
              L::DefaultMaxReachChecks, &L::maxReachChecks, 0),
    };
    for (const LimitOption &o : limitOptions)
        parser.addOption(o.option);
    parser.process(app);

    bool ok = false;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        std::fprintf(stderr, "zblobby: invalid port: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    zb::LobbyLimits limits;
    for (const LimitOption &o : limitOptions) {
        const QString text = parser.value(o.option);
        const int value = text.toInt(&ok);
        if (!ok || value < o.minimum) {
            std::fprintf(stderr, "zblobby: invalid --%s: %s\n", qPrintable(o.option.names().first()),
                         qPrintable(text));
            return 2;
        }
        limits.*o.field = value;
    }
    // Only the room limit may keep a room out of the list, never the list's size.
    if (qint64(limits.maxRooms) * zb::RoomListing::MaxRecordBytes > limits.maxListBytes) {
        std::fprintf(stderr, "zblobby: --max-list-bytes must hold --max-rooms records of %d bytes (%lld)\n",
                     zb::RoomListing::MaxRecordBytes,
                     qint64(limits.maxRooms) * zb::RoomListing::MaxRecordBytes);
        return 2;
    }

    const long files = zb::raiseFileLimit();

    zb::LobbyServer lobby;
    lobby.setLimits(limits);
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
    // Every connection holds a descriptor: the operator should know how many the lobby may hold.
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    std::printf("%s\n", qPrintable(zb::msg::openFileLimit(now, files)));
    std::fflush(stdout);
    return app.exec();
}
