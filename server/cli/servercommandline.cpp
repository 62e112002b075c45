#include "servercommandline.h"

#include "fileutil.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace zb {

void printError(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputs("\n", stderr);
}

ServerCommandLine::ServerCommandLine(Program program)
{
    if (program == Program::Dedicated) {
        // Accepted so that a zbserver --headless command line runs unchanged.
        headless.setFlags(QCommandLineOption::HiddenFromHelp);
        start.setFlags(QCommandLineOption::HiddenFromHelp);
    }
    m_parser.addHelpOption();
    m_parser.addOptions({headless, version, port, password, roomName, comment, players, rounds,
                         questionControl, dictMode, dict, noLobby, lobby, dataDir, start, tickInterval});
    m_parser.addOptions(portMapOptions());
}

int ServerCommandLine::rangeValue(const QCommandLineOption &option, int low, int high, bool &ok) const
{
    bool converted = false;
    const QString text = m_parser.value(option);
    const int value = text.toInt(&converted);
    if (!converted || value < low || value > high) {
        printError(QStringLiteral("--%1: %2 is not a number from %3 to %4")
                       .arg(option.names().constLast(), text)
                       .arg(low)
                       .arg(high));
        ok = false;
    }
    return value;
}

int ServerCommandLine::process(const QCoreApplication &app)
{
    m_parser.process(app);
    if (m_parser.isSet(version)) {
        std::fputs(ProtocolVersion, stdout);
        std::fputs("\n", stdout);
        return 0;
    }
    if (m_parser.isSet(tickInterval)) {
        bool ok = true;
        m_tickMs = rangeValue(tickInterval, 1, 3600 * 1000, ok);
        if (!ok) return 2;
    }
    if (m_parser.isSet(dataDir)) {
        const QString dir = m_parser.value(dataDir);
        if (!QDir(dir).exists()) {
            printError(QStringLiteral("--data-dir: no such folder: %1").arg(dir));
            return 2;
        }
        SetProgramFolder(dir);
    }
    QString portMapError;
    if (!readPortMapOptions(m_parser, m_portMap, portMapError)) {
        printError(portMapError);
        return 2;
    }
    return -1;
}

bool ServerCommandLine::applyTo(ServerSettings &s) const
{
    bool ok = true;
    if (isSet(port)) s.port = m_parser.value(port);
    if (isSet(password)) s.password = m_parser.value(password);
    if (isSet(roomName)) s.roomName = m_parser.value(roomName);
    if (isSet(comment)) s.comment = m_parser.value(comment);
    if (isSet(players)) s.playerMaxIndex = rangeValue(players, 3, 8, ok) - 3;
    if (isSet(rounds)) s.roundMaxIndex = rangeValue(rounds, 2, 5, ok) - 2;
    if (isSet(questionControl)) s.questionControl = true;
    if (isSet(dictMode)) s.dictionaryMode = rangeValue(dictMode, 0, 4, ok);
    s.tickedDictionaries = m_parser.values(dict);
    if (isSet(noLobby)) s.lobbyRegister = false;
    return ok;
}

} // namespace zb
