// zbserver: the console window, or with --headless the same server with its
// log on standard output and operator commands on standard input.
#include "server/cli/headlessrun.h"
#include "server/cli/servercommandline.h"
#include "server/core/gameserver.h"
#include "server/texts/messages.h"
#include "shared/version.h"

#include <QCoreApplication>
#include <QTimer>
#include <memory>

#ifdef ZB_WITH_CONSOLE
#include "desktop/desktop.h"
#include "server/cli/terminationsignals.h"
#include "server/console/addresspanel.h"
#include "server/console/serverconsole.h"
#include <QApplication>
#endif

namespace {

#ifdef ZB_WITH_CONSOLE
int runWindow(const zb::ServerCommandLine &commandLine)
{
    // The options fill the boxes for this run; the host may still change them there.
    zb::ServerSettings options;
    int given = 0;
    if (!commandLine.applyTo(options, &given)) return 2;
    zb::GameServer server(commandLine.tickMs());
    server.config().setLobbyOverride(commandLine.lobbyAddress());
    server.config().setRunOptions(options, given);
    server.config().setWebPlayer(!commandLine.isSet(commandLine.noWeb));
    zb::installQtTranslations();
    zb::ServerConsole console(&server);
    console.setPortMapOptions(commandLine.portMap());
    // Closing on a signal goes the ordinary way out, which removes the port mapping.
    zb::quitOnTerminationSignals();
    console.show();
    const bool start = commandLine.isSet(commandLine.start);
    if (start) QTimer::singleShot(0, &console, &zb::ServerConsole::startOrApply);
    return QApplication::exec();
}
#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef ZB_WITH_CONSOLE
    // Only a run that opens the window needs a display; help and version do not.
    bool windowless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--headless" || arg == "--help" || arg == "-h" || arg == "--version" || arg == "-v")
            windowless = true;
    }
    std::unique_ptr<QCoreApplication> app = windowless ? std::make_unique<QCoreApplication>(argc, argv)
                                                       : std::make_unique<QApplication>(argc, argv);
#else
    auto app = std::make_unique<QCoreApplication>(argc, argv);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("zbserver"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(zb::ProtocolVersion));

    zb::ServerCommandLine commandLine(zb::ServerCommandLine::Program::Window);
    commandLine.parser().setApplicationDescription(zb::msg::WindowProgramDescription);
    if (const int code = commandLine.process(*app); code >= 0) return code;

    if (commandLine.isSet(commandLine.headless)) return zb::runHeadless(commandLine);
#ifdef ZB_WITH_CONSOLE
    return runWindow(commandLine);
#else
    zb::printError(QStringLiteral("this zbserver was built without its window: use --headless"));
    return 2;
#endif
}
