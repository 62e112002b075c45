#pragma once

#include "client/core/gallery.h"
#include "client/core/gameresult.h"

#include <QFrame>
#include <QImage>
#include <QPointer>
#include <QTimer>

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace zb {

// The end of a game, laid over the canvas area of the game window: the
// ranking, the winner and the turns' pictures as thumbnails; a click shows a
// picture large. It is an ordinary child widget, so the game window stays in
// use (chat, ready button) while it is open.
class ResultsView : public QFrame {
    Q_OBJECT
  public:
    static constexpr int ThumbWidth = 144;
    static constexpr int ThumbHeight = 108;

    // Covers `area` and follows its place and size.
    explicit ResultsView(QWidget *area);

    void showResult(const GameResult &result, const QList<GalleryPicture> &pictures);
    void showPicture(int index);
    void showOverview();
    void setStatus(const QString &text);
    // Hides the view and lets go of the pictures (the next game has begun).
    void clear();
    // The picture shown large; -1 on the overview.
    int shownPicture() const { return m_shown; }
    // Thumbnails are decoded a few at a time; true once all are there.
    bool thumbnailsReady() const { return m_nextThumb >= m_pictures.size(); }

  signals:
    void saveAllRequested();
    void openFolderRequested();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *buildOverview();
    QWidget *buildLargePage();
    void followArea();
    void decodeSomeThumbnails();
    void fitLarge();
    static QString captionOf(const GalleryPicture &picture);

    QLabel *m_titleLabel = nullptr;
    QLabel *m_winnerLabel = nullptr;
    QTableWidget *m_rankingTable = nullptr;
    QListWidget *m_galleryList = nullptr;
    QLabel *m_statusLabel = nullptr;
    QPushButton *m_saveAllButton = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_captionLabel = nullptr;
    QLabel *m_largePicture = nullptr;
    QPushButton *m_previousButton = nullptr;
    QPushButton *m_nextButton = nullptr;
    QPushButton *m_backButton = nullptr;
    QPointer<QWidget> m_area;
    QStackedWidget *m_pages = nullptr;
    QList<GalleryPicture> m_pictures;
    qsizetype m_nextThumb = 0;
    int m_shown = -1;
    QImage m_large; // the picture shown large, at full size
    QTimer m_thumbTimer;
};

} // namespace zb
