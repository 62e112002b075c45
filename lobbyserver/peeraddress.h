#pragma once

#include <QHostAddress>
#include <QString>

namespace zb {

// How the lobby names a peer's address: for players to join at, and for the
// limits that count connections and rooms.
struct PeerAddress {
    // IPv4 reached over IPv6 as plain IPv4.
    static QHostAddress plain(const QHostAddress &address);
    // The address players join at: dotted IPv4, or IPv6 in brackets (players
    // join at address + ":" + port).
    static QString joinText(const QHostAddress &address);
    // An IPv4 address, or the /64 an IPv6 host is handed whole.
    static QString limitKey(const QHostAddress &address);
    // The /24 of an IPv4 address, the /48 of an IPv6 one (a site).
    static QString networkKey(const QHostAddress &address);
};

} // namespace zb
