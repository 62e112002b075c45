// The lobby window's dispatcher fed arbitrary lobby lines: no fault, and no
// room field, whatever it holds, adds markup to the page or a link that
// leaves the page for anything but the web.

#include "tests/fuzz/fuzzcheck.h"

#include "client/lobby/lobbysession.h"
#include "client/lobby/serverlistpage.h"
#include "shared/cp932.h"
#include "shared/lineframer.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace {

const char *const Commands[] = {"SRV", "HDR", "FTR", "NMS", "MSG", "SYM"};
constexpr int CommandCount = sizeof(Commands) / sizeof(Commands[0]);

QTemporaryDir *g_dir = nullptr;

int markup(const QString &html)
{
    return static_cast<int>(html.count(QLatin1Char('<')) + html.count(QLatin1Char('>')) +
                            html.count(QLatin1Char('"')));
}

QString plain(QString s)
{
    for (const char c : {'<', '>', '"', '&', '\''})
        s.replace(QLatin1Char(c), QLatin1Char('x'));
    return s;
}

void checkRooms(const zb::LobbySession &session)
{
    const QList<zb::ServerInfo> &rooms = session.rooms();
    for (int i = 0; i < rooms.size(); ++i) {
        const zb::ServerInfo &room = rooms[i];
        zb::ServerInfo harmless = room;
        for (QString *f : {&harmless.address, &harmless.roomname, &harmless.gametype, &harmless.comment,
                           &harmless.zbq, &harmless.version, &harmless.password, &harmless.players,
                           &harmless.playercount, &harmless.playermax})
            *f = plain(*f);
        ZB_FUZZ_CHECK(markup(zb::ServerListPage::rowHtml(room, i)) ==
                      markup(zb::ServerListPage::rowHtml(harmless, i)));
        zb::ServerListPage::roomDetailsText(room);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_dir = new QTemporaryDir;
    qputenv("XDG_CONFIG_HOME", g_dir->filePath(QStringLiteral("config")).toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz_lobbydispatch";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zb::LobbySession session;
    session.setPageFile(g_dir->filePath(QStringLiteral("serverlist.html")));

    zb::fuzz::Input in(data, size);
    int records = 0;
    while (!in.empty() && records++ < 32) {
        const uint8_t op = in.byte();
        const int kind = op % 8;
        // The record runs to the next LF (or the end).
        const QString text = zb::fromCp932(in.line());
        if (kind < CommandCount) {
            session.dispatch(QString::fromLatin1(Commands[kind]), text);
        } else if (kind == 6) {
            const zb::Line line = zb::splitLine(text);
            session.dispatch(line.command, line.payload);
        } else {
            // A link of the page clicked or hovered.
            const zb::LinkTarget target = session.resolveLink(QUrl(text));
            if (target.kind == zb::LinkTarget::External) {
                const QString scheme = QUrl(target.address).scheme().toLower();
                ZB_FUZZ_CHECK(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
            }
            if (target.kind == zb::LinkTarget::Room)
                ZB_FUZZ_CHECK(target.room >= 0 && target.room < session.rooms().size());
            session.serverInfoText(target.room);
        }
        checkRooms(session);
    }
    return 0;
}
