#pragma once

#include "textclean.h" // cleanPlayerName

#include <QString>

namespace zb {

// "Local": the address box with its host replaced by 127.0.0.1, the port kept.
QString localAddress(const QString &address);

} // namespace zb
