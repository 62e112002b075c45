#include "server/core/dictionaryfile.h"

#include "server/texts/messages.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"

#include <QStringDecoder>
#include <algorithm>

namespace zb {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString joinLines(std::initializer_list<QString> lines)
{
    return QStringList(lines).join(kCrLf);
}

bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return (uchar(c) & 0x80) == 0; });
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !text.isEmpty() && !decoder.hasError();
}

// Every byte a character of the code page: single bytes, or a lead byte
// followed by a trail byte that names an assigned character.
bool isCp932(const QByteArray &bytes)
{
    const auto in = [](uchar b, uchar low, uchar high) { return b >= low && b <= high; };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes.at(i));
        if (b < 0x80 || in(b, 0xA1, 0xDF)) continue;
        if (!in(b, 0x81, 0x9F) && !in(b, 0xE0, 0xFC)) return false;
        if (++i == bytes.size()) return false;
        const uchar trail = uchar(bytes.at(i));
        if (!in(trail, 0x40, 0x7E) && !in(trail, 0x80, 0xFC)) return false;
    }
    return !fromCp932(bytes).contains(QChar::ReplacementCharacter);
}

} // namespace

QStringList DictionaryFile::checkText(const QString &text)
{
    static const QString emptyLine = joinLines({msg::InvalidFile, msg::EmptyLineFound, msg::EmptyLineHint});
    static const QString noFinalBreak =
        joinLines({msg::InvalidFile, msg::NoFinalBreak, msg::NoFinalBreakHint});
    static const QString commentOnly =
        joinLines({msg::InvalidFile, msg::CommentOnlyLine, msg::CommentOnlyHint});
    static const QString lfOnly = joinLines({msg::InvalidFile, msg::LfOnlyLineEnds, msg::LfOnlyLineEndsHint});

    QStringList failed;
    if (text.contains(QStringLiteral("\r\n\r\n"))) failed << emptyLine;
    // Line ends of another system are not a missing final line break.
    if (text.contains(QLatin1Char('\n')) && !text.contains(kCrLf))
        failed << lfOnly;
    else if (!text.endsWith(kCrLf))
        failed << noFinalBreak;
    if (text.contains(QStringLiteral("\r\n//"))) failed << commentOnly;
    if (text.startsWith(QStringLiteral("//"))) failed << commentOnly;
    return failed;
}

DictionaryFile DictionaryFile::read(const QString &path)
{
    DictionaryFile file;
    QByteArray bytes;
    if (readFileBytes(path, bytes) <= 0) return file;
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        bytes.remove(0, bom.size());
        file.utf8 = true;
    } else {
        file.utf8 = !isAscii(bytes) && isUtf8(bytes) && !isCp932(bytes);
    }
    if (!file.utf8) {
        file.text = fromCp932(bytes);
        return file;
    }
    file.text = QString::fromUtf8(bytes);
    file.text.replace(kCrLf, QStringLiteral("\n"));
    file.text.replace(QLatin1Char('\n'), kCrLf);
    return file;
}

int DictionaryFile::wordCount() const
{
    int words = 0;
    for (QStringView line : QStringView(text).split(kCrLf)) {
        const qsizetype comment = line.indexOf(QStringLiteral("//"));
        if (comment == 0) continue;
        if (comment > 0) line = line.left(comment);
        if (!line.trimmed().isEmpty()) ++words;
    }
    return words;
}

} // namespace zb
