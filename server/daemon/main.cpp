// zbserverd: the game server for hosts without a desktop. The same run as
// zbserver --headless, built without any window, sound or desktop library.
#include "server/cli/headlessrun.h"
#include "server/cli/servercommandline.h"
#include "server/texts/messages.h"
#include "shared/version.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zbserverd"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(zb::ProtocolVersion));

    zb::ServerCommandLine commandLine(zb::ServerCommandLine::Program::Dedicated);
    commandLine.parser().setApplicationDescription(zb::msg::DedicatedProgramDescription);
    if (const int code = commandLine.process(app); code >= 0) return code;
    return zb::runHeadless(commandLine);
}
