#include "server/web/httpanswer.h"

#include <algorithm>

namespace zb {

namespace {
struct Authority {
    QByteArray host; // lower case; an IPv6 address keeps its brackets
    int port = -1;
};

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool isIpv6Char(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// "name", "name:port", "[v6]" or "[v6]:port"; the port is defaultPort when absent.
bool readAuthority(QByteArrayView s, int defaultPort, Authority &a)
{
    qsizetype hostEnd = 0;
    if (s.startsWith('[')) {
        hostEnd = s.indexOf(']');
        if (hostEnd < 2 || !std::all_of(s.begin() + 1, s.begin() + hostEnd, isIpv6Char)) return false;
        ++hostEnd;
    } else {
        while (hostEnd < s.size() && isHostChar(s.at(hostEnd)))
            ++hostEnd;
        if (hostEnd == 0) return false;
    }
    a.host = s.first(hostEnd).toByteArray().toLower();
    const QByteArrayView rest = s.sliced(hostEnd);
    if (rest.isEmpty()) {
        a.port = defaultPort;
        return true;
    }
    if (!rest.startsWith(':') || rest.size() < 2 || rest.size() > 6) return false;
    bool ok = false;
    const int port = rest.sliced(1).toInt(&ok);
    if (!ok || port < 1 || port > 65535 ||
        !std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    a.port = port;
    return true;
}

// A comma-separated field holding a token, case-insensitively ("keep-alive, Upgrade").
bool hasToken(const QByteArray &field, QByteArrayView token)
{
    for (const QByteArray &part : field.split(',')) {
        if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

bool isWebSocketKey(const QByteArray &key)
{
    const auto decoded = QByteArray::fromBase64Encoding(key, QByteArray::AbortOnBase64DecodingErrors);
    return decoded && decoded.decoded.size() == 16;
}

QByteArrayView reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

} // namespace

QByteArray errorAnswer(int status, QByteArrayView host)
{
    QByteArray body = QByteArray::number(status) + ' ' + reasonPhrase(status).toByteArray() + '\n';
    return httpAnswer(status, "text/plain; charset=utf-8", body, host);
}

QByteArray httpAnswer(int status, QByteArrayView type, const QByteArray &body, QByteArrayView host)
{
    // The page talks to its own room only. An IPv6 literal cannot be named in
    // the policy; browsers count a same-origin WebSocket as 'self' anyway.
    QByteArray connectSrc = "'self'";
    Authority a;
    if (!host.isEmpty() && !host.startsWith('[') && readAuthority(host, 80, a)) {
        const QByteArray authority = a.host + ':' + QByteArray::number(a.port);
        connectSrc += " ws://" + authority + " wss://" + authority;
    }
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status).toByteArray() + "\r\n";
    out += "Content-Type: " + type.toByteArray() + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Content-Security-Policy: default-src 'self'; connect-src " + connectSrc +
           "; base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    out += "Referrer-Policy: no-referrer\r\n";
    out += "Cache-Control: no-cache\r\n";
    if (status == 405) out += "Allow: GET\r\n";
    out += "Connection: close\r\n\r\n";
    out += body;
    return out;
}

bool isWebSocketUpgrade(const RequestHead &head)
{
    return head.version == "HTTP/1.1" && hasToken(head.field("upgrade"), "websocket") &&
           hasToken(head.field("connection"), "upgrade") && head.field("sec-websocket-version") == "13" &&
           isWebSocketKey(head.field("sec-websocket-key")) && !head.hasField("content-length") &&
           !head.hasField("transfer-encoding");
}

bool isSameOrigin(const RequestHead &head)
{
    Authority host;
    if (!readAuthority(head.field("host"), 80, host)) return false;
    const QByteArray origin = head.field("origin");
    Authority from;
    if (origin.startsWith("http://")) {
        if (!readAuthority(QByteArrayView(origin).sliced(7), 80, from)) return false;
    } else if (origin.startsWith("https://")) {
        if (!readAuthority(QByteArrayView(origin).sliced(8), 443, from)) return false;
    } else {
        return false;
    }
    return from.host == host.host && from.port == host.port;
}

} // namespace zb
