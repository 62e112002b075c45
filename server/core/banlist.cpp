#include "server/core/banlist.h"

#include "shared/addresskey.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/textclean.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <sys/stat.h>

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

// The address fields of the list, one per non-empty line.
QStringList entries(const QString &fileText)
{
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    QStringList out;
    for (const QString &raw : fileText.split(lineEnd)) {
        const QString line = trimBlanks(raw);
        const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
        const QString entry = trimBlanks(tab < 0 ? line : line.mid(tab + 1));
        if (!entry.isEmpty()) out << entry;
    }
    return out;
}

// "2001:db8:0:1:" as the network of its groups; false when it is not such a prefix.
bool groupPrefix(const QString &entry, QHostAddress &network, int &bits)
{
    QString groups = entry;
    while (groups.endsWith(QLatin1Char(':')))
        groups.chop(1);
    if (groups.isEmpty() || groups.contains(QStringLiteral("::"))) return false;
    const int count = int(groups.count(QLatin1Char(':'))) + 1;
    if (count > 7) return false;
    if (!network.setAddress(groups + QStringLiteral("::"))) return false;
    bits = count * 16;
    return true;
}

bool entryMatches(const QString &entry, const QHostAddress &address, const QString &text)
{
    if (entry.contains(QLatin1Char('/'))) {
        const QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(entry);
        return subnet.second >= 0 && !address.isNull() && address.isInSubnet(subnet);
    }
    if (entry.endsWith(QLatin1Char('.'))) return !text.contains(QLatin1Char(':')) && text.startsWith(entry);
    if (entry.endsWith(QLatin1Char(':'))) {
        QHostAddress network;
        int bits = 0;
        return groupPrefix(entry, network, bits) && !address.isNull() && address.isInSubnet(network, bits);
    }
    if (entry == text) return true;
    // The same IPv6 address may be written in another case or compression.
    const QHostAddress listed(entry);
    return !listed.isNull() && !address.isNull() && addressText(listed) == text;
}

bool matchesAny(const QStringList &list, const QString &text)
{
    if (text.isEmpty()) return false;
    QHostAddress address(text);
    // Dotted text for an IPv4 address, whatever form it came in.
    const QString canonical = address.isNull() ? text : addressText(address);
    for (const QString &entry : list) {
        if (entryMatches(entry, address, canonical)) return true;
    }
    return false;
}

// The list as last read, read again only when the file changed: the check
// runs at every join, and a large list would be parsed each time.
struct Cache {
    QString path;
    bool present = false;
    struct stat info {};
    QStringList entries;
};

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

const QStringList &currentEntries()
{
    static Cache cache;
    const QString file = BanList::path();
    struct stat info {};
    const bool present = ::stat(QFile::encodeName(file).constData(), &info) == 0;
    if (file == cache.path && present == cache.present && (!present || sameFile(info, cache.info)))
        return cache.entries;
    cache.path = file;
    cache.present = present;
    cache.info = info;
    cache.entries.clear();
    QByteArray bytes;
    if (present && readFileBytes(file, bytes) > 0) {
        // The address is plain ASCII, so a list saved as UTF-8 works once its mark is gone.
        if (bytes.startsWith(kUtf8Bom)) bytes.remove(0, kUtf8Bom.size());
        cache.entries = entries(fromCp932(bytes));
    }
    return cache.entries;
}
} // namespace

QString BanList::path()
{
    return programFile(QStringLiteral("ban.txt"));
}

bool BanList::matches(const QString &fileText, const QString &address)
{
    return matchesAny(entries(fileText), address);
}

bool BanList::isBanned(const QString &address)
{
    return matchesAny(currentEntries(), address);
}

bool BanList::isBanned(const QHostAddress &address)
{
    return isBanned(addressText(address));
}

bool BanList::add(const QString &name, const QHostAddress &address)
{
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    return add(name, isV4 ? addressText(address) : networkKey(address, 32, 64));
}

bool BanList::add(const QString &name, const QString &address)
{
    QByteArray bytes;
    if (readFileBytes(path(), bytes) < 0 && QFile::exists(path())) return false;
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
