#pragma once

#include <QString>

namespace zb {

// Removes the protocols' field separators from a name and keeps it from
// posing as a game server in the lobby.
QString CleanPlayerName(const QString &name);
// "Local": the address box with its host replaced by 127.0.0.1, the port kept.
QString LocalAddress(const QString &address);

} // namespace zb
