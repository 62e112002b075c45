#include "shared/hostport.h"

#include <QHostAddress>

namespace zb {

namespace {

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

int portNumber(const QString &text)
{
    if (text.isEmpty()) return 0;
    int n = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') return 0;
        n = n * 10 + (c.unicode() - u'0');
        if (n > 65535) return 0;
    }
    return n;
}

} // namespace

HostPort parseHostPort(const QString &text, const HostPortRules &rules)
{
    HostPort result;
    if (text.size() > MaxAddressLength) return result;
    const QString t = rules.strict ? text : text.trimmed();
    QString host;
    QString port;
    bool hasPort = false;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0) return result;
        host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':')) return result;
            hasPort = true;
            port = rest.mid(1);
        }
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol) return result;
        // A scope ("%eth0") names an interface of the sender's machine, not ours.
        if (rules.strict && host.contains(u'%')) return result;
    } else {
        const qsizetype colon = t.indexOf(u':');
        host = colon < 0 ? t : t.left(colon);
        if (colon >= 0) {
            hasPort = true;
            port = t.mid(colon + 1);
        }
        if (!rules.strict) host = host.trimmed();
        if (host.isEmpty() || (rules.strict && !isHostName(host))) return result;
    }
    int number = rules.defaultPort;
    if (hasPort) {
        if (rules.ignoreExtraPieces) port = port.section(u':', 0, 0);
        if (!rules.strict) port = port.trimmed();
        number = portNumber(port);
        if (number == 0) return result;
    } else if (!rules.portOptional) {
        return result;
    }
    result.host = host;
    result.port = quint16(number);
    result.ok = true;
    return result;
}

} // namespace zb
