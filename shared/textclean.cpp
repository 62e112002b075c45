#include "shared/textclean.h"

#include "shared/messages.h"

namespace zb {

bool isControlChar(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

QString removeControlChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isControlChar(c)) out.append(c);
    }
    return out;
}

QString escapeControlChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        else
            out.append(c);
    }
    return out;
}

QString loggedText(const QString &text)
{
    // Cut before escaping too: a line of megabytes is never copied whole.
    const QString escaped = escapeControlChars(text.left(MaxLoggedText + 1));
    if (text.size() <= MaxLoggedText && escaped.size() <= MaxLoggedText) return escaped;
    return escaped.left(MaxLoggedText) + msg::clippedMark(text.size(), MaxLoggedText);
}

QString removeSeparators(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (isControlChar(c)) continue;
        if (c == u':' || c == u';' || c == u',' || c == u'=' || c == u'&') continue;
        clean.append(c);
    }
    return clean.trimmed();
}

QString cleanPlayerName(const QString &name)
{
    // "ZBSERVER" marks game servers in the lobby's list; no player may carry it.
    return removeSeparators(name).replace(QStringLiteral("ZBSERVER"), QStringLiteral("zbserver"),
                                          Qt::CaseSensitive);
}

QString cleanName(const QString &name)
{
    const QString clean = removeSeparators(name);
    return clean.size() > MaxNameLength ? clean.left(MaxNameLength).trimmed() : clean;
}

QString uniqueName(const QString &name, const QStringList &taken)
{
    if (!taken.contains(name)) return name;
    for (int n = 2;; ++n) {
        const QString suffix = QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
        const QString candidate = name.left(qMax(0, MaxNameLength - int(suffix.size()))) + suffix;
        if (!taken.contains(candidate)) return candidate;
    }
}

} // namespace zb
