#include "server/web/requesthead.h"

#include <algorithm>

namespace zb {

namespace {
bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), isTokenChar);
}

// Visible ASCII, blank and tab, and bytes above ASCII; never another control character.
bool isFieldValue(QByteArrayView s)
{
    return std::all_of(s.begin(), s.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c == '\t' || (c >= 0x20 && c != 0x7F);
    });
}

bool isTarget(QByteArrayView s)
{
    if (s.isEmpty() || s.front() != '/') return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

QByteArrayView trimmedBlanks(QByteArrayView s)
{
    while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t'))
        s = s.sliced(1);
    while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t'))
        s.chop(1);
    return s;
}

// Fields whose meaning this server relies on; two copies could be read two ways.
bool isSingular(QByteArrayView name)
{
    static const QByteArrayView names[] = {"host",
                                           "origin",
                                           "upgrade",
                                           "connection",
                                           "content-length",
                                           "transfer-encoding",
                                           "sec-websocket-key",
                                           "sec-websocket-version"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool readRequestLine(QByteArrayView line, RequestHead &head)
{
    const qsizetype sp1 = line.indexOf(' ');
    const qsizetype sp2 = sp1 < 0 ? -1 : line.indexOf(' ', sp1 + 1);
    if (sp2 < 0 || line.indexOf(' ', sp2 + 1) >= 0) return false;
    const QByteArrayView method = line.first(sp1);
    const QByteArrayView target = line.sliced(sp1 + 1, sp2 - sp1 - 1);
    const QByteArrayView version = line.sliced(sp2 + 1);
    if (method.size() > 16 || !isToken(method) || !isTarget(target)) return false;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return false;
    head.method = method.toByteArray();
    head.target = target.toByteArray();
    head.version = version.toByteArray();
    return true;
}

bool readField(QByteArrayView line, RequestHead &head)
{
    const qsizetype colon = line.indexOf(':');
    // No blank before the colon and no folded continuation line.
    if (colon <= 0 || !isToken(line.first(colon))) return false;
    const QByteArrayView value = trimmedBlanks(line.sliced(colon + 1));
    if (!isFieldValue(value)) return false;
    const QByteArray name = line.first(colon).toByteArray().toLower();
    if (isSingular(name) && head.hasField(name)) return false;
    head.fields.append({name, value.toByteArray()});
    return true;
}
} // namespace

QByteArray RequestHead::field(QByteArrayView lowerName) const
{
    for (const auto &f : fields) {
        if (f.first == lowerName) return f.second;
    }
    return {};
}

bool RequestHead::hasField(QByteArrayView lowerName) const
{
    return std::any_of(fields.cbegin(), fields.cend(), [&](const auto &f) { return f.first == lowerName; });
}

QByteArray RequestHead::path() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? target : target.first(q);
}

ParsedHead parseRequestHead(QByteArrayView bytes)
{
    ParsedHead result;
    auto bad = [&result](bool tooLarge) {
        result.status = ParsedHead::Status::Bad;
        result.tooLarge = tooLarge;
        result.head = RequestHead();
        return result;
    };
    qsizetype pos = 0;
    for (int lineNo = 0;; ++lineNo) {
        const qsizetype eol = bytes.indexOf("\r\n", pos);
        const qsizetype lineEnd = eol < 0 ? bytes.size() : eol;
        // A lone CR or LF, or any other break inside a line, is never part of a valid head.
        const QByteArrayView line = bytes.sliced(pos, lineEnd - pos);
        const bool openCr = eol < 0 && line.endsWith('\r');
        if (line.first(line.size() - (openCr ? 1 : 0)).contains('\r') || line.contains('\n'))
            return bad(false);
        if (eol < 0) {
            if (bytes.size() >= MaxHeadBytes) return bad(true);
            return result; // incomplete
        }
        if (eol + 2 > MaxHeadBytes || lineNo > MaxHeadFields) return bad(true);
        if (line.isEmpty()) {
            if (lineNo == 0) return bad(false);
            result.status = ParsedHead::Status::Complete;
            result.consumed = eol + 2;
            return result;
        }
        const bool ok = lineNo == 0 ? readRequestLine(line, result.head) : readField(line, result.head);
        if (!ok) return bad(false);
        pos = eol + 2;
    }
}

} // namespace zb
