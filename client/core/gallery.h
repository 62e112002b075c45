#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

namespace zb {

// The canvas of one turn as it stood when the word was revealed.
struct GalleryPicture {
    int turn = 0;
    QString drawer;
    QString word;
    QDateTime revealedAt;
    QByteArray png; // exactly what a save writes
};

// The pictures of the last turns, kept as PNG. Both a count and a byte budget
// bound it: a drawing takes a few tens of KB, but a drawer who fills the
// canvas with noise makes each picture about 300 KB.
class Gallery {
  public:
    static constexpr int MaxPictures = 64;
    static constexpr qsizetype MaxBytes = 8 * 1024 * 1024;

    // Keeps the canvas as the newest picture; the oldest give way to stay
    // within both bounds. False when the canvas could not be encoded.
    bool add(int turn, const QString &drawer, const QString &word, const QImage &canvas,
             const QDateTime &revealedAt = QDateTime::currentDateTime());
    void clear();

    int size() const { return int(m_pictures.size()); }
    bool isEmpty() const { return m_pictures.isEmpty(); }
    const GalleryPicture &at(int index) const { return m_pictures.at(index); }
    const QList<GalleryPicture> &pictures() const { return m_pictures; }
    // Bytes held: the PNG and the drawer's name and word.
    qsizetype bytes() const { return m_bytes; }
    static qsizetype cost(const GalleryPicture &picture);

    static QImage decode(const GalleryPicture &picture);

  private:
    QList<GalleryPicture> m_pictures;
    qsizetype m_bytes = 0;
};

} // namespace zb
