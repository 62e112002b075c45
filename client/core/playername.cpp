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
    const qsizetype colon = address.indexOf(u':');
    if (colon < 0) return host;
    return host + address.mid(colon);
}

} // namespace zb
