#include "client/core/messages.h"
#include "client/lobby/serverinfo.h"
#include "client/lobby/serverlistpage.h"
#include "shared/cp932.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"
#include "tests/wiretexts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace zb;

Q_DECLARE_METATYPE(zb::ServerInfo)

namespace {
ServerInfo room(const QString &count, const QString &max = QStringLiteral("6"))
{
    ServerInfo s;
    s.address = QStringLiteral("10.0.0.1:27064");
    s.roomname = QStringLiteral("部屋");
    s.gametype = QStringLiteral("0");
    s.comment = QStringLiteral("無し");
    s.zbq = wire::BuiltInDictionary + QLatin1Char(':');
    s.version = QStringLiteral("1.16");
    s.playercount = count;
    s.playermax = max;
    return s;
}

QString fullRecord(const QString &ip, const QString &name, const QString &count)
{
    return StatusRecord()
        .add(QStringLiteral("ipaddress="), ip)
        .add(QStringLiteral("port="), QStringLiteral("27064"))
        .add(QStringLiteral("password="), QString())
        .add(QStringLiteral("roomname="), name)
        .add(QStringLiteral("comment="), QStringLiteral("よろしく"))
        .add(QStringLiteral("gametype="), QStringLiteral("1"))
        .add(QStringLiteral("zbq="), wire::BuiltInDictionary + QStringLiteral(":動物.zbq:"))
        .add(QStringLiteral("version="), QStringLiteral("1.16"))
        .add(QStringLiteral("players="), QStringLiteral("a:b:::::::"))
        .add(QStringLiteral("playercount="), count)
        .add(QStringLiteral("playermax="), QStringLiteral("8"))
        .add(QStringLiteral("playername="), QStringLiteral("ZBSERVER"))
        .encoded();
}
} // namespace

class TstLobbyPage : public QObject {
    Q_OBJECT
  private slots:
    void announcement()
    {
        const QString rec = announcementRecord(QStringLiteral("太郎 x"));
        QCOMPARE(rec, urlEncode(QStringLiteral("version=1.16&playername=太郎 x&")));
        QVERIFY(!rec.contains(QLatin1Char(':')) && !rec.contains(QLatin1Char('&')));
        // A hand-edited name cannot smuggle a field into the record.
        QCOMPARE(StatusRecord::decode(announcementRecord(QStringLiteral("a&version=9:b"))),
                 QStringLiteral("version=1.16&playername=aversion9b&"));
        QCOMPARE(StatusRecord::decode(announcementRecord(QStringLiteral("ZBSERVER"))),
                 QStringLiteral("version=1.16&playername=zbserver&"));
    }

    void fieldLookup_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "port=27064&roomname=r&"
                               << "roomname="
                               << "r";
        QTest::newRow("first occurrence counts") << "roomname=xcomment=y&comment=z&"
                                                 << "comment="
                                                 << "y";
        QTest::newRow("missing key") << "port=1&"
                                     << "comment="
                                     << "";
        QTest::newRow("no closing mark") << "port=1&comment=abc"
                                         << "comment="
                                         << "";
        QTest::newRow("empty value") << "password=&roomname=r&"
                                     << "password="
                                     << "";
    }
    void fieldLookup()
    {
        QFETCH(QString, record);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(StatusRecord::field(record, key), value);
    }

    void roomEntry()
    {
        ServerInfo s = ServerInfo::fromRecord(StatusRecord::decode(fullRecord("1.2.3.4", "部屋 A", "2")));
        QCOMPARE(s.address, QStringLiteral("1.2.3.4:27064"));
        QCOMPARE(s.roomname, QStringLiteral("部屋 A"));
        QCOMPARE(s.gametype, QStringLiteral("1"));
        QCOMPARE(s.zbq, wire::BuiltInDictionary + QStringLiteral(":動物.zbq:"));
        QCOMPARE(s.players, QStringLiteral("a:b:::::::"));
        QCOMPARE(s.playercount, QStringLiteral("2"));
        QCOMPARE(s.playermax, QStringLiteral("8"));
        s = ServerInfo::fromRecord(QStringLiteral("port=5000&playercount=1&"));
        QCOMPARE(s.address, QStringLiteral(":5000"));
        QCOMPARE(s.playermax, QStringLiteral("6"));
        QCOMPARE(ServerInfo::fromRecord(QStringLiteral("playermax=&")).playermax, QStringLiteral("6"));
    }

    void roomListIntake()
    {
        const QString a = fullRecord("1.1.1.1", "A", "1");
        const QString b = fullRecord("2.2.2.2", "B", "2");
        QList<ServerInfo> rooms{room("9")};
        QVERIFY(parseRoomList(a + ':' + b + ':', rooms));
        QCOMPARE(rooms.size(), 2);
        QCOMPARE(rooms.at(1).roomname, QStringLiteral("B"));
        QVERIFY(parseRoomList(a + ':' + b, rooms));
        QCOMPARE(rooms.size(), 1);
        QCOMPARE(rooms.at(0).address, QStringLiteral("1.1.1.1:27064"));
        // No separator at all: the table is left as it was.
        QVERIFY(!parseRoomList(a, rooms));
        QVERIFY(!parseRoomList(QString(), rooms));
        QCOMPARE(rooms.size(), 1);
    }

    void pageTemplate()
    {
        const QStringList lines = ServerListPage::roomListTemplate().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 19);
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.at(1), QStringLiteral("<HEADER/>"));
        QCOMPARE(lines.at(5), QStringLiteral("  <TR bgcolor=#808080>"));
        QCOMPARE(lines.at(6), QStringLiteral("    <TD><B><FONT color=#ffffff>") + msg::RoomNameColumn +
                                  QStringLiteral("</FONT></B></TD>"));
        QCOMPARE(lines.at(12), QStringLiteral("    <TD><B><FONT color=#ffffff>Ver.</FONT></B></TD></TR>"));
        QCOMPARE(lines.at(13), QStringLiteral("    <SERVERLIST/>"));
        QCOMPARE(lines.at(17), QStringLiteral("</HTML>"));
    }

    void oneRow()
    {
        QCOMPARE(
            ServerListPage::rowHtml(room("3"), 0),
            QStringLiteral("<TR bgcolor=#efefff><TD><A href=number:0>部屋</A></TD><TD><font color=008000>") +
                msg::NoPassword +
                QStringLiteral(
                    "</font></TD><TD align=right><font color=008000>3/6<font></TD><TD>無し</TD><TD>") +
                msg::ZenbeeGame + QStringLiteral("</TD><TD><font color=008000>") + msg::BuiltInOnly +
                QStringLiteral("</font></TD><TD>1.16</TD></TR>"));
    }

    void unreachableMarked()
    {
        const QString record = StatusRecord::decode(fullRecord("1.2.3.4", "部屋", "2"));
        const ServerInfo unchecked = ServerInfo::fromRecord(record);
        QCOMPARE(unchecked.reachable, QString());
        const QString classic = ServerListPage::rowHtml(unchecked, 0);
        QVERIFY(!classic.contains(msg::UnreachableRoomMark));
        for (const char *value : {"1", "<b>", "00"}) {
            const ServerInfo r = ServerInfo::fromRecord(record + msg::ReachableField + value + '&');
            QCOMPARE(ServerListPage::rowHtml(r, 0), classic);
        }
        const ServerInfo r = ServerInfo::fromRecord(record + msg::ReachableField + QStringLiteral("0&"));
        QCOMPARE(r.reachable, QStringLiteral("0"));
        QVERIFY(ServerListPage::rowHtml(r, 0).contains(QStringLiteral("</A> <font color=ff0000>") +
                                                       msg::UnreachableRoomMark +
                                                       QStringLiteral("</font></TD>")));
    }

    void twoRowsAndPage()
    {
        ServerListPage page;
        page.setFooter(QStringLiteral("<P>lost</P>"));
        page.setHeader(QStringLiteral("<BODY><H1>ようこそ</H1>"));
        page.setFooter(QStringLiteral("</BODY>"));
        const QString before = page.pageHtml();
        ServerInfo second = room("0");
        second.password = QStringLiteral("1");
        const QString html = page.renderRoomList({room("3"), second}, false);
        QCOMPARE(page.pageHtml(), before);
        QVERIFY(!html.contains(QStringLiteral("lost")));
        QVERIFY(html.startsWith(QStringLiteral("<HTML>\r\n<BODY><H1>ようこそ</H1>\r\n")));
        QVERIFY(html.endsWith(QStringLiteral("</CENTER>\r\n</BODY>\r\n</HTML>\r\n")));
        const QString rows = ServerListPage::rowHtml(room("3"), 0) + QStringLiteral("\r\n") +
                             ServerListPage::rowHtml(second, 1) + QStringLiteral("\r\n");
        QVERIFY(html.contains(QStringLiteral("    ") + rows + QStringLiteral("\r\n</TABLE>")));
        QVERIFY(rows.indexOf(QStringLiteral("#efefff")) < rows.indexOf(QStringLiteral("#f0fff0")));
        QVERIFY(rows.contains(QStringLiteral("<TR bgcolor=#f0fff0><TD><A href=number:1>")));
        QVERIFY(rows.contains(QStringLiteral("<font color=ff0000>") + msg::HasPassword +
                              QStringLiteral("</font>")));
    }

    void emptyPage()
    {
        const QString html = ServerListPage().renderRoomList({room("1")}, true);
        QVERIFY(html.contains(
            QStringLiteral("    <TR><TD>") + msg::NoServers +
            QStringLiteral(
                "</TD><TD>-</TD><TD align=right>-</TD><TD>-</TD><TD>-</TD><TD>-</TD><TD>-</TD></TR>"
                "\r\n</TABLE>")));
        QVERIFY(!html.contains(QStringLiteral("number:")));
    }

    void cells_data()
    {
        QTest::addColumn<ServerInfo>("info");
        QTest::addColumn<QString>("cell");
        QTest::newRow("3/6 green") << room("3") << "<TD align=right><font color=008000>3/6<font></TD>";
        QTest::newRow("6/6 red") << room("6") << "<TD align=right><font color=ff0000>6/6<font></TD>";
        QTest::newRow("0/6 plain") << room("0") << "<TD align=right>0/6<font></TD>";
        QTest::newRow("not a number") << room("x") << "<TD align=right>x/6<font></TD>";
        QTest::newRow("empty count") << room("") << "<TD align=right>/6<font></TD>";
        QTest::newRow("escaped count") << room("<b>") << "<TD align=right>&lt;b&gt;/6<font></TD>";
        ServerInfo c = room("1");
        c.comment = QString(20, QChar(u'あ'));
        QTest::newRow("comment 20") << c << "<TD>" + c.comment + "</TD>";
        c.comment += QLatin1Char('x');
        QTest::newRow("comment 21") << c << "<TD>" + QString(20, QChar(u'あ')) + "...</TD>";
        c.comment = QString(19, QLatin1Char('a')) + QStringLiteral("&bcd");
        QTest::newRow("comment cut before escaping")
            << c << "<TD>" + QString(19, QLatin1Char('a')) + "&amp;...</TD>";
        const auto dict = [](const QString &zbq) {
            ServerInfo s = room("1");
            s.zbq = zbq;
            return s;
        };
        const QString only =
            QStringLiteral("<TD><font color=008000>") + msg::BuiltInOnly + QStringLiteral("</font></TD>");
        const QString more = QStringLiteral("<TD><font color=ff0000>") + msg::ExtraDictionaries +
                             QStringLiteral("</font></TD>");
        QTest::newRow("built-in with colon") << dict(wire::BuiltInDictionary + QLatin1Char(':')) << only;
        QTest::newRow("built-in bare") << dict(wire::BuiltInDictionary) << only;
        QTest::newRow("built-in and another")
            << dict(wire::BuiltInDictionary + QStringLiteral(":動物.zbq:")) << more;
        QTest::newRow("built-in high weight")
            << dict(wire::BuiltInDictionary + QStringLiteral("（高確率）:")) << more;
        QTest::newRow("empty dictionaries") << dict(QString()) << more;
        QTest::newRow("other only") << dict(QStringLiteral("abc:")) << more;
        ServerInfo g = room("1");
        g.gametype = QStringLiteral("1");
        QTest::newRow("game type") << g << "<TD>" + msg::OboroGame + "</TD>";
        ServerInfo e = room("1");
        e.roomname = QStringLiteral("<script>&\"");
        e.version = QStringLiteral("<i>");
        QTest::newRow("escaped name") << e << "<A href=number:0>&lt;script&gt;&amp;&quot;</A>";
        QTest::newRow("escaped version") << e << "<TD>&lt;i&gt;</TD></TR>";
    }
    void cells()
    {
        QFETCH(ServerInfo, info);
        QFETCH(QString, cell);
        const QString row = ServerListPage::rowHtml(info, 0);
        QVERIFY2(row.contains(cell), qPrintable(row));
    }

    void popup()
    {
        ServerInfo s = room("2");
        s.players = QStringLiteral("a:b:");
        s.zbq = wire::BuiltInDictionary + QStringLiteral(":x.zbq:");
        const QString &indent = msg::DetailIndent;
        QCOMPARE(ServerListPage::roomDetailsText(s),
                 QStringList({msg::RoomNameHeading, indent + QStringLiteral("部屋"), msg::CommentHeading,
                              indent + QStringLiteral("無し"), msg::PlayersHeading + indent,
                              indent + QStringLiteral("a"), indent + QStringLiteral("b"), indent,
                              msg::DictionariesHeading, indent + wire::BuiltInDictionary,
                              indent + QStringLiteral("x.zbq"), indent})
                     .join(QStringLiteral("\r\n")));
    }

    void links_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address");
        QTest::newRow("room 1") << "number:1" << int(LinkTarget::Room) << "10.0.0.2:27064";
        QTest::newRow("room 0") << "number:0" << int(LinkTarget::Room) << "10.0.0.1:27064";
        QTest::newRow("outside the table") << "number:2" << int(LinkTarget::Ignore) << "";
        QTest::newRow("negative") << "number:-1" << int(LinkTarget::Ignore) << "";
        QTest::newRow("not a number") << "number:x" << int(LinkTarget::Ignore) << "";
        QTest::newRow("http") << "http://example.com/a?b=1" << int(LinkTarget::External)
                              << "http://example.com/a?b=1";
        QTest::newRow("https") << "HTTPS://example.com/" << int(LinkTarget::External)
                               << "https://example.com/";
        QTest::newRow("local file") << "file:///etc/passwd" << int(LinkTarget::Ignore) << "";
        QTest::newRow("relative file") << "serverlist.html" << int(LinkTarget::Ignore) << "";
        QTest::newRow("hostless http") << "http:///etc/passwd" << int(LinkTarget::Ignore) << "";
        QTest::newRow("script") << "javascript:alert(1)" << int(LinkTarget::Ignore) << "";
        QTest::newRow("blank") << "about:blank" << int(LinkTarget::Ignore) << "";
        QTest::newRow("anchor") << "#top" << int(LinkTarget::Anchor) << "";
    }
    void links()
    {
        QFETCH(QString, url);
        QFETCH(int, kind);
        QFETCH(QString, address);
        ServerInfo second = room("1");
        second.address = QStringLiteral("10.0.0.2:27064");
        const LinkTarget t = resolveLink(QUrl(url), {room("1"), second});
        QCOMPARE(int(t.kind), kind);
        QCOMPARE(t.address, address);
    }

    void viewColours()
    {
        const QString row = ServerListPage::rowHtml(room("3"), 0);
        const QString view = ServerListPage::viewHtml(row);
        QVERIFY(view.contains(QStringLiteral("<font color=#008000>3/6<font>")));
        QVERIFY(view.contains(QStringLiteral("<TR bgcolor=#efefff>")));
        QCOMPARE(ServerListPage::viewHtml(QStringLiteral("<FONT COLOR=FF0000>x</FONT><font color=#ffffff>")),
                 QStringLiteral("<FONT COLOR=#FF0000>x</FONT><font color=#ffffff>"));
        // Room text that merely looks like an attribute is left alone.
        QCOMPARE(ServerListPage::viewHtml(QStringLiteral("<TD>color=123456x</TD>")),
                 QStringLiteral("<TD>color=123456x</TD>"));
    }

    void pageFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("serverlist.html"));
        QVERIFY(ServerListPage::writePage(path, QStringLiteral("<HTML>部屋</HTML>")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), toCp932(QStringLiteral("<HTML>部屋</HTML>\r\n")));
    }
};

QTEST_GUILESS_MAIN(TstLobbyPage)
#include "tst_lobbypage.moc"
