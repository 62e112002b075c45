#include "shared/fileutil.h"

#include "shared/cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

// Install folders relative to the programs' folder; the build sets them from
// its install layout.
#ifndef ZB_SHIPPED_FROM_BIN
#define ZB_SHIPPED_FROM_BIN "../share/zembrill"
#endif
#ifndef ZB_DOC_FROM_BIN
#define ZB_DOC_FROM_BIN "../share/doc/zembrill"
#endif

namespace zb {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

QString binFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

FileLocations locations()
{
    return locateFiles(binFolder(), userDataFolder());
}
} // namespace

FileLocations locateFiles(const QString &binFolder, const QString &userDataFolder)
{
    const QDir bin(binFolder);
    const QString shipped = QDir::cleanPath(bin.filePath(QStringLiteral(ZB_SHIPPED_FROM_BIN)));
    if (!QFileInfo(shipped).isDir()) return {binFolder, binFolder, QString(), false};
    // Without a home there is nowhere to write: writes into the shipped folder fail.
    const QString writable = userDataFolder.isEmpty() ? shipped : userDataFolder;
    return {writable, shipped, QDir::cleanPath(bin.filePath(QStringLiteral(ZB_DOC_FROM_BIN))), true};
}

QString userDataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/zembrill");
}

QString programFolder()
{
    if (!programFolderOverride().isEmpty()) return programFolderOverride();
    return locations().writable;
}

void setProgramFolder(const QString &folder)
{
    programFolderOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString programFile(const QString &name)
{
    return QDir(programFolder()).filePath(name);
}

QString dataFile(const QString &name)
{
    const QString own = programFile(name);
    const FileLocations here = locations();
    if (!here.installed || QFileInfo::exists(own)) return own;
    return QDir(here.shipped).filePath(name);
}

QString docFile(const QString &name)
{
    const FileLocations here = locations();
    return here.installed ? QDir(here.doc).filePath(name) : QString();
}

bool makePath(const QString &path)
{
    if (path.isEmpty()) return false;
    return QDir().mkpath(path);
}

qint64 readFileBytes(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    bytes = f.readAll();
    return bytes.size();
}

QString readTextFile(const QString &path)
{
    QByteArray bytes;
    if (readFileBytes(path, bytes) <= 0) return {};
    return fromCp932(bytes);
}

bool writeTextFile(const QString &path, const QString &text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = toCp932(text) + "\r\n";
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace zb
