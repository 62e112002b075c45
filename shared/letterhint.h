#pragma once

#include <QString>

namespace zb {

// What the word line shows at second t of a turn for a hidden word: "○" for
// every character at 90, then more letters uncovered as time runs out.
// Returns a null string at the seconds where the line does not change.
QString letterHint(const QString &word, int t);

} // namespace zb
