#include "client/core/messages.h"
#include "client/lobby/lobbywindow.h"
#include "client/ui/commandlinejoin.h"
#include "client/ui/gamewindow.h"
#include "desktop/desktop.h"
#include "shared/fileutil.h"
#include "shared/version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QHostAddress>
#include <cstdio>

namespace {
struct Options {
    QCommandLineParser parser;
    QCommandLineOption bind{QStringLiteral("bind"),
                            QStringLiteral("Connect to the game server from this local address."),
                            QStringLiteral("ADDRESS")};
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Folder for saved pictures and the room list, searched "
                                              "first for sounds (default: the program's folder, or "
                                              "~/.local/share/zembrill when installed)."),
                               QStringLiteral("DIR")};
    QCommandLineOption tick{QStringLiteral("tick-ms"),
                            QStringLiteral("Length of one second of the game clocks (default 1000)."),
                            QStringLiteral("N")};
    QCommandLineOption lobby{QStringLiteral("lobby"), QStringLiteral("Lobby server address."),
                             QStringLiteral("HOST:PORT")};
    QCommandLineOption openLobby{QStringLiteral("open-lobby"),
                                 QStringLiteral("Open the lobby window at start (as the setting "
                                                "LobbyAutoConnect does, without changing it).")};

    Options()
    {
        parser.setApplicationDescription(zb::msg::ProgramDescription);
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({bind, dataDir, tick, lobby, openLobby});
        parser.addOptions(zb::joinOptions());
        parser.addPositionalArgument(QStringLiteral("link"),
                                     QStringLiteral("A zembrill://HOST:PORT link to join."),
                                     QStringLiteral("[link]"));
    }
};

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("zembrill"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(zb::ProtocolVersion));
}
} // namespace

int main(int argc, char **argv)
{
    // Help and version need no display.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" || arg == "-v") {
            QCoreApplication app(argc, argv);
            setIdentity();
            Options options;
            options.parser.process(app);
            return 0;
        }
    }

    const QStringList nameOption = zb::takeNameOption(argc, argv);
    QApplication app(argc, argv);
    setIdentity();
    Options options;
    QCommandLineParser &parser = options.parser;
    parser.process(QCoreApplication::arguments() + nameOption);

    int tickMs = 1000;
    if (parser.isSet(options.tick)) {
        bool ok = false;
        tickMs = parser.value(options.tick).toInt(&ok);
        if (!ok || tickMs < 1 || tickMs > 60000) {
            std::fprintf(stderr, "zembrill: --tick-ms needs a number from 1 to 60000\n");
            return 2;
        }
    }
    QHostAddress bind;
    if (parser.isSet(options.bind)) {
        bind = QHostAddress(parser.value(options.bind));
        if (bind.isNull()) {
            std::fprintf(stderr, "zembrill: --bind needs an IP address\n");
            return 2;
        }
    }
    if (parser.isSet(options.dataDir)) zb::setProgramFolder(parser.value(options.dataDir));
    if (parser.isSet(options.lobby)) zb::LobbyWindow::setAddressOverride(parser.value(options.lobby));

    zb::installQtTranslations();
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(japanese)) {
        QFont font(japanese);
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    zb::GameWindow window;
    window.client().setTickMs(tickMs);
    if (!bind.isNull()) window.client().setBindAddress(bind);
    window.prepare();
    if (parser.isSet(options.openLobby)) window.onConnectButtonClicked();
    zb::JoinRequest join;
    QString joinError;
    if (zb::readJoinRequest(parser, join, joinError)) {
        zb::joinFromCommandLine(window, join);
    } else {
        // A link opened from a browser has no terminal: the player reads it in the window.
        std::fprintf(stderr, "zembrill: %s\n", joinError.toLocal8Bit().constData());
        window.appendSystemLine(joinError);
    }
    return app.exec();
}
