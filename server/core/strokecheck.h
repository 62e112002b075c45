#pragma once

#include <QByteArrayView>

namespace zb {

// How far outside the 640 × 480 canvas a point may lie: a player who drags
// the pen off the canvas keeps drawing, and the pointer may cross a whole
// screen before the button comes up.
inline constexpr int StrokeMargin = 8192;

// Whether a stroke payload (the bytes after "STK ") is one the player's
// program sends: a colour 0 to 16777215, one of the pen widths it offers, 1 to
// MaxStrokePoints points written "x,y;" with numbers inside the canvas plus
// StrokeMargin. It reads the bytes as they are, building nothing, so that the
// relay can check every stroke before passing it on.
bool isPlausibleStroke(QByteArrayView payload);

} // namespace zb
