#include "client/lobby/serverlistpage.h"

#include "client/core/messages.h"
#include "client/core/playername.h"
#include "shared/fileutil.h"
#include "shared/textclean.h"

#include <QRegularExpression>

namespace zb {

namespace {
const QString RoomLinkPrefix = QStringLiteral("number:");

// Text of the rooms' own fields never becomes markup.
QString esc(const QString &s)
{
    return s.toHtmlEscaped();
}

QString playerCell(const ServerInfo &room)
{
    const QString count =
        esc(room.playercount) + QLatin1Char('/') + esc(room.playermax) + QStringLiteral("<font>");
    if (room.playercount == room.playermax) return QStringLiteral("<font color=ff0000>") + count;
    bool ok = false;
    const int n = room.playercount.toInt(&ok);
    // A count that is not a number is shown plain rather than spoiling the whole list.
    if (ok && n > 0) return QStringLiteral("<font color=008000>") + count;
    return count;
}

QString commentCell(const QString &comment)
{
    if (comment.size() <= 20) return esc(comment);
    return esc(comment.left(20)) + QStringLiteral("...");
}

QString dictionaryCell(const QString &zbq)
{
    if (zbq.contains(msg::BuiltInDictionary) && zbq.size() <= 5)
        return QStringLiteral("<font color=008000>") + msg::BuiltInOnly + QStringLiteral("</font>");
    return QStringLiteral("<font color=ff0000>") + msg::ExtraDictionaries + QStringLiteral("</font>");
}
} // namespace

ServerListPage::ServerListPage() : m_pageHtml(roomListTemplate()) {}

QString ServerListPage::roomListTemplate()
{
    const QString heading = QStringLiteral("    <TD><B><FONT color=#ffffff>%1</FONT></B></TD>");
    const QStringList lines = {
        QStringLiteral("<HTML>"),
        QStringLiteral("<HEADER/>"),
        QStringLiteral("<STYLE TYPE=text/css>A:link {color: #0000ff; text-decoration: none;}A:hover {color: "
                       "#ff0000;}</STYLE>"),
        QStringLiteral("<CENTER>"),
        QStringLiteral("<TABLE width=800 cellspacing=1 bgcolor=#404040>"),
        QStringLiteral("  <TR bgcolor=#808080>"),
        heading.arg(msg::RoomNameColumn),
        heading.arg(msg::PasswordColumn),
        heading.arg(msg::PlayersColumn),
        heading.arg(msg::CommentColumn),
        heading.arg(msg::GameColumn),
        heading.arg(msg::DictionaryColumn),
        heading.arg(QStringLiteral("Ver.")) + QStringLiteral("</TR>"),
        QStringLiteral("    <SERVERLIST/>"),
        QStringLiteral("</TABLE>"),
        QStringLiteral("</CENTER>"),
        QStringLiteral("<FOOTER/>"),
        QStringLiteral("</HTML>"),
    };
    QString page;
    for (const QString &line : lines)
        page += line + QStringLiteral("\r\n");
    return page;
}

QString ServerListPage::roomRowTemplate()
{
    return QStringLiteral("<TR><TD><ROOMNAME/></TD><TD><PASSWORD/></TD><TD align=right><PLAYERCOUNT/></TD>"
                          "<TD><COMMENT/></TD><TD><GAMEMODE/></TD><TD><ZBQ/></TD><TD><VERSION/></TD></TR>");
}

void ServerListPage::setHeader(const QString &html)
{
    m_pageHtml = roomListTemplate();
    m_pageHtml.replace(QStringLiteral("<HEADER/>"), html);
}

void ServerListPage::setFooter(const QString &html)
{
    m_pageHtml.replace(QStringLiteral("<FOOTER/>"), html);
}

QString ServerListPage::rowHtml(const ServerInfo &room, int index)
{
    // Cell values are put in one after another, in the order of the columns.
    QString row = roomRowTemplate();
    QString name = QStringLiteral("<A href=") + RoomLinkPrefix + QString::number(index) + QLatin1Char('>') +
                   esc(room.roomname) + QStringLiteral("</A>");
    // Only the lobby's "0" marks a room; the value itself never reaches the page.
    if (room.reachable == QLatin1String("0"))
        name += QStringLiteral(" <font color=ff0000>") + esc(msg::UnreachableRoomMark) +
                QStringLiteral("</font>");
    row.replace(QStringLiteral("<ROOMNAME/>"), name);
    row.replace(QStringLiteral("<PASSWORD/>"),
                room.password.isEmpty()
                    ? QStringLiteral("<font color=008000>") + msg::NoPassword + QStringLiteral("</font>")
                    : QStringLiteral("<font color=ff0000>") + msg::HasPassword + QStringLiteral("</font>"));
    row.replace(QStringLiteral("<PLAYERCOUNT/>"), playerCell(room));
    row.replace(QStringLiteral("<COMMENT/>"), commentCell(room.comment));
    row.replace(QStringLiteral("<GAMEMODE/>"),
                room.gametype == QLatin1String("0") ? msg::ZenbeeGame : msg::OboroGame);
    row.replace(QStringLiteral("<ZBQ/>"), dictionaryCell(room.zbq));
    row.replace(QStringLiteral("<VERSION/>"), esc(room.version));
    row.replace(QStringLiteral("<TR>"),
                index % 2 ? QStringLiteral("<TR bgcolor=#f0fff0>") : QStringLiteral("<TR bgcolor=#efefff>"));
    return row;
}

QString ServerListPage::renderRoomList(const QList<ServerInfo> &rooms, bool noRooms) const
{
    QString list;
    if (noRooms) {
        list = roomRowTemplate();
        list.replace(QStringLiteral("<ROOMNAME/>"), msg::NoServers);
        for (const char *p :
             {"<PASSWORD/>", "<PLAYERCOUNT/>", "<COMMENT/>", "<GAMEMODE/>", "<ZBQ/>", "<VERSION/>"})
            list.replace(QLatin1String(p), QStringLiteral("-"));
    } else {
        for (int i = 0; i < rooms.size(); ++i)
            list += rowHtml(rooms.at(i), i) + QStringLiteral("\r\n");
    }
    QString page = m_pageHtml;
    page.replace(QStringLiteral("<SERVERLIST/>"), list);
    return page;
}

QString ServerListPage::roomDetailsText(const ServerInfo &room)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString &space = msg::DetailIndent;
    // Only the separators make new lines: a line break inside a field would
    // forge one of the headings.
    QStringList names = room.players.split(QLatin1Char(':'));
    for (QString &name : names)
        name = displayName(name);
    const QString players = names.join(crlf + space);
    QString zbq = removeControlChars(room.zbq);
    zbq.replace(QLatin1Char(':'), crlf + space);
    const QStringList lines = {
        msg::RoomNameHeading,        space + removeControlChars(room.roomname),
        msg::CommentHeading,         space + removeControlChars(room.comment),
        msg::PlayersHeading + space, space + players,
        msg::DictionariesHeading,    space + zbq,
    };
    return lines.join(crlf);
}

QString ServerListPage::viewHtml(const QString &page)
{
    static const QRegularExpression bareColor(QStringLiteral("(\\bcolor=)([0-9A-Fa-f]{6})(?=[\\s>])"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString html = page;
    html.replace(bareColor, QStringLiteral("\\1#\\2"));
    return html;
}

QString ServerListPage::pageFile()
{
    return programFile(QStringLiteral("serverlist.html"));
}

bool ServerListPage::writePage(const QString &path, const QString &page)
{
    return writeTextFile(path, page);
}

LinkTarget resolveLink(const QUrl &url, const QList<ServerInfo> &rooms)
{
    LinkTarget t;
    const QString text = url.toString();
    if (text.startsWith(RoomLinkPrefix)) {
        bool ok = false;
        const int i = text.mid(RoomLinkPrefix.size()).toInt(&ok);
        // Only a room of the table has an address to hand over.
        if (ok && i >= 0 && i < rooms.size()) {
            t.kind = LinkTarget::Room;
            t.room = i;
            t.address = rooms.at(i).address;
        }
        return t;
    }
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        !url.host().isEmpty()) {
        t.kind = LinkTarget::External;
        t.address = url.toString(QUrl::FullyEncoded);
        return t;
    }
    if (url.isRelative() && url.path().isEmpty() && url.hasFragment()) {
        t.kind = LinkTarget::Anchor;
        t.anchor = url.fragment();
    }
    return t;
}

} // namespace zb
