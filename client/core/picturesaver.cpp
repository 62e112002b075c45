#include "client/core/picturesaver.h"

#include "client/core/gallery.h"
#include "client/core/messages.h"
#include "shared/fileutil.h"
#include "shared/stroke.h"
#include "shared/textutil.h"

#include <QBuffer>
#include <QDir>
#include <QSaveFile>
#include <QSet>

namespace zb {

namespace {
// Room left for the temporary suffix of an atomic write within the usual 255-byte limit.
constexpr int MaxFileNameBytes = 240;

// safeFileName plus control characters, which no file system shows sensibly.
QString safePart(const QString &text)
{
    QString safe = safeFileName(text);
    safe.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return safe;
}

QString savedLine(const QString &name)
{
    return msg::pictureSaved(name);
}

QString failedLine(const QString &name)
{
    return msg::pictureNotSaved(name);
}

void chopCodePoint(QString &text)
{
    if (text.isEmpty()) return;
    const bool pair =
        text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate();
    text.chop(pair ? 2 : 1);
}

QString composeDrawerFileName(const QString &stamp, QString drawer, QString word)
{
    auto compose = [&] { return msg::drawerPictureName(stamp, drawer, word); };
    // Long Japanese names can pass the byte limit of a file name even after the
    // 100-character cut; shorten the longer part until the name fits.
    QString name = compose();
    while (name.toUtf8().size() > MaxFileNameBytes && (!drawer.isEmpty() || !word.isEmpty())) {
        chopCodePoint(word.size() >= drawer.size() ? word : drawer);
        name = compose();
    }
    return name;
}
} // namespace

QString PictureSaver::pictureFileName(const QDateTime &now, const PictureContext &context)
{
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (context.oekakiChatVisible) return stamp + msg::ChatModePictureSuffix;
    if (!context.connected) return stamp + msg::OfflinePictureSuffix;
    if (context.drawerSlot < 0 || context.drawerSlot > 7) return {};
    return drawerFileName(now, context.drawerName, context.questionCaption);
}

QString PictureSaver::drawerFileName(const QDateTime &when, const QString &drawerName, const QString &caption)
{
    // The word comes from the server: it must never name a path outside the folder.
    return composeDrawerFileName(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), safePart(drawerName),
                                 safePart(caption));
}

QImage PictureSaver::toIndexed8(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> table;
    QSet<QRgb> known;
    for (const int value : PaletteValues) {
        const QRgb c = qRgb(colorRed(value), colorGreen(value), colorBlue(value));
        table.append(c);
        known.insert(c);
    }
    for (int y = 0; y < rgb.height() && table.size() < 256; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width() && table.size() < 256; ++x) {
            const QRgb c = line[x] | 0xFF000000u;
            if (!known.contains(c)) {
                known.insert(c);
                table.append(c);
            }
        }
    }
    return rgb.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither | Qt::AvoidDither);
}

QByteArray PictureSaver::encodePng(const QImage &picture)
{
    if (picture.isNull()) return {};
    const QImage indexed = toIndexed8(picture);
    if (indexed.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!indexed.save(&buffer, "PNG")) return {};
    return bytes;
}

bool PictureSaver::writeFile(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty() || bytes.isEmpty()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool PictureSaver::savePng(const QImage &picture, const QString &path)
{
    if (path.isEmpty()) return false;
    return writeFile(path, encodePng(picture));
}

QString PictureSaver::pictureFolder()
{
    return programFile(QStringLiteral("png"));
}

QStringList PictureSaver::savePicture(const QImage &canvas, const PictureContext &context,
                                      const QDateTime &now)
{
    const QString name = pictureFileName(now, context);
    if (name.isEmpty()) return {msg::PictureCannotBeSaved};
    const QString folder = pictureFolder();
    makePath(folder);
    if (savePng(canvas, QDir(folder).filePath(name))) return {savedLine(name)};
    return {failedLine(name)};
}

QStringList PictureSaver::savePicture(const GalleryPicture &picture, const QDateTime &now)
{
    const QString name = drawerFileName(now, picture.drawer, picture.word);
    const QString folder = pictureFolder();
    makePath(folder);
    if (writeFile(QDir(folder).filePath(name), picture.png)) return {savedLine(name)};
    return {failedLine(name)};
}

QStringList PictureSaver::saveGallery(const QList<GalleryPicture> &pictures)
{
    const QString folder = pictureFolder();
    makePath(folder);
    QStringList lines;
    QSet<QString> taken;
    int saved = 0;
    for (const GalleryPicture &picture : pictures) {
        const QString base = drawerFileName(picture.revealedAt, picture.drawer, picture.word);
        QString name = base;
        // Two turns of one drawer with one word can end within a second: keep both.
        for (int n = 2; taken.contains(name); ++n)
            name = base.chopped(4) + QStringLiteral(" (%1).png").arg(n);
        taken.insert(name);
        if (writeFile(QDir(folder).filePath(name), picture.png))
            ++saved;
        else
            lines << failedLine(name);
    }
    lines << msg::picturesSaved(saved, QDir::toNativeSeparators(folder));
    return lines;
}

} // namespace zb
