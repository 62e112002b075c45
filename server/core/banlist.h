#pragma once

#include <QHostAddress>
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
    // An entry that ends in "." bans the IPv4 range it starts ("192.168.1."),
    // one that ends in ":" the IPv6 groups it starts ("2001:db8:0:1:"), one
    // with a "/" the network it names ("2001:db8:0:1::/64"); any other entry
    // bans that one address.
    static bool matches(const QString &fileText, const QString &address);
    static bool isBanned(const QString &address);
    static bool isBanned(const QHostAddress &address);

    // Appends an entry (the name cleaned as for the room) to the file's bytes;
    // false when the file could not be read whole or written (an unreadable
    // list is never overwritten, which would lose its bans). An IPv6 address
    // is banned with its /64: its owner holds every address in it.
    static bool add(const QString &name, const QHostAddress &address);
    static bool add(const QString &name, const QString &address);
};

} // namespace zb
