#pragma once

#include <QRect>
#include <QSize>

namespace zb {

// Where the parts of the game window go for one window size.
//
// At the classic 944 x 730 everything sits where it always did, with the
// canvas at 640 x 480. A larger window enlarges the canvas (always 4:3), the
// message views and the player column; the width the canvas cannot use goes
// to the player column, the height it cannot use to the views, which also
// run under the player column once it ends above them. A smaller window
// shrinks the views first, then the canvas and the panels: down to
// MinimumSize as the player likes (a laptop's 1366 x 768 with a panel leaves
// less than the classic height), and to SmallestSize on a still smaller screen.
struct GameWindowLayout {
    static constexpr QSize ClassicSize{944, 730};
    static constexpr QSize MinimumSize{800, 600};
    static constexpr QSize SmallestSize{664, 448};

    // Window coordinates.
    QRect backdrop;
    QRect playerColumn; // the eight panels, then the buttons
    QRect systemView;
    QRect chatView;
    QRect sendBox;

    // Backdrop coordinates.
    QRect question;
    QRect canvas;
    QRect swatches[9];
    QRect widthButtons[4];
    QRect clearButton;

    // Player column, relative to its top left.
    int panelStep = 54;
    int panelHeight = 50;
    int buttonStep = 32;

    static GameWindowLayout forSize(QSize size);
};

} // namespace zb
