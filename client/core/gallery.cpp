#include "client/core/gallery.h"

#include "client/core/picturesaver.h"

namespace zb {

bool Gallery::add(int turn, const QString &drawer, const QString &word, const QImage &canvas,
                  const QDateTime &revealedAt)
{
    GalleryPicture picture{turn, drawer, word, revealedAt, PictureSaver::encodePng(canvas)};
    if (picture.png.isEmpty()) return false;
    m_bytes += cost(picture);
    m_pictures.append(std::move(picture));
    while (m_pictures.size() > MaxPictures || (m_bytes > MaxBytes && m_pictures.size() > 1)) {
        m_bytes -= cost(m_pictures.constFirst());
        m_pictures.removeFirst();
    }
    return true;
}

qsizetype Gallery::cost(const GalleryPicture &picture)
{
    // A server may send a word of a quarter megabyte each turn: the text counts too.
    return picture.png.size() + (picture.drawer.size() + picture.word.size()) * qsizetype(sizeof(QChar));
}

void Gallery::clear()
{
    m_pictures.clear();
    m_bytes = 0;
}

QImage Gallery::decode(const GalleryPicture &picture)
{
    return QImage::fromData(picture.png, "PNG");
}

} // namespace zb
