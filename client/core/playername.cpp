#include "playername.h"

namespace zb {

QString CleanPlayerName(const QString &name)
{
    QString clean = name;
    // CR and LF go one by one, not only as a pair: either would break a line of the protocols.
    for (const QChar c : {u':', u';', u',', u'\r', u'\n', u'=', u'&'})
        clean.remove(c);
    // "ZBSERVER" marks game servers in the lobby's list.
    clean.replace(QStringLiteral("ZBSERVER"), QStringLiteral("zbserver"), Qt::CaseSensitive);
    return clean.trimmed();
}

QString LocalAddress(const QString &address)
{
    const QString host = QStringLiteral("127.0.0.1");
    // A bracketed IPv6 host holds colons of its own; the port follows the bracket.
    const qsizetype bracket = address.startsWith(u'[') ? address.indexOf(u']') : -1;
    const qsizetype colon = address.indexOf(u':', bracket < 0 ? 0 : bracket);
    if (colon < 0) return host;
    return host + address.mid(colon);
}

} // namespace zb
