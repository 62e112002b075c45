#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace zb {

// Message boxes over the console window. Each is window-modal and returns at
// once; what follows the host's answer runs when the box is dismissed.
class HostBoxes {
  public:
    HostBoxes(QWidget *window, const QString &title) : m_window(window), m_title(title) {}

    // `done` gets the button pressed (Escape gives the escape button).
    void ask(const QString &text, int buttons, std::function<void(int)> done = {}) const;
    // One box after the other, as each is dismissed.
    void tell(const QStringList &texts) const;

  private:
    QWidget *m_window;
    QString m_title;
};

} // namespace zb
