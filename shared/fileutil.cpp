#include "fileutil.h"

#include "cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace zb {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

void SetProgramFolder(const QString &folder)
{
    programFolderOverride() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString ProgramFile(const QString &name)
{
    return QDir(ProgramFolder()).filePath(name);
}

bool MakePath(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QDir().mkpath(path);
}

qint64 ReadFileBytes(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bytes = f.readAll();
    return bytes.size();
}

QString ReadTextFile(const QString &path)
{
    QByteArray bytes;
    if (ReadFileBytes(path, bytes) <= 0)
        return {};
    return fromCp932(bytes);
}

bool WriteTextFile(const QString &path, const QString &text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = toCp932(text) + "\r\n";
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace zb
