#pragma once

#include "shared/textclean.h" // cleanPlayerName, MaxNameLength

#include <QString>

namespace zb {

// "Local": the address box with its host replaced by 127.0.0.1, the port kept.
QString localAddress(const QString &address);

// A player name from the network as every window shows it: without control
// characters and cut to the length the connect dialog lets a player type, so
// that a server's overlong names cannot push a layout apart.
QString displayName(const QString &name);

} // namespace zb
