#pragma once

#include <QByteArray>
#include <QString>

namespace zb {

// Text on the wire and in files is Microsoft's code page 932 ("windows-31j"),
// whose table differs from plain Shift_JIS for characters such as "－" and "～".
QByteArray toCp932(const QString &text);
QString fromCp932(const QByteArray &bytes);

// True when the character fits into one byte of code page 932.
bool isCp932SingleByte(QChar c);

} // namespace zb
