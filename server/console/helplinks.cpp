#include "server/console/helplinks.h"

#include "server/core/questionbank.h"
#include "shared/fileutil.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace zb {

QString helpPageUrl(const QString &section)
{
    const QDir folder(programFolder());
    QStringList candidates = {folder.filePath(QStringLiteral("README.md")),
                              folder.filePath(QStringLiteral("../README.md")),
                              folder.filePath(QStringLiteral("../../README.md"))};
    // Installed, the README is with the package's documentation.
    const QString installed = docFile(QStringLiteral("README.md"));
    if (!installed.isEmpty()) candidates.prepend(installed);
    QString path = candidates.first();
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            path = QFileInfo(candidate).canonicalFilePath();
            break;
        }
    }
    QUrl url = QUrl::fromLocalFile(QDir::cleanPath(path));
    url.setFragment(section);
    return url.toString();
}

void openDictionaryFolder()
{
    const QString folder = QuestionBank::subfolderPath();
    makePath(folder);
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace zb
