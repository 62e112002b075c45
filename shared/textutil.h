#pragma once

#include <QByteArray>
#include <QString>

namespace zb {

// Form encoding of the text's code page 932 bytes: both bytes of a double-byte
// character become %XX, a space becomes "+".
QString urlEncode(const QString &text);

// Reverse of urlEncode into bytes; returns how many bytes were written.
int urlDecode(const QString &text, QByteArray &bytes);
// Convenience: decode and read the bytes back as code page 932 text.
QString urlDecodeText(const QString &text);

// The text between the first startMark and the first endMark after it;
// empty when either is missing.
QString textBetween(const QString &text, const QString &startMark, const QString &endMark);

// Replaces the characters a file name cannot hold by full-width look-alikes
// and cuts the result to 100 characters.
QString safeFileName(const QString &text);

// ァ..ン become ぁ..ん; everything else ("ヴ", "ー" among them) stays.
QString katakanaToHiragana(const QString &text);

} // namespace zb
