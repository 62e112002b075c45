#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

namespace zb {

// The head of one HTTP request: its request line and header fields.
struct RequestHead {
    QByteArray method;
    QByteArray target; // as sent: "/", "/app.js?x=1", …
    QByteArray version;
    // Field names lower-cased, values without surrounding blanks, in order.
    QList<QPair<QByteArray, QByteArray>> fields;

    // The value of a field (name in lower case); empty when absent.
    QByteArray field(QByteArrayView lowerName) const;
    bool hasField(QByteArrayView lowerName) const;
    // The target without its query.
    QByteArray path() const;

    bool operator==(const RequestHead &o) const
    {
        return method == o.method && target == o.target && version == o.version && fields == o.fields;
    }
};

struct ParsedHead {
    enum class Status { Incomplete, Complete, Bad };
    Status status = Status::Incomplete;
    // Bad because the head outgrew MaxHeadBytes (or MaxFields) before it ended.
    bool tooLarge = false;
    RequestHead head;
    // Bytes of the head, its closing empty line included (Complete only).
    qsizetype consumed = 0;
};

// A request head may take this many bytes, its final empty line included.
inline constexpr qsizetype MaxHeadBytes = 8 * 1024;
inline constexpr int MaxHeadFields = 64;

// Reads the head at the start of `bytes` (everything received so far). Strict:
// lines end in CR LF, no folded fields, no control characters, HTTP/1.0 or
// 1.1, an origin-form target, and the fields this server acts on (Host,
// Origin, the upgrade fields, the body fields) at most once each, so that no
// reader after this one can see a different request in the same bytes. A
// broken line is reported as soon as it is complete.
ParsedHead parseRequestHead(QByteArrayView bytes);

} // namespace zb
