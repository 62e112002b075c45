#pragma once

#include <QString>

namespace zb {

// "ban.txt" in the program folder: one "name TAB address" entry per line,
// only ever appended to; lifting a ban means editing the file by hand.
class BanList {
  public:
    static QString path();

    // An entry bans the text after its last TAB, or the whole line when it
    // has none, so a hand-written line of just an address works too. Lines
    // end in CR LF, LF or CR; blanks and TABs around the address do not count.
    static bool matches(const QString &fileText, const QString &address);
    static bool isBanned(const QString &address);

    // Appends an entry (the name cleaned as for the room) to the file's bytes;
    // false when the file could not be read whole or written (an unreadable
    // list is never overwritten, which would lose its bans).
    static bool add(const QString &name, const QString &address);
};

} // namespace zb
