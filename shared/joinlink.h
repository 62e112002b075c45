#pragma once

#include <QString>

namespace zb {

// A room's address as players pass it around: "host:port", and the link
// "zembrill://host:port" that starts the game and joins that room.

// "host:port", with an IPv6 host in brackets.
QString hostPortText(const QString &host, quint16 port);
// "zembrill://" followed by the address.
QString joinLink(const QString &hostPort);

// The address in a "host" or "host:port" text, or empty when it is not one a
// player could be sent to (a host is a name, an IPv4 address or a bracketed
// IPv6 address; a port is 1 to 65535). Links arrive from web pages and chat,
// so anything else, markup and control characters included, is refused.
QString checkedHostPort(const QString &text);
// The address a link names, or empty when the text is not a link of ours.
QString addressFromJoinLink(const QString &link);

} // namespace zb
