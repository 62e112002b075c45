#include "client/core/playername.h"

namespace zb {

QString localAddress(const QString &address)
{
    const QString host = QStringLiteral("127.0.0.1");
    // A bracketed IPv6 host holds colons of its own; the port follows the bracket.
    const qsizetype bracket = address.startsWith(u'[') ? address.indexOf(u']') : -1;
    const qsizetype colon = address.indexOf(u':', bracket < 0 ? 0 : bracket);
    if (colon < 0) return host;
    return host + address.mid(colon);
}

QString displayName(const QString &name)
{
    // Only the part that is kept is cleaned: the whole name may be very long.
    QString shown = removeControlChars(name.left(4 * MaxNameLength)).left(MaxNameLength);
    // Never half a surrogate pair at the cut.
    if (!shown.isEmpty() && shown.back().isHighSurrogate()) shown.chop(1);
    return shown;
}

} // namespace zb
