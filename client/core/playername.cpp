#include "playername.h"

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

} // namespace zb
