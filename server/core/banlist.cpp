#include "banlist.h"

#include "cp932.h"
#include "fileutil.h"

#include <QFileInfo>

namespace zb {

QString BanList::path()
{
    return ProgramFile(QStringLiteral("ban.txt"));
}

bool BanList::matches(const QString &fileText, const QString &address)
{
    if (address.isEmpty()) return false;
    const QStringList lines = fileText.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
        const QString field = (tab < 0 ? line : line.mid(tab + 1)).trimmed();
        if (field == address) return true;
    }
    return false;
}

bool BanList::isBanned(const QString &address)
{
    return matches(ReadTextFile(path()), address);
}

bool BanList::add(const QString &name, const QString &address)
{
    QByteArray bytes;
    if (ReadFileBytes(path(), bytes) < 0 && QFileInfo::exists(path())) return false;
    // A name is the player's own text: line breaks or TABs in it would forge
    // entries for other addresses.
    QString safeName = name;
    for (QChar &c : safeName) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t')) c = QLatin1Char(' ');
    }
    const QString text = fromCp932(bytes) + safeName + QLatin1Char('\t') + address + QStringLiteral("\r\n");
    return WriteTextFile(path(), text);
}

} // namespace zb
