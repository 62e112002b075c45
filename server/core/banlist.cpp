#include "banlist.h"

#include "cp932.h"
#include "fileutil.h"
#include "textclean.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace zb {

namespace {
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

QString BanList::path()
{
    return programFile(QStringLiteral("ban.txt"));
}

bool BanList::matches(const QString &fileText, const QString &address)
{
    if (address.isEmpty()) return false;
    // Hand-edited lists come with any line end and blanks around the address.
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    for (const QString &raw : fileText.split(lineEnd)) {
        const QString line = trimBlanks(raw);
        const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
        if (trimBlanks(tab < 0 ? line : line.mid(tab + 1)) == address) return true;
    }
    return false;
}

bool BanList::isBanned(const QString &address)
{
    QByteArray bytes;
    if (readFileBytes(path(), bytes) <= 0) return false;
    // The address is plain ASCII, so a list saved as UTF-8 works once its mark is gone.
    if (bytes.startsWith(kUtf8Bom)) bytes.remove(0, kUtf8Bom.size());
    return matches(fromCp932(bytes), address);
}

bool BanList::add(const QString &name, const QString &address)
{
    QByteArray bytes;
    if (readFileBytes(path(), bytes) < 0 && QFileInfo::exists(path())) return false;
    // The rest of the file stays byte for byte as it was, whatever its
    // encoding; a last line without its end must not swallow the new entry.
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r')) bytes += "\r\n";
    // The name is the player's own text: no line break or TAB may forge an entry.
    bytes += toCp932(cleanName(name)) + '\t' + address.toLatin1() + "\r\n\r\n";
    QSaveFile f(path());
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace zb
