#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace zb {

// Panels are painted in the button face colour so that the one on top hides the one beneath.
void paintAsPanel(QWidget *w);
// A word-wrapped note in grey under a panel's boxes.
QLabel *noteLabel(const QString &text, QWidget *parent);

} // namespace zb
