#include "desktop/desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QSoundEffect>
#include <QTranslator>
#include <QUrl>
#include <QWidget>

namespace zb {

void openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

void openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

int setStaysOnTop(QWidget *window, int mode)
{
    if (!window || (mode != 0 && mode != 1)) return 0;
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, mode == 1);
    if (visible || mode == 1) window->show();
    return 1;
}

void playWaveFile(const QString &path)
{
    // Effects are kept per file so that repeated sounds do not reload them.
    static QHash<QString, QSoundEffect *> effects;
    static QSoundEffect *playing = nullptr;
    if (!QFileInfo::exists(path)) return;
    QSoundEffect *&effect = effects[path];
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(path));
    }
    // One sound at a time: a new one cuts off the one still playing, and the
    // same one starts over.
    if (playing) playing->stop();
    playing = effect;
    effect->play();
}

bool installQtTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Every other text of the programs is Japanese, whatever the system's language.
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace zb
