#include "client/ui/gamewindowlayout.h"

#include "shared/gui/canvasimage.h"

#include <QtGlobal>
#include <cmath>

namespace zb {

namespace {
constexpr int Margin = 8;
// Around the canvas inside the grey backdrop: word line and clock above, the
// palette column to the right.
constexpr int CanvasLeft = 8;
constexpr int CanvasTop = 58;
constexpr int PaletteGap = 8;
constexpr int PaletteWidth = 56;
constexpr int BackdropRight = 4;
constexpr int BackdropBottom = 8;
constexpr int AroundCanvasWidth = CanvasLeft + PaletteGap + PaletteWidth + BackdropRight;
constexpr int AroundCanvasHeight = CanvasTop + BackdropBottom;

constexpr int ClassicColumnWidth = 212;
// Wider panels only show more blank.
constexpr int MaxColumnWidth = 360;
constexpr int ClassicViewsHeight = 168;
// About five lines of text.
constexpr int MinViewsHeight = 96;
constexpr int MinCanvasWidth = 360;
constexpr int MinPanelStep = 40;
constexpr int ButtonRows = 4;
} // namespace

GameWindowLayout GameWindowLayout::forSize(QSize size)
{
    GameWindowLayout l;
    const int w = qMax(size.width(), SmallestSize.width());
    const int h = qMax(size.height(), SmallestSize.height());
    const int extraHeight = h - ClassicSize.height();

    // The views get a quarter of any extra height and give up height first.
    int views = extraHeight >= 0 ? ClassicViewsHeight + extraHeight / 4
                                 : qMax(MinViewsHeight, ClassicViewsHeight + extraHeight);
    int column = qMin(MaxColumnWidth, ClassicColumnWidth + qMax(0, w - ClassicSize.width()) / 5);

    const int roomWidth = w - 2 * Margin - column - AroundCanvasWidth;
    const int roomHeight = h - 2 * Margin - views - AroundCanvasHeight;
    // A multiple of four keeps the canvas at exactly 4:3.
    const int canvasWidth = qMax(MinCanvasWidth, qMin(roomWidth, roomHeight * 4 / 3)) / 4 * 4;
    const int canvasHeight = canvasWidth * 3 / 4;
    const int blockWidth = canvasWidth + AroundCanvasWidth;
    // Width a large canvas leaves over widens the panels; beside a shrunken
    // canvas it stays with the message views, which need it more.
    if (canvasWidth >= CanvasWidth) column = qMax(column, qMin(MaxColumnWidth, w - 2 * Margin - blockWidth));

    l.backdrop = QRect(0, 0, w - 2 * Margin - column, canvasHeight + AroundCanvasHeight);
    l.question = QRect(8, 4, l.backdrop.width() - 16, 28);
    // Width the canvas cannot use beyond the column's share stays grey on both sides.
    const int left = CanvasLeft + (l.backdrop.width() - blockWidth) / 2;
    l.canvas = QRect(left, CanvasTop, canvasWidth, canvasHeight);

    // The palette grows and shrinks with the canvas, and always fits beside it.
    const double v = qMin(1.4, double(canvasHeight) / CanvasHeight);
    int swatchStep = qMax(16, int(std::lround(30 * v)));
    int widthStep = qMax(22, int(std::lround(44 * v)));
    int clearHeight = qMax(20, int(std::lround(28 * v)));
    const int paletteHeight = 9 * swatchStep + 4 + 4 * widthStep + 2 + clearHeight;
    if (paletteHeight > canvasHeight) {
        const double fit = double(canvasHeight) / paletteHeight;
        swatchStep = int(swatchStep * fit);
        widthStep = int(widthStep * fit);
        clearHeight = int(clearHeight * fit);
    }
    const int paletteX = l.canvas.right() + 1 + PaletteGap;
    for (int i = 0; i < 9; ++i)
        l.swatches[i] = QRect(paletteX + 4, CanvasTop + i * swatchStep, 48, swatchStep - 4);
    const int widthTop = CanvasTop + 9 * swatchStep + 4;
    for (int i = 0; i < 4; ++i)
        l.widthButtons[i] = QRect(paletteX + 4, widthTop + i * widthStep, 48, widthStep - 4);
    l.clearButton = QRect(paletteX, widthTop + 4 * widthStep + 2, PaletteWidth, clearHeight);

    // Panels: classic height, a little more in tall windows, less in low ones.
    const int columnHeight = h - 2 * Margin;
    auto fits = [&](int panelStep, int buttonStep) {
        return 8 * panelStep + 4 + ButtonRows * buttonStep - 4 <= columnHeight;
    };
    auto lowestFit = [&](int buttonStep) {
        return qMax(MinPanelStep, (columnHeight - 4 - ButtonRows * buttonStep + 4) / 8);
    };
    l.panelStep = qMin(64, 54 + qMax(0, extraHeight) / 16);
    l.buttonStep = 32;
    if (!fits(l.panelStep, l.buttonStep)) l.panelStep = lowestFit(l.buttonStep);
    if (!fits(l.panelStep, l.buttonStep)) {
        l.buttonStep = 28;
        l.panelStep = lowestFit(l.buttonStep);
    }
    l.panelHeight = l.panelStep - 4;
    l.playerColumn =
        QRect(w - Margin - column, Margin, column, 8 * l.panelStep + 4 + ButtonRows * l.buttonStep - 4);

    const int viewsTop = l.backdrop.bottom() + 1 + Margin;
    views = h - Margin - viewsTop;
    // Under the backdrop, or across the window when the column ends above them.
    const int viewsWidth = l.playerColumn.bottom() < viewsTop ? w - 2 * Margin : l.backdrop.width() - Margin;
    const int half = (viewsWidth - Margin) / 2;
    l.systemView = QRect(Margin, viewsTop, half, views);
    l.chatView = QRect(2 * Margin + half, viewsTop, half, views - 32);
    l.sendBox = QRect(2 * Margin + half, viewsTop + views - 28, half, 28);
    return l;
}

} // namespace zb
