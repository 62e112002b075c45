#include "shared/logbuffer.h"

#include "shared/textclean.h"

namespace zb {

bool LogBuffer::append(const QString &line)
{
    m_text += line;
    if (m_text.size() > MaxChars) {
        m_text = m_text.right(KeepChars);
        return true;
    }
    return false;
}

QString LogBuffer::stamp(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

// Chat and notices come from players, lobbies and files: a stray LF or CR
// inside one would show as a second, forged line of the log.
QString LogBuffer::chatLine(const QString &text, const QTime &time)
{
    return stamp(time) + QStringLiteral(" <") + removeControlChars(text) + QStringLiteral("\r\n");
}

QString LogBuffer::systemLine(const QString &text, const QTime &time)
{
    return stamp(time) + QStringLiteral(" <system> ") + removeControlChars(text) + QStringLiteral("\r\n");
}

QString LogBuffer::clientChatLine(const QString &text)
{
    return QStringLiteral("<") + removeControlChars(text) + QStringLiteral("\r\n");
}

QString LogBuffer::clientSystemLine(const QString &text, const QTime &time)
{
    return stamp(time) + QLatin1Char(' ') + removeControlChars(text) + QStringLiteral("\r\n");
}

} // namespace zb
