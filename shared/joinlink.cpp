#include "joinlink.h"

#include <QHostAddress>

namespace zb {

namespace {

const QString Scheme = QStringLiteral("zembrill://");
// A host name is at most 253 characters; with brackets and a port that is well below this.
constexpr int MaxAddressLength = 270;

bool isHostName(const QString &host)
{
    if (host.isEmpty() || host.size() > 253 || host.startsWith(u'-') || host.startsWith(u'.')) return false;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                        u == u'-' || u == u'.';
        if (!ok) return false;
    }
    return true;
}

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
    if (text.isEmpty() || text.size() > MaxAddressLength) return {};
    QString host;
    QString port;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0) return {};
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && (!rest.startsWith(u':') || rest.size() == 1)) return {};
        port = rest.mid(1);
        // Only the address itself: a scope ("%eth0") would be taken from the sender's machine.
        if (host.contains(u'%') || QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol) return {};
        host = u'[' + host + u']';
    } else {
        const qsizetype colon = text.indexOf(u':');
        host = text.left(colon);
        if (colon >= 0) {
            port = text.mid(colon + 1);
            if (port.isEmpty()) return {};
        }
        if (!isHostName(host)) return {};
    }
    if (port.isEmpty()) return host;
    for (const QChar c : port)
        if (!c.isDigit() || c.unicode() > 0x7f) return {};
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number < 1 || number > 65535) return {};
    return host + u':' + QString::number(number);
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
