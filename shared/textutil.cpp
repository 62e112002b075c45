#include "shared/textutil.h"

#include "shared/cp932.h"

namespace zb {

namespace {

const char HexDigits[] = "0123456789ABCDEF";

void appendHex(QString &out, unsigned char c)
{
    out += QLatin1Char('%');
    out += QLatin1Char(HexDigits[c >> 4]);
    out += QLatin1Char(HexDigits[c & 0x0F]);
}

bool isLeadByte(unsigned char c)
{
    return (c >= 129 && c <= 159) || (c >= 224 && c <= 239);
}

bool isPlainByte(unsigned char c)
{
    return c == '_' || c == '@' || c == '*' || c == '-' || c == '.' || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

} // namespace

QString urlEncode(const QString &text)
{
    const QByteArray bytes = toCp932(text);
    QString out;
    out.reserve(bytes.size() * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(c)) {
            appendHex(out, c);
            if (i + 1 < bytes.size()) {
                appendHex(out, static_cast<unsigned char>(bytes[i + 1]));
                ++i;
            }
        } else if (c == ' ') {
            out += QLatin1Char('+');
        } else if (isPlainByte(c)) {
            out += QLatin1Char(static_cast<char>(c));
        } else {
            appendHex(out, c);
        }
    }
    return out;
}

int urlDecode(const QString &text, QByteArray &bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    const int n = text.size();
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%')) {
            const int hi = i + 1 < n ? hexValue(text.at(i + 1)) : -1;
            const int lo = i + 2 < n ? hexValue(text.at(i + 2)) : -1;
            if (hi >= 0 && lo >= 0) {
                bytes.append(static_cast<char>(hi * 16 + lo));
                i += 3;
            } else if (hi >= 0) {
                bytes.append(static_cast<char>(hi));
                i += 2;
            } else {
                bytes.append('%');
                i += 1;
            }
            continue;
        }
        if (c == QLatin1Char('+')) {
            bytes.append(' ');
        } else if (isCp932SingleByte(c)) {
            bytes.append(toCp932(QString(c)));
        } else if (c.isHighSurrogate() && i + 1 < n) {
            ++i; // a character outside the code page: skipped whole
        }
        ++i;
    }
    return static_cast<int>(bytes.size());
}

QString urlDecodeText(const QString &text)
{
    QByteArray bytes;
    urlDecode(text, bytes);
    return fromCp932(bytes);
}

QString textBetween(const QString &text, const QString &startMark, const QString &endMark)
{
    if (startMark.isEmpty() || endMark.isEmpty()) return {};
    const qsizetype a = text.indexOf(startMark);
    if (a < 0) return {};
    qsizetype b = text.indexOf(endMark, a);
    if (b == a) b = text.indexOf(endMark, a + 1);
    if (b < 0 || b <= a) return {};
    const qsizetype from = a + startMark.size();
    if (b < from) return {};
    return text.mid(from, b - from);
}

QString safeFileName(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\\'), QChar(0xFFE5));
    s.replace(QLatin1Char('/'), QChar(0xFF0F));
    s.replace(QLatin1Char(':'), QChar(0xFF1A));
    s.replace(QLatin1Char(','), QChar(0x3001));
    s.replace(QLatin1Char(';'), QChar(0xFF1B));
    s.replace(QLatin1Char('*'), QChar(0x203B));
    s.replace(QLatin1Char('?'), QChar(0xFF1F));
    s.remove(QLatin1Char('"'));
    s.replace(QLatin1Char('<'), QChar(0xFF1C));
    s.replace(QLatin1Char('>'), QChar(0xFF1E));
    s.replace(QLatin1Char('|'), QChar(0xFF5C));
    s.remove(QChar(0x201D));
    if (s.size() > 100) s.truncate(100);
    return s;
}

QString katakanaToHiragana(const QString &text)
{
    QString s = text;
    for (QChar &c : s) {
        if (c.unicode() >= 0x30A1 && c.unicode() <= 0x30F3) c = QChar(c.unicode() - 0x60);
    }
    return s;
}

} // namespace zb
