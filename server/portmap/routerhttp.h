#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QUrl>

namespace zb {

// HTTP/1.1 with a router, blocking, for the port mapper's worker thread.
// Whatever answers the search on the home network may be hostile, so the
// whole answer is capped, the exchange ends at a deadline, and a wake-up
// descriptor stops it at once when the program ends.
struct RouterHttpReply {
    enum class Result { Ok, Unreachable, TimedOut, TooLarge, Malformed, Cancelled };
    Result result = Result::Unreachable;
    int status = 0;
    QByteArray body;      // decoded from chunks when chunked
    QString localAddress; // this machine's end of the connection
    bool ok() const { return result == Result::Ok; }
};

struct RouterHttpRequest {
    QUrl url; // http, IPv4 or a host name that resolves to one
    QByteArray method = "GET";
    QByteArray headers; // extra header lines, each ending in CR LF
    QByteArray body;
};

// Status line, headers and body together; real descriptions and SOAP answers
// are a few KiB.
inline constexpr qsizetype MaxRouterAnswerBytes = 64 * 1024;

// `cancelFd` (or -1) becomes readable when the exchange is to stop.
RouterHttpReply routerHttp(const RouterHttpRequest &request, const QDeadlineTimer &deadline, int cancelFd);

// The http URL's host and port, for telling whether two URLs name the same
// server ("host:port", port 80 when none is given); empty when not http.
QString httpOrigin(const QUrl &url);

} // namespace zb
