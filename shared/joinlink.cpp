#include "shared/joinlink.h"

#include "shared/hostport.h"

namespace zb {

namespace {

const QString Scheme = QStringLiteral("zembrill://");

} // namespace

QString hostPortText(const QString &host, quint16 port)
{
    const bool v6 = host.contains(u':');
    return (v6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

QString joinLink(const QString &hostPort)
{
    return Scheme + hostPort;
}

QString checkedHostPort(const QString &text)
{
    HostPortRules rules;
    rules.portOptional = true;
    rules.strict = true;
    const HostPort address = parseHostPort(text, rules);
    if (!address.ok) return {};
    if (address.port != 0) return hostPortText(address.host, address.port);
    return address.host.contains(u':') ? u'[' + address.host + u']' : address.host;
}

QString addressFromJoinLink(const QString &link)
{
    if (!link.startsWith(Scheme, Qt::CaseInsensitive)) return {};
    QString address = link.mid(Scheme.size());
    // Browsers and desktops may hand the link over with a closing slash.
    if (address.endsWith(u'/')) address.chop(1);
    return checkedHostPort(address);
}

} // namespace zb
