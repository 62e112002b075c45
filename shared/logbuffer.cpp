#include "logbuffer.h"

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

QString LogBuffer::chatLine(const QString &text, const QTime &time)
{
    return stamp(time) + QStringLiteral(" <") + text + QStringLiteral("\r\n");
}

QString LogBuffer::systemLine(const QString &text, const QTime &time)
{
    return stamp(time) + QStringLiteral(" <system> ") + text + QStringLiteral("\r\n");
}

QString LogBuffer::clientChatLine(const QString &text)
{
    return QStringLiteral("<") + text + QStringLiteral("\r\n");
}

QString LogBuffer::clientSystemLine(const QString &text, const QTime &time)
{
    return stamp(time) + QLatin1Char(' ') + text + QStringLiteral("\r\n");
}

} // namespace zb
