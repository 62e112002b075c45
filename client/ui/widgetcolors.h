#pragma once

#include <QString>

class QFrame;
class QWidget;

namespace zb {

// The game's colour values, as on the wire, on widgets.
QString cssColor(int value);
void setBackground(QWidget *w, int value);
void setTextColor(QWidget *w, int value);
// A frame drawn over other widgets that lets every click through.
QFrame *markerFrame(QWidget *parent);

} // namespace zb
