#include "lobbyserver/peeraddress.h"

namespace zb {

namespace {
// The first bits of an IPv6 address, as "network/bits".
QString ipv6Prefix(const QHostAddress &address, int bits)
{
    Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = bits / 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes).toString() + QLatin1Char('/') + QString::number(bits);
}
} // namespace

QHostAddress PeerAddress::plain(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : address;
}

QString PeerAddress::joinText(const QHostAddress &address)
{
    QHostAddress a = plain(address);
    if (a.protocol() == QAbstractSocket::IPv4Protocol) return a.toString();
    a.setScopeId(QString());
    return QLatin1Char('[') + a.toString() + QLatin1Char(']');
}

QString PeerAddress::limitKey(const QHostAddress &address)
{
    const QHostAddress a = plain(address);
    return a.protocol() == QAbstractSocket::IPv4Protocol ? a.toString() : ipv6Prefix(a, 64);
}

QString PeerAddress::networkKey(const QHostAddress &address)
{
    const QHostAddress a = plain(address);
    if (a.protocol() != QAbstractSocket::IPv4Protocol) return ipv6Prefix(a, 48);
    return QHostAddress(a.toIPv4Address() & 0xffffff00u).toString() + QStringLiteral("/24");
}

} // namespace zb
