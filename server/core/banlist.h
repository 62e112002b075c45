#pragma once

#include <QString>

namespace zb {

// "ban.txt" in the program folder: one "name TAB address" entry per line,
// only ever appended to; lifting a ban means editing the file by hand.
class BanList {
  public:
    static QString path();

    // An entry bans the text after its last TAB, or the whole trimmed line
    // when it has none, so a hand-written line of just an address works too.
    static bool matches(const QString &fileText, const QString &address);
    static bool isBanned(const QString &address);

    // Appends an entry; false when the file could not be read whole or written
    // (an unreadable list is never overwritten, which would lose its bans).
    static bool add(const QString &name, const QString &address);
};

} // namespace zb
