#pragma once

#include <QString>

namespace zb {

// Pages the console's link labels open: sections of the README that ships
// beside the program (or, in a build tree, two folders up from it).
QString helpPageUrl(const QString &section);

inline const QString PortsSection = QStringLiteral("ports");
inline const QString DictionariesSection = QStringLiteral("dictionaries");
inline const QString HostingSection = QStringLiteral("hosting-from-home");

// Opens the folder for added dictionaries in the file manager, creating it
// first (a host may have removed it since the start).
void openDictionaryFolder();

} // namespace zb
