#include "client/ui/resultsview.h"

#include "client/core/messages.h"
#include "client/core/playername.h"
#include "shared/textclean.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zb {

namespace {
// Decoding a picture takes a few milliseconds; a handful per pass keeps the window responsive.
constexpr int ThumbsPerPass = 4;

QLabel *plainLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Names and words come from the server: never markup.
    label->setTextFormat(Qt::PlainText);
    // A long text is cut off at the view's edge instead of widening the view.
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}
} // namespace

ResultsView::ResultsView(QWidget *area) : QFrame(area->window()), m_area(area)
{
    setObjectName(QStringLiteral("resultsView"));
    setFrameShape(QFrame::StyledPanel);
    // The canvas area is painted grey; the results read better on the usual window colour.
    setPalette(QApplication::palette(this));
    setAutoFillBackground(true);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(buildOverview());
    m_pages->addWidget(buildLargePage());
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(m_pages);

    m_thumbTimer.setSingleShot(true);
    m_thumbTimer.setInterval(0);
    connect(&m_thumbTimer, &QTimer::timeout, this, &ResultsView::decodeSomeThumbnails);
    area->installEventFilter(this);
    followArea();
    hide();
}

QWidget *ResultsView::buildOverview()
{
    auto *page = new QWidget(this);
    m_titleLabel = plainLabel(page);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont big = m_titleLabel->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    m_titleLabel->setFont(big);
    m_winnerLabel = plainLabel(page);
    m_winnerLabel->setObjectName(QStringLiteral("winnerLabel"));
    QFont bold = m_winnerLabel->font();
    bold.setPointSize(bold.pointSize() + 2);
    bold.setBold(true);
    m_winnerLabel->setFont(bold);

    m_rankingTable = new QTableWidget(0, 3, page);
    m_rankingTable->setObjectName(QStringLiteral("lstRanking"));
    m_rankingTable->setHorizontalHeaderLabels({msg::RankColumn, msg::Name, msg::ScoreColumn});
    m_rankingTable->verticalHeader()->hide();
    m_rankingTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rankingTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_rankingTable->setFocusPolicy(Qt::NoFocus);
    m_rankingTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_rankingTable->setColumnWidth(0, 48);
    m_rankingTable->setColumnWidth(2, 60);
    m_rankingTable->setFixedWidth(240);

    m_galleryList = new QListWidget(page);
    m_galleryList->setObjectName(QStringLiteral("lstGallery"));
    m_galleryList->setViewMode(QListView::IconMode);
    m_galleryList->setIconSize(QSize(ThumbWidth, ThumbHeight));
    m_galleryList->setGridSize(QSize(ThumbWidth + 14, ThumbHeight + 50));
    m_galleryList->setResizeMode(QListView::Adjust);
    m_galleryList->setMovement(QListView::Static);
    m_galleryList->setWordWrap(true);
    m_galleryList->setFocusPolicy(Qt::NoFocus);
    connect(m_galleryList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showPicture(m_galleryList->row(item)); });

    m_statusLabel = plainLabel(page);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_saveAllButton = new QPushButton(msg::SaveAll, page);
    m_saveAllButton->setObjectName(QStringLiteral("saveAllButton"));
    m_saveAllButton->setToolTip(msg::SaveAllTip);
    m_openFolderButton = new QPushButton(msg::OpenFolder, page);
    m_openFolderButton->setObjectName(QStringLiteral("openFolderButton"));
    m_openFolderButton->setToolTip(msg::OpenFolderTip);
    m_closeButton = new QPushButton(msg::Close, page);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(m_saveAllButton, &QPushButton::clicked, this, &ResultsView::saveAllRequested);
    connect(m_openFolderButton, &QPushButton::clicked, this, &ResultsView::openFolderRequested);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::hide);

    auto *left = new QVBoxLayout;
    left->addWidget(m_winnerLabel);
    left->addWidget(m_rankingTable, 1);
    auto *middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addWidget(m_galleryList, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_statusLabel, 1);
    bottom->addWidget(m_saveAllButton);
    bottom->addWidget(m_openFolderButton);
    bottom->addWidget(m_closeButton);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_titleLabel);
    column->addLayout(middle, 1);
    column->addLayout(bottom);
    return page;
}

QWidget *ResultsView::buildLargePage()
{
    auto *page = new QWidget(this);
    m_captionLabel = plainLabel(page);
    m_captionLabel->setObjectName(QStringLiteral("captionLabel"));
    QFont bold = m_captionLabel->font();
    bold.setBold(true);
    m_captionLabel->setFont(bold);
    m_largePicture = new QLabel(page);
    m_largePicture->setObjectName(QStringLiteral("largePicture"));
    m_largePicture->setAlignment(Qt::AlignCenter);
    m_largePicture->setMinimumSize(1, 1);
    m_largePicture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_largePicture->installEventFilter(this);
    m_previousButton = new QPushButton(msg::PreviousPicture, page);
    m_previousButton->setObjectName(QStringLiteral("previousButton"));
    m_nextButton = new QPushButton(msg::NextPicture, page);
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_backButton = new QPushButton(msg::BackToList, page);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    connect(m_previousButton, &QPushButton::clicked, this, [this] { showPicture(m_shown - 1); });
    connect(m_nextButton, &QPushButton::clicked, this, [this] { showPicture(m_shown + 1); });
    connect(m_backButton, &QPushButton::clicked, this, &ResultsView::showOverview);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_previousButton);
    buttons->addWidget(m_nextButton);
    buttons->addStretch();
    buttons->addWidget(m_backButton);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_captionLabel);
    column->addWidget(m_largePicture, 1);
    column->addLayout(buttons);
    return page;
}

void ResultsView::showResult(const GameResult &result, const QList<GalleryPicture> &pictures)
{
    m_titleLabel->setText(result.finished ? msg::GameFinished : msg::GameCutShort);
    m_winnerLabel->setText(result.finished && !result.winner.isEmpty()
                               ? msg::WinnerLabel + displayName(result.winner)
                               : msg::NoWinner);
    m_rankingTable->setRowCount(int(result.ranking.size()));
    for (int row = 0; row < result.ranking.size(); ++row) {
        const Standing &s = result.ranking.at(row);
        const QStringList cells{msg::RankCell.arg(s.rank), displayName(s.name), QString::number(s.score)};
        for (int col = 0; col < cells.size(); ++col) {
            auto *item = new QTableWidgetItem(cells.at(col));
            item->setTextAlignment(col == 1 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
            if (result.finished && s.name == result.winner) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            m_rankingTable->setItem(row, col, item);
        }
    }

    m_pictures = pictures;
    m_galleryList->clear();
    QPixmap blank(ThumbWidth, ThumbHeight);
    blank.fill(Qt::white);
    for (const GalleryPicture &picture : std::as_const(m_pictures))
        new QListWidgetItem(QIcon(blank), captionOf(picture), m_galleryList);
    m_nextThumb = 0;
    m_thumbTimer.start();
    m_saveAllButton->setEnabled(!m_pictures.isEmpty());
    setStatus(m_pictures.isEmpty() ? msg::NoPictures : msg::ClickToEnlarge);
    showOverview();
    followArea();
    show();
    raise();
}

void ResultsView::decodeSomeThumbnails()
{
    for (int n = 0; n < ThumbsPerPass && m_nextThumb < m_pictures.size(); ++n, ++m_nextThumb) {
        const QImage image = Gallery::decode(m_pictures.at(m_nextThumb));
        if (image.isNull()) continue;
        QImage thumb = image.scaled(ThumbWidth, ThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB32);
        // A white canvas on the white list needs an edge to be seen.
        QPainter edge(&thumb);
        edge.setPen(Qt::gray);
        edge.drawRect(thumb.rect().adjusted(0, 0, -1, -1));
        edge.end();
        m_galleryList->item(int(m_nextThumb))->setIcon(QPixmap::fromImage(thumb));
    }
    if (m_nextThumb < m_pictures.size()) m_thumbTimer.start();
}

void ResultsView::showPicture(int index)
{
    if (index < 0 || index >= m_pictures.size()) return;
    m_shown = index;
    const GalleryPicture &picture = m_pictures.at(index);
    m_captionLabel->setText(captionOf(picture).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    m_large = Gallery::decode(picture);
    m_previousButton->setEnabled(index > 0);
    m_nextButton->setEnabled(index + 1 < m_pictures.size());
    m_pages->setCurrentIndex(1);
    // The page may not have been laid out yet; its size is only right once it is.
    m_pages->currentWidget()->layout()->activate();
    fitLarge();
}

void ResultsView::fitLarge()
{
    if (m_large.isNull()) return;
    // Never enlarged; smaller only when the window leaves less room than the canvas had.
    const QSize room =
        m_largePicture->width() < 64 ? m_large.size() : m_largePicture->size().boundedTo(m_large.size());
    m_largePicture->setPixmap(
        QPixmap::fromImage(m_large.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ResultsView::showOverview()
{
    m_shown = -1;
    m_large = QImage();
    m_largePicture->clear();
    m_pages->setCurrentIndex(0);
}

void ResultsView::clear()
{
    hide();
    m_thumbTimer.stop();
    showOverview();
    m_galleryList->clear();
    m_pictures.clear();
    m_nextThumb = 0;
}

void ResultsView::setStatus(const QString &text)
{
    m_statusLabel->setText(text);
    // The whole line (a folder's path) even where the view is too narrow for it.
    m_statusLabel->setToolTip(text);
}

QString ResultsView::captionOf(const GalleryPicture &picture)
{
    return msg::PictureCaption.arg(QString::number(picture.turn), displayName(picture.drawer),
                                   removeControlChars(picture.word));
}

void ResultsView::followArea()
{
    if (!m_area) return;
    setGeometry(QRect(m_area->mapTo(parentWidget(), QPoint(0, 0)), m_area->size()));
}

bool ResultsView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) followArea();
    if (watched == m_largePicture && event->type() == QEvent::Resize) fitLarge();
    return QFrame::eventFilter(watched, event);
}

} // namespace zb
