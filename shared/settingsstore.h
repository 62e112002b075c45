#pragma once

#include <QString>

namespace zb {

// The per-user settings both programs share: application "ゼンブリル",
// section "Option". Every value is text.
class SettingsStore {
  public:
    static QString read(const QString &key); // missing: empty
    static void write(const QString &key, const QString &value);
    // Reads a number; a missing or non-numeric value leaves `value` as it was.
    static bool readInt(const QString &key, int &value);
    // Reads a number that must fit 16 bits (as the stored settings are read).
    static bool readInt16(const QString &key, int &value);
    // Redirects the store into one file (tests, portable setups); empty: the user's store.
    static void setFile(const QString &path);
    static QString location();
};

} // namespace zb
