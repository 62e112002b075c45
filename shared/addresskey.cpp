#include "shared/addresskey.h"

namespace zb {

QString addressText(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString addressKey(const QHostAddress &address)
{
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    return isV4 ? addressText(address) : networkKey(address, 32, 64);
}

QString networkKey(const QHostAddress &address, int v4Bits, int v6Bits)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        const int bits = qBound(0, v4Bits, 32);
        const quint32 mask = bits == 0 ? 0 : ~quint32(0) << (32 - bits);
        return QHostAddress(v4 & mask).toString() + QLatin1Char('/') + QString::number(bits);
    }
    const int bits = qBound(0, v6Bits, 128);
    Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 16; ++i) {
        const int keep = qBound(0, bits - 8 * i, 8);
        bytes[i] &= quint8(0xFF00 >> keep);
    }
    return QHostAddress(bytes).toString() + QLatin1Char('/') + QString::number(bits);
}

} // namespace zb
