#include "shared/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace zb {

namespace {
// The code page's lower half is plain ASCII. Strokes and most protocol lines
// are nothing else, and converting them without the code-page tables is many
// times faster.
bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}
} // namespace

QByteArray toCp932(const QString &text)
{
    if (isAscii(text)) return text.toLatin1();
    // Opening a converter is costly; one per thread serves every call.
    thread_local QStringEncoder enc("windows-31j", QStringConverter::Flag::Stateless);
    return enc.encode(text);
}

QString fromCp932(const QByteArray &bytes)
{
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    thread_local QStringDecoder dec("windows-31j", QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

bool isCp932SingleByte(QChar c)
{
    if (c.unicode() < 0x80) return true;
    // Half-width katakana are the only single-byte characters above ASCII.
    return c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F;
}

} // namespace zb
