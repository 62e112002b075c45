#include "resultsview.h"

#include "client/core/messages.h"
#include "playername.h"
#include "textclean.h"

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
    lblTitle = plainLabel(page);
    lblTitle->setObjectName(QStringLiteral("titleLabel"));
    QFont big = lblTitle->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    lblTitle->setFont(big);
    lblWinner = plainLabel(page);
    lblWinner->setObjectName(QStringLiteral("winnerLabel"));
    QFont bold = lblWinner->font();
    bold.setPointSize(bold.pointSize() + 2);
    bold.setBold(true);
    lblWinner->setFont(bold);

    lstRanking = new QTableWidget(0, 3, page);
    lstRanking->setObjectName(QStringLiteral("lstRanking"));
    lstRanking->setHorizontalHeaderLabels({msg::RankColumn, msg::Name, msg::ScoreColumn});
    lstRanking->verticalHeader()->hide();
    lstRanking->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstRanking->setSelectionMode(QAbstractItemView::NoSelection);
    lstRanking->setFocusPolicy(Qt::NoFocus);
    lstRanking->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    lstRanking->setColumnWidth(0, 48);
    lstRanking->setColumnWidth(2, 60);
    lstRanking->setFixedWidth(240);

    lstGallery = new QListWidget(page);
    lstGallery->setObjectName(QStringLiteral("lstGallery"));
    lstGallery->setViewMode(QListView::IconMode);
    lstGallery->setIconSize(QSize(ThumbWidth, ThumbHeight));
    lstGallery->setGridSize(QSize(ThumbWidth + 14, ThumbHeight + 50));
    lstGallery->setResizeMode(QListView::Adjust);
    lstGallery->setMovement(QListView::Static);
    lstGallery->setWordWrap(true);
    lstGallery->setFocusPolicy(Qt::NoFocus);
    connect(lstGallery, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showPicture(lstGallery->row(item)); });

    lblStatus = plainLabel(page);
    lblStatus->setObjectName(QStringLiteral("statusLabel"));
    cmdSaveAll = new QPushButton(msg::SaveAll, page);
    cmdSaveAll->setObjectName(QStringLiteral("saveAllButton"));
    cmdSaveAll->setToolTip(msg::SaveAllTip);
    openFolderButton = new QPushButton(msg::OpenFolder, page);
    openFolderButton->setObjectName(QStringLiteral("openFolderButton"));
    openFolderButton->setToolTip(msg::OpenFolderTip);
    cmdClose = new QPushButton(msg::Close, page);
    cmdClose->setObjectName(QStringLiteral("closeButton"));
    connect(cmdSaveAll, &QPushButton::clicked, this, &ResultsView::saveAllRequested);
    connect(openFolderButton, &QPushButton::clicked, this, &ResultsView::openFolderRequested);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::hide);

    auto *left = new QVBoxLayout;
    left->addWidget(lblWinner);
    left->addWidget(lstRanking, 1);
    auto *middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addWidget(lstGallery, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(cmdSaveAll);
    bottom->addWidget(openFolderButton);
    bottom->addWidget(cmdClose);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(lblTitle);
    column->addLayout(middle, 1);
    column->addLayout(bottom);
    return page;
}

QWidget *ResultsView::buildLargePage()
{
    auto *page = new QWidget(this);
    lblCaption = plainLabel(page);
    lblCaption->setObjectName(QStringLiteral("captionLabel"));
    QFont bold = lblCaption->font();
    bold.setBold(true);
    lblCaption->setFont(bold);
    picLarge = new QLabel(page);
    picLarge->setObjectName(QStringLiteral("largePicture"));
    picLarge->setAlignment(Qt::AlignCenter);
    picLarge->setMinimumSize(1, 1);
    picLarge->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    picLarge->installEventFilter(this);
    cmdPrevious = new QPushButton(msg::PreviousPicture, page);
    cmdPrevious->setObjectName(QStringLiteral("previousButton"));
    cmdNext = new QPushButton(msg::NextPicture, page);
    cmdNext->setObjectName(QStringLiteral("nextButton"));
    cmdBack = new QPushButton(msg::BackToList, page);
    cmdBack->setObjectName(QStringLiteral("backButton"));
    connect(cmdPrevious, &QPushButton::clicked, this, [this] { showPicture(m_shown - 1); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { showPicture(m_shown + 1); });
    connect(cmdBack, &QPushButton::clicked, this, &ResultsView::showOverview);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdPrevious);
    buttons->addWidget(cmdNext);
    buttons->addStretch();
    buttons->addWidget(cmdBack);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(lblCaption);
    column->addWidget(picLarge, 1);
    column->addLayout(buttons);
    return page;
}

void ResultsView::showResult(const GameResult &result, const QList<GalleryPicture> &pictures)
{
    lblTitle->setText(result.finished ? msg::GameFinished : msg::GameCutShort);
    lblWinner->setText(result.finished && !result.winner.isEmpty()
                           ? msg::WinnerLabel + displayName(result.winner)
                           : msg::NoWinner);
    lstRanking->setRowCount(int(result.ranking.size()));
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
            lstRanking->setItem(row, col, item);
        }
    }

    m_pictures = pictures;
    lstGallery->clear();
    QPixmap blank(ThumbWidth, ThumbHeight);
    blank.fill(Qt::white);
    for (const GalleryPicture &picture : std::as_const(m_pictures))
        new QListWidgetItem(QIcon(blank), captionOf(picture), lstGallery);
    m_nextThumb = 0;
    m_thumbTimer.start();
    cmdSaveAll->setEnabled(!m_pictures.isEmpty());
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
        lstGallery->item(int(m_nextThumb))->setIcon(QPixmap::fromImage(thumb));
    }
    if (m_nextThumb < m_pictures.size()) m_thumbTimer.start();
}

void ResultsView::showPicture(int index)
{
    if (index < 0 || index >= m_pictures.size()) return;
    m_shown = index;
    const GalleryPicture &picture = m_pictures.at(index);
    lblCaption->setText(captionOf(picture).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    m_large = Gallery::decode(picture);
    cmdPrevious->setEnabled(index > 0);
    cmdNext->setEnabled(index + 1 < m_pictures.size());
    m_pages->setCurrentIndex(1);
    // The page may not have been laid out yet; its size is only right once it is.
    m_pages->currentWidget()->layout()->activate();
    fitLarge();
}

void ResultsView::fitLarge()
{
    if (m_large.isNull()) return;
    // Never enlarged; smaller only when the window leaves less room than the canvas had.
    const QSize room = picLarge->width() < 64 ? m_large.size() : picLarge->size().boundedTo(m_large.size());
    picLarge->setPixmap(
        QPixmap::fromImage(m_large.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ResultsView::showOverview()
{
    m_shown = -1;
    m_large = QImage();
    picLarge->clear();
    m_pages->setCurrentIndex(0);
}

void ResultsView::clear()
{
    hide();
    m_thumbTimer.stop();
    showOverview();
    lstGallery->clear();
    m_pictures.clear();
    m_nextThumb = 0;
}

void ResultsView::setStatus(const QString &text)
{
    lblStatus->setText(text);
    // The whole line (a folder's path) even where the view is too narrow for it.
    lblStatus->setToolTip(text);
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
    if (watched == picLarge && event->type() == QEvent::Resize) fitLarge();
    return QFrame::eventFilter(watched, event);
}

} // namespace zb
