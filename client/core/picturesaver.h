#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

namespace zb {

struct GalleryPicture;

struct PictureContext {
    bool oekakiChatVisible = false; // the free-drawing banner is shown
    bool connected = false;         // an open game connection
    int drawerSlot = -2;            // -2: no drawer known yet
    QString drawerName;
    QString questionCaption; // what the word line shows
};

class PictureSaver {
  public:
    // The file name, or an empty string when the picture cannot be saved.
    static QString pictureFileName(const QDateTime &now, const PictureContext &context);
    // The name of a turn's picture: stamp, drawer and word.
    static QString drawerFileName(const QDateTime &when, const QString &drawerName, const QString &caption);
    // An 8-bit PNG whose colour table keeps the canvas colours; false on failure.
    static bool savePng(const QImage &picture, const QString &path);
    // The PNG that savePng writes, in memory; empty on failure.
    static QByteArray encodePng(const QImage &picture);
    // Writes the file whole or not at all.
    static bool writeFile(const QString &path, const QByteArray &bytes);
    // The whole "save picture" action into programFolder()/png: returns the
    // system lines to show, in order ("この絵は保存できません！", or the success
    // line "[name]を保存しました" only after the file was written, or a clear
    // failure line).
    static QStringList savePicture(const QImage &canvas, const PictureContext &context,
                                   const QDateTime &now = QDateTime::currentDateTime());
    // The same for a turn's kept picture, named by its drawer and word.
    static QStringList savePicture(const GalleryPicture &picture,
                                   const QDateTime &now = QDateTime::currentDateTime());
    // Every kept picture, each stamped with the moment of its turn's end (two
    // that would share a name get " (2)", " (3)", ...): a line per failure,
    // then the count of pictures written.
    static QStringList saveGallery(const QList<GalleryPicture> &pictures);

    // The picture as an 8-bit indexed image: the nine palette colours first, then
    // any other colour present, nearest-colour mapped beyond 256 (no dithering).
    static QImage toIndexed8(const QImage &picture);
    // The folder pictures are saved into.
    static QString pictureFolder();
};

} // namespace zb
