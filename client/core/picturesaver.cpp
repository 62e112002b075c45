#include "picturesaver.h"

#include "fileutil.h"
#include "stroke.h"
#include "textutil.h"

#include <QDir>
#include <QSaveFile>
#include <QSet>

namespace zb {

namespace {
// Room left for the temporary suffix of an atomic write within the usual 255-byte limit.
constexpr int MaxFileNameBytes = 240;

// SafeFileName plus control characters, which no file system shows sensibly.
QString safePart(const QString &text)
{
    QString safe = SafeFileName(text);
    safe.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return safe;
}

void chopCodePoint(QString &text)
{
    if (text.isEmpty()) return;
    const bool pair =
        text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate();
    text.chop(pair ? 2 : 1);
}

QString drawerFileName(const QString &stamp, QString drawer, QString word)
{
    auto compose = [&] {
        return stamp + QLatin1Char(' ') + drawer + QStringLiteral(" 「") + word + QStringLiteral("」.png");
    };
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

QString PictureSaver::PictureFileName(const QDateTime &now, const PictureContext &context)
{
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (context.oekakiChatVisible) return stamp + QStringLiteral("  「お絵かきチャットモード」.png");
    if (!context.connected) return stamp + QStringLiteral("  「ひとりで描いた絵」.png");
    if (context.drawerSlot < 0 || context.drawerSlot > 7) return {};
    // The word comes from the server: it must never name a path outside the folder.
    return drawerFileName(stamp, safePart(context.drawerName), safePart(context.questionCaption));
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

bool PictureSaver::SavePNG(const QImage &picture, const QString &path)
{
    if (path.isEmpty() || picture.isNull()) return false;
    const QImage indexed = toIndexed8(picture);
    if (indexed.isNull()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!indexed.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString PictureSaver::PictureFolder()
{
    return ProgramFile(QStringLiteral("png"));
}

QStringList PictureSaver::cmdSavePicture_Click(const QImage &canvas, const PictureContext &context,
                                               const QDateTime &now)
{
    const QString name = PictureFileName(now, context);
    if (name.isEmpty()) return {QStringLiteral("この絵は保存できません！")};
    const QString folder = PictureFolder();
    MakePath(folder);
    if (SavePNG(canvas, QDir(folder).filePath(name)))
        return {QLatin1Char('[') + name + QStringLiteral("]を保存しました")};
    return {QLatin1Char('[') + name + QStringLiteral("]を保存できませんでした")};
}

} // namespace zb
