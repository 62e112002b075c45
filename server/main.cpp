// zbserver: the console window, or with --headless the same server with its
// log on standard output and operator commands on standard input.
#include "fileutil.h"
#include "gameserver.h"
#include "headlessportmapping.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef ZB_WITH_CONSOLE
#include "addresspanel.h"
#include "serverconsole.h"
#include <QApplication>
#endif

namespace {

void printErr(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputs("\n", stderr);
}

void printOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

struct Options {
    QCommandLineOption headless{QStringLiteral("headless"),
                                QStringLiteral("Run without a window: log on standard "
                                               "output, operator commands on standard "
                                               "input (kick N, ban N, say TEXT).")};
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
    QCommandLineOption dictMode{
        QStringLiteral("dict-mode"),
        QStringLiteral("Dictionaries: 0 built-in only, 1 added only, 2 built-in + added, 3 "
                       "built-in + added twice, 4 built-in twice + added."),
        QStringLiteral("N")};
    QCommandLineOption dict{
        QStringLiteral("dict"),
        QStringLiteral("An added dictionary to use, as listed (\"x.zbq\" or \"zbq/x.zbq\"); "
                       "repeatable."),
        QStringLiteral("NAME")};
    QCommandLineOption noLobby{QStringLiteral("no-lobby"),
                               QStringLiteral("Do not register the room with the lobby.")};
    QCommandLineOption lobby{QStringLiteral("lobby"), QStringLiteral("Lobby server address."),
                             QStringLiteral("HOST:PORT")};
    QCommandLineOption dataDir{
        QStringLiteral("data-dir"),
        QStringLiteral("Folder for dictionaries and ban.txt (default: the program's folder)."),
        QStringLiteral("DIR")};
    QCommandLineOption start{QStringLiteral("start"),
                             QStringLiteral("With the window: press the start button at once, with the "
                                            "stored settings.")};
    QCommandLineOption tickMs{QStringLiteral("tick-ms"),
                              QStringLiteral("Length of the one-second tick in ms (default 1000)."),
                              QStringLiteral("N")};

    void addTo(QCommandLineParser &parser)
    {
        parser.addOptions({headless, version, port, password, roomName, comment, players, rounds,
                           questionControl, dictMode, dict, noLobby, lobby, dataDir, start, tickMs});
    }
};

// A number option within [low, high]; `ok` turns false on a bad value.
int rangeValue(const QCommandLineParser &parser, const QCommandLineOption &option, int low, int high,
               bool &ok)
{
    bool converted = false;
    const QString text = parser.value(option);
    const int value = text.toInt(&converted);
    if (!converted || value < low || value > high) {
        printErr(QStringLiteral("--%1: %2 is not a number from %3 to %4")
                     .arg(option.names().constLast(), text)
                     .arg(low)
                     .arg(high));
        ok = false;
    }
    return value;
}

// Operator commands typed on standard input, one per line.
class OperatorInput : public QObject {
  public:
    explicit OperatorInput(zb::GameServer &server)
        : m_server(server), m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &OperatorInput::readInput);
    }

  private:
    // Reads what has arrived without blocking, and without making the
    // terminal's input non-blocking for the shell that started us.
    void readInput()
    {
        int available = 0;
        if (::ioctl(STDIN_FILENO, FIONREAD, &available) < 0) available = 0;
        QByteArray chunk(qMax(available, 1), Qt::Uninitialized);
        const ssize_t n = ::read(STDIN_FILENO, chunk.data(), size_t(chunk.size()));
        if (n <= 0) {
            // End of input: the server keeps running.
            m_notifier.setEnabled(false);
            return;
        }
        m_pending.append(chunk.constData(), n);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            if (!line.isEmpty()) run(line);
        }
    }

    void run(const QString &line)
    {
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
        if (word == QLatin1String("say")) {
            m_server.announce(rest);
            return;
        }
        if (word == QLatin1String("kick") || word == QLatin1String("ban")) {
            bool ok = false;
            const int slot = rest.toInt(&ok);
            if (ok && slot >= 0 && slot < zb::GameServer::Slots) {
                m_server.kick(slot, word == QLatin1String("ban"));
                return;
            }
            printErr(QStringLiteral("%1: a slot number from 0 to 7 is needed").arg(word));
            return;
        }
        printErr(QStringLiteral("unknown command: %1 (kick N, ban N, say TEXT)").arg(word));
    }

    zb::GameServer &m_server;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

int runHeadless(const QCommandLineParser &parser, Options &o, int tickMs, const zb::PortMapConfig &portMap)
{
    zb::GameServer server(tickMs);
    server.setLobbyAddressOverride(parser.value(o.lobby));
    QObject::connect(&server, &zb::GameServer::logLine, [](const QString &line) {
        QString text = line;
        if (text.endsWith(QLatin1String("\r\n"))) text.chop(2);
        printOut(text + QLatin1Char('\n'));
    });
    server.Form_Load();

    zb::ServerSettings s = server.loadSettings();
    bool ok = true;
    if (parser.isSet(o.port)) s.port = parser.value(o.port);
    if (parser.isSet(o.password)) s.password = parser.value(o.password);
    if (parser.isSet(o.roomName)) s.roomName = parser.value(o.roomName);
    if (parser.isSet(o.comment)) s.comment = parser.value(o.comment);
    if (parser.isSet(o.players)) s.playerMaxIndex = rangeValue(parser, o.players, 3, 8, ok) - 3;
    if (parser.isSet(o.rounds)) s.roundMaxIndex = rangeValue(parser, o.rounds, 2, 5, ok) - 2;
    if (parser.isSet(o.questionControl)) s.questionControl = true;
    if (parser.isSet(o.dictMode)) s.dictionaryMode = rangeValue(parser, o.dictMode, 0, 4, ok);
    s.tickedDictionaries = parser.values(o.dict);
    if (parser.isSet(o.noLobby)) s.lobbyRegister = false;
    if (!ok) return 2;

    switch (server.cmdStartServer_Click(s)) {
    case zb::GameServer::StartResult::NoWords:
        printErr(QStringLiteral("なにも辞書が読み込まれていません！"));
        return 1;
    case zb::GameServer::StartResult::PortRefused:
        printErr(server.startError());
        return 1;
    default:
        break;
    }
    // Not a log line: tells scripts and hosts that the room now takes players.
    printErr(QStringLiteral("zbserver: listening on port %1").arg(server.listeningPort()));
    OperatorInput input(server);
    zb::HeadlessPortMapping portMapping(server, portMap);
    return QCoreApplication::exec();
}

#ifdef ZB_WITH_CONSOLE
int runWindow(int tickMs, const QString &lobby, bool start, const zb::PortMapConfig &portMap)
{
    zb::GameServer server(tickMs);
    server.setLobbyAddressOverride(lobby);
    zb::ServerConsole console(&server);
    console.picAddress->setOptions(portMap);
    zb::quitOnTerminationSignals();
    console.show();
    if (start) QTimer::singleShot(0, &console, &zb::ServerConsole::cmdStartServer_Click);
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ゼンブリル game server."));
    parser.addHelpOption();
    Options o;
    o.addTo(parser);
    parser.addOptions(zb::portMapOptions());
    parser.process(*app);
    if (parser.isSet(o.version)) {
        printOut(QString::fromLatin1(zb::ProtocolVersion) + QLatin1Char('\n'));
        return 0;
    }

    int tickMs = 1000;
    if (parser.isSet(o.tickMs)) {
        bool ok = true;
        tickMs = rangeValue(parser, o.tickMs, 1, 3600 * 1000, ok);
        if (!ok) return 2;
    }
    if (parser.isSet(o.dataDir)) {
        const QString dir = parser.value(o.dataDir);
        if (!QDir(dir).exists()) {
            printErr(QStringLiteral("--data-dir: no such folder: %1").arg(dir));
            return 2;
        }
        zb::SetProgramFolder(dir);
    }

    zb::PortMapConfig portMap;
    QString portMapError;
    if (!zb::readPortMapOptions(parser, portMap, portMapError)) {
        printErr(portMapError);
        return 2;
    }

    if (parser.isSet(o.headless)) {
        return runHeadless(parser, o, tickMs, portMap);
    }
#ifdef ZB_WITH_CONSOLE
    return runWindow(tickMs, parser.value(o.lobby), parser.isSet(o.start), portMap);
#else
    printErr(QStringLiteral("this zbserver was built without its window: use --headless"));
    return 2;
#endif
}
