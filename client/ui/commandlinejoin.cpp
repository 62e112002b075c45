#include "client/ui/commandlinejoin.h"

#include "client/ui/connectdialog.h"
#include "client/ui/gamewindow.h"
#include "shared/joinlink.h"
#include "shared/textclean.h"

#include <QCommandLineParser>

namespace zb {

namespace {
const QString ConnectOption = QStringLiteral("connect");
const QString NameOption = QStringLiteral("name");
// Shown back in an error message: enough to recognise, never a screenful.
constexpr int ShownLength = 80;

QString shown(const QString &text)
{
    return escapeControlChars(text.left(ShownLength)) +
           (text.size() > ShownLength ? QStringLiteral("…") : QString());
}
} // namespace

QList<QCommandLineOption> joinOptions()
{
    return {QCommandLineOption(ConnectOption, QStringLiteral("Join the room at this address."),
                               QStringLiteral("HOST:PORT")),
            QCommandLineOption(NameOption,
                               QStringLiteral("Join under this name (not stored). Without it the stored "
                                              "name is used, or the connect dialog waits for one."),
                               QStringLiteral("NAME"))};
}

QStringList takeNameOption(int &argc, char **argv)
{
    QStringList taken;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--") {
            // Everything after the terminator is positional and stays.
            while (i < argc)
                argv[kept++] = argv[i++];
            break;
        }
        if (arg == "--name" && i + 1 < argc) {
            taken << QString::fromLocal8Bit(arg) << QString::fromLocal8Bit(argv[++i]);
        } else if (arg.startsWith("--name=")) {
            taken << QString::fromLocal8Bit(arg);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return taken;
}

bool readJoinRequest(const QCommandLineParser &parser, JoinRequest &request, QString &error)
{
    const QStringList links = parser.positionalArguments();
    const bool byOption = parser.isSet(ConnectOption);
    if (links.size() + (byOption ? 1 : 0) > 1) {
        error = QStringLiteral("give one room to join: a zembrill:// link or --connect HOST:PORT");
        return false;
    }
    if (byOption) {
        const QString text = parser.value(ConnectOption);
        request.address = checkedHostPort(text.trimmed());
        if (request.address.isEmpty()) {
            error = QStringLiteral("--connect: not a HOST:PORT address: %1").arg(shown(text));
            return false;
        }
    } else if (!links.isEmpty()) {
        request.address = addressFromJoinLink(links.first().trimmed());
        if (request.address.isEmpty()) {
            error = QStringLiteral("not a zembrill://HOST:PORT link: %1").arg(shown(links.first()));
            return false;
        }
    }
    if (parser.isSet(NameOption)) {
        if (request.address.isEmpty()) {
            error = QStringLiteral("--name needs a room to join: a zembrill:// link or --connect");
            return false;
        }
        request.name = parser.value(NameOption);
    }
    return true;
}

void joinFromCommandLine(GameWindow &window, const JoinRequest &request)
{
    if (request.address.isEmpty()) return;
    window.openConnectDialog(request.address);
    ConnectDialog *dialog = window.connectDialog();
    if (!request.name.isEmpty()) dialog->setName(request.name);
    if (!dialog->name().isEmpty()) dialog->joinNow();
}

} // namespace zb
