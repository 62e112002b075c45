#pragma once

#include "server/portmap/portmaptypes.h"

#include <QStringList>

namespace zb {

// How players reach the room: the addresses the host is shown and the
// invitation the host passes on.

// This machine's IPv4 address on the home network (a private one first);
// empty when it has none but loopback.
QString guessLanAddress();

// "host:port" inside the home network, or "不明".
QString lanAddressText(const PortMapStatus &status);
// The router's outside address, or "不明".
QString externalAddressText(const PortMapStatus &status);
// The "host:port" to give to players: outside when the router told its
// address, otherwise on the home network.
QString invitationAddress(const PortMapStatus &status);
// "http://host:port/": the room's page for players with a browser only.
QString browserLink(const QString &hostPort);
// What the copy button puts on the clipboard: the address and its links.
QString invitationText(const PortMapStatus &status, bool browserPlay = true);
// The lines a headless server prints about its address.
QStringList addressReport(const PortMapStatus &status, bool browserPlay = true);

} // namespace zb
