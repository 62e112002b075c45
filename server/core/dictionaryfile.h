#pragma once

#include <QString>
#include <QStringList>

namespace zb {

// A dictionary file as the word pool takes it. Code page 932 is read as it
// always was. A file that starts with a UTF-8 byte-order mark, or is valid
// UTF-8 but not valid code page 932, is read as UTF-8 with its line ends
// made CR LF, since today's editors write that.
struct DictionaryFile {
    QString text;
    bool utf8 = false;

    // Lines that hold a word: what the file adds to the pool once it passes the checks.
    int wordCount() const;

    // A file that cannot be read reads as empty.
    static DictionaryFile read(const QString &path);
    // The checks of an added dictionary's text as read; the failed ones' messages.
    static QStringList checkText(const QString &text);
};

} // namespace zb
