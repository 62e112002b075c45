#pragma once

#include <QHostAddress>
#include <QString>

namespace zb {

// The text of an address as the logs and the ban list show it: dotted for
// IPv4, also when it arrives mapped into IPv6.
QString addressText(const QHostAddress &address);

// What a per-address rule counts. An IPv4 address stands for itself; an IPv6
// address for its /64, since every home line gets at least a /64 and its
// owner can take any address in it ("2001:db8:0:1::/64").
QString addressKey(const QHostAddress &address);

// The network an address lies in, for rules that count whole providers'
// blocks: the first v4Bits of an IPv4 address or v6Bits of an IPv6 one,
// written as "network/bits".
QString networkKey(const QHostAddress &address, int v4Bits, int v6Bits);

} // namespace zb
