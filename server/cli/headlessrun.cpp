#include "server/cli/headlessrun.h"

#include "server/cli/headlessportmapping.h"
#include "server/cli/operatorinput.h"
#include "server/cli/servercommandline.h"
#include "server/core/gameserver.h"
#include "server/texts/messages.h"
#include "shared/version.h"

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

namespace {

// What the room runs with, options and stored values together, for a host
// who did not type them all.
void reportSettings(GameServer &server, bool mapping)
{
    const ServerSettings &s = server.settings();
    const QString lobby = server.lobby().address();
    const auto show = [&server](const QString &caption, const QString &value) {
        server.log().system(msg::settingShown(caption, value));
    };
    show(msg::PortCaption, QString::number(server.listeningPort()));
    show(msg::RoomNameCaption, s.roomName);
    show(msg::CommentCaption, s.comment);
    show(msg::PasswordCaption, s.password.isEmpty() ? msg::PasswordNone : msg::PasswordSet);
    show(msg::PlayerMaxCaption, msg::playerMaxItem(s.playerMax()));
    show(msg::RoundMaxCaption, msg::roundMaxItem(s.roundMax()));
    show(
        msg::LobbyRegisterCaption,
        msg::lobbyShown(s.lobbyRegister, lobby.isEmpty() ? QString::fromLatin1(DefaultLobbyAddress) : lobby));
    show(msg::AutoOpenPort, mapping ? msg::RegisterOn : msg::RegisterOff);
}

} // namespace

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
    const bool dedicated = commandLine.program() == ServerCommandLine::Program::Dedicated;
    // zbserverd runs with its options alone, never with what the console saved.
    server.config().setStoredSettings(!dedicated);
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
    PortMapConfig portMap = commandLine.portMap();
    // zbserver follows the console's box unless told; zbserverd reads nothing the console stored.
    if (!dedicated && !portMap.asked) portMap.enabled = portMap.enabled && loadPortMapSetting();
    reportSettings(server, portMap.enabled);
    int code = 0;
    {
        OperatorInput input(server);
        HeadlessPortMapping portMapping(server, portMap);
        code = QCoreApplication::exec();
    }
    // After the router has let go of the port, if it held it.
    server.log().system(msg::ServerStopped);
    return code;
}

} // namespace zb
