#pragma once

#include "client/lobby/serverinfo.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace zb {

// The room list page: the lobby's head and foot in the page template, and the
// rooms rendered into it. Room fields are escaped here; the head and foot are
// the lobby's own HTML and go in unchanged.
class ServerListPage {
  public:
    ServerListPage();

    static QString roomListTemplate();
    static QString roomRowTemplate();

    // "HDR" starts again from the bare template; "FTR" fills the current page.
    void setHeader(const QString &html);
    void setFooter(const QString &html);
    const QString &pageHtml() const { return m_pageHtml; }

    // The whole page for these rooms, or the single "no rooms" row.
    QString renderRoomList(const QList<ServerInfo> &rooms, bool noRooms) const;
    static QString rowHtml(const ServerInfo &room, int index);

    // Plain text for the detail popup, lines joined by CR LF.
    static QString roomDetailsText(const ServerInfo &room);

    // The page as the built-in view shows it: colour values written without
    // "#" (as the file keeps them) get one, which that view needs to read them.
    static QString viewHtml(const QString &page);

    // "serverlist.html" in the program folder.
    static QString pageFile();
    static bool writePage(const QString &path, const QString &page);

  private:
    QString m_pageHtml;
};

// What a click or hover on a link of the page means.
struct LinkTarget {
    enum Kind { Ignore, Room, External, Anchor };
    Kind kind = Ignore;
    int room = -1;   // Room: index into the room table
    QString address; // Room: join address; External: the web address
    QString anchor;  // Anchor: fragment inside the page
};

// Room links ("number:" + index) resolve only to rooms of the table; web
// addresses only for http and https, so nothing on the page reaches a local file.
LinkTarget resolveLink(const QUrl &url, const QList<ServerInfo> &rooms);

} // namespace zb
