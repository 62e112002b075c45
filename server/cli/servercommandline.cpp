#include "server/cli/servercommandline.h"

#include "server/core/questionbank.h"
#include "shared/fileutil.h"
#include "shared/version.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace zb {

void printError(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputs("\n", stderr);
}

ServerCommandLine::ServerCommandLine(Program program) : m_program(program)
{
    if (program == Program::Dedicated) {
        // Accepted so that a zbserver --headless command line runs unchanged.
        headless.setFlags(QCommandLineOption::HiddenFromHelp);
        start.setFlags(QCommandLineOption::HiddenFromHelp);
    }
    m_parser.addHelpOption();
    m_parser.addOptions({headless, version, port, password, roomName, comment, players, rounds,
                         questionControl, dictMode, dict, allowSameAddress, noLobby, lobby, dataDir, start,
                         tickInterval, noWeb});
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
        setProgramFolder(dir);
    }
    QString portMapError;
    if (!readPortMapOptions(m_parser, m_portMap, portMapError)) {
        printError(portMapError);
        return 2;
    }
    // A rented server has no home router to ask.
    if (m_program == Program::Dedicated) m_portMap.enabled = m_portMap.enabled && m_portMap.asked;
    return -1;
}

bool ServerCommandLine::applyTo(ServerSettings &s, int *given) const
{
    using F = ServerSettings::Field;
    bool ok = true;
    int fields = 0;
    const auto set = [&](const QCommandLineOption &option, F field) {
        if (!isSet(option)) return false;
        fields |= field;
        return true;
    };
    if (set(port, F::Port)) s.port = m_parser.value(port);
    if (set(password, F::Password)) s.password = m_parser.value(password);
    if (set(roomName, F::RoomName)) s.roomName = m_parser.value(roomName);
    if (set(comment, F::Comment)) s.comment = m_parser.value(comment);
    if (set(players, F::PlayerMax)) s.playerMaxIndex = rangeValue(players, 3, 8, ok) - 3;
    if (set(rounds, F::RoundMax)) s.roundMaxIndex = rangeValue(rounds, 2, 5, ok) - 2;
    if (set(questionControl, F::QuestionControl)) s.questionControl = true;
    if (set(dictMode, F::DictionaryMode)) s.dictionaryMode = rangeValue(dictMode, 0, 4, ok);
    if (set(dict, F::Dictionaries)) {
        for (const QString &name : m_parser.values(dict))
            s.tickedDictionaries << QuestionBank::entryName(name);
    }
    if (set(noLobby, F::LobbyRegister)) s.lobbyRegister = false;
    if (set(allowSameAddress, F::AllowSameAddress)) s.allowSameAddress = true;
    if (given) *given = fields;
    return ok;
}

} // namespace zb
