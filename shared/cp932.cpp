#include "cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zb {

QByteArray toCp932(const QString &text)
{
    // Opening a converter is costly; one per thread serves every call.
    thread_local QStringEncoder enc("windows-31j", QStringConverter::Flag::Stateless);
    return enc.encode(text);
}

QString fromCp932(const QByteArray &bytes)
{
    thread_local QStringDecoder dec("windows-31j", QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

bool isCp932SingleByte(QChar c)
{
    if (c.unicode() < 0x80)
        return true;
    // Half-width katakana are the only single-byte characters above ASCII.
    return c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F;
}

} // namespace zb
