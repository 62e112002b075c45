#include "headlessrun.h"

#include "gameserver.h"
#include "headlessportmapping.h"
#include "operatorinput.h"
#include "server/core/messages.h"
#include "servercommandline.h"

#include <QCoreApplication>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zb {

void printLogLine(const QString &line)
{
    QString text = line;
    if (text.endsWith(QLatin1String("\r\n"))) text.chop(2);
    text += QLatin1Char('\n');
    std::fputs(text.toLocal8Bit().constData(), stdout);
    // A pipe or a journal sees each line as it happens.
    std::fflush(stdout);
}

int runHeadless(const ServerCommandLine &commandLine)
{
#ifdef __GLIBC__
    // Keep glibc's default mmap threshold instead of letting it climb after
    // the first large buffer is freed: big read buffers of a stroke burst then
    // go back to the system rather than stay in the heap of a room that runs
    // for weeks.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    GameServer server(commandLine.tickMs());
    server.config().setLobbyOverride(commandLine.lobbyAddress());
    server.config().setWebPlayer(!commandLine.isSet(commandLine.noWeb));
    QObject::connect(&server.log(), &RoomLog::line, &printLogLine);
    server.prepare();

    ServerSettings settings = server.config().load();
    if (!commandLine.applyTo(settings)) return 2;
    // Without a window nobody changes a setting: the run saves none.
    server.config().setRunOptions(settings, ServerSettings::AllFields);

    switch (server.startOrApply(settings)) {
    case GameServer::StartResult::NoWords:
        printError(msg::NothingLoaded);
        return 1;
    case GameServer::StartResult::PortRefused:
        printError(server.startError());
        return 1;
    default:
        break;
    }
    // Not a log line: tells scripts and hosts that the room now takes players.
    printError(QStringLiteral("%1: listening on port %2")
                   .arg(QCoreApplication::applicationName())
                   .arg(server.listeningPort()));
    OperatorInput input(server);
    HeadlessPortMapping portMapping(server, commandLine.portMap());
    return QCoreApplication::exec();
}

} // namespace zb
