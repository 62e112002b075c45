#pragma once

#include "server/core/serversettings.h"
#include "server/portmap/portmapper.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

class QCoreApplication;

namespace zb {

// The command line of the game server, one set for zbserver and zbserverd so
// that a host can swap the two programs without changing a word.
//
// A new option is one member below, added to the parser in the constructor
// and read either in applyTo() (a room setting) or by whoever needs it.
class ServerCommandLine {
  public:
    enum class Program {
        Window,   // zbserver: the console window unless --headless
        Dedicated // zbserverd: always headless; --headless and --start are accepted but not shown
    };

    explicit ServerCommandLine(Program program);

    Program program() const { return m_program; }

    QCommandLineParser &parser() { return m_parser; }
    const QCommandLineParser &parser() const { return m_parser; }
    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }

    // Parses the arguments and handles what ends the run at once: help,
    // version and a bad --tick-ms, --data-dir or router option. Returns the exit code then,
    // or -1 to go on. Applies --data-dir.
    int process(const QCoreApplication &app);

    int tickMs() const { return m_tickMs; }
    // Router port mapping as --no-upnp, --upnp, --igd-url and --natpmp-gateway
    // say; zbserverd maps only when asked, having no home router as a rule.
    const PortMapConfig &portMap() const { return m_portMap; }
    // Lobby address for this run; empty means the stored one.
    QString lobbyAddress() const { return m_parser.value(lobby); }
    // The room options over the given (stored) settings; `given` gets the
    // fields they set. False, after saying which value is wrong on standard
    // error, when one is out of range.
    bool applyTo(ServerSettings &settings, int *given = nullptr) const;

    QCommandLineOption headless{QStringLiteral("headless"),
                                QStringLiteral("Run without a window: log on standard output, operator "
                                               "commands on standard input (players, kick N, ban N, say "
                                               "TEXT, help).")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Print the protocol version and exit.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Listening port (default: stored, 27064)."), QStringLiteral("N")};
    QCommandLineOption password{QStringLiteral("password"), QStringLiteral("Room password (not stored)."),
                                QStringLiteral("TEXT")};
    QCommandLineOption roomName{QStringLiteral("room-name"), QStringLiteral("Room name shown in the lobby."),
                                QStringLiteral("TEXT")};
    QCommandLineOption comment{QStringLiteral("comment"), QStringLiteral("Room comment shown in the lobby."),
                               QStringLiteral("TEXT")};
    QCommandLineOption players{QStringLiteral("players"), QStringLiteral("Seats, 3 to 8."),
                               QStringLiteral("N")};
    QCommandLineOption rounds{QStringLiteral("rounds"), QStringLiteral("Rounds per game, 2 to 5."),
                              QStringLiteral("N")};
    QCommandLineOption questionControl{QStringLiteral("question-control"),
                                       QStringLiteral("No word comes up twice until the pool is used up.")};
    QCommandLineOption dictMode{QStringLiteral("dict-mode"),
                                QStringLiteral("Dictionaries: 0 built-in only, 1 added only, 2 built-in + "
                                               "added, 3 built-in + added twice, 4 built-in twice + added."),
                                QStringLiteral("N")};
    QCommandLineOption dict{QStringLiteral("dict"),
                            QStringLiteral("An added dictionary to use, as listed (\"x.zbq\" or "
                                           "\"zbq/x.zbq\"); repeatable."),
                            QStringLiteral("NAME")};
    QCommandLineOption allowSameAddress{
        QStringLiteral("allow-same-address"),
        QStringLiteral("Seat more than one player from the same IP address (players behind one router).")};
    QCommandLineOption noLobby{QStringLiteral("no-lobby"),
                               QStringLiteral("Do not register the room with the lobby.")};
    QCommandLineOption lobby{QStringLiteral("lobby"), QStringLiteral("Lobby server address."),
                             QStringLiteral("HOST:PORT")};
    QCommandLineOption dataDir{
        QStringLiteral("data-dir"),
        QStringLiteral("Folder for added dictionaries and ban.txt; a default.dat there replaces the "
                       "built-in one (default: the program's folder, or ~/.local/share/zembrill when "
                       "installed)."),
        QStringLiteral("DIR")};
    QCommandLineOption start{QStringLiteral("start"),
                             QStringLiteral("With the window: press the start button at once, with the "
                                            "stored settings and these options.")};
    QCommandLineOption noWeb{QStringLiteral("no-web"),
                             QStringLiteral("Do not answer browsers on the room's port: no web player.")};
    QCommandLineOption tickInterval{QStringLiteral("tick-ms"),
                                    QStringLiteral("Length of the one-second tick in ms (default 1000)."),
                                    QStringLiteral("N")};

  private:
    // A number option within [low, high]; `ok` turns false on a bad value.
    int rangeValue(const QCommandLineOption &option, int low, int high, bool &ok) const;

    Program m_program;
    QCommandLineParser m_parser;
    int m_tickMs = 1000;
    PortMapConfig m_portMap;
};

// Messages for the operator that are not log lines (errors, the listening
// notice): one line on standard error.
void printError(const QString &text);

} // namespace zb
