#pragma once

#include <QString>

namespace zb {

// Pages the console's link labels open: sections of the README that ships
// beside the program (or, in a build tree, two folders up from it).
QString helpPageUrl(const QString &section);

inline const QString PortsSection = QStringLiteral("ports");
inline const QString DictionariesSection = QStringLiteral("dictionaries");

} // namespace zb
