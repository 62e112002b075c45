#pragma once

#include "shared/logbuffer.h"

#include <QPlainTextEdit>

namespace zb {

// A read-only log of chat lines and notices, newest at the bottom, cut back to
// its newest characters when it grows too long. The server console, the game
// window and the lobby window each show their logs in one.
class LogView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LogView(QWidget *parent = nullptr);

    // Appends already formatted text: whole lines, each ending in CR LF.
    void appendLine(const QString &line);

    // Whether the newest line's end shows, as an empty line below it (the
    // default); without it the view ends on the newest line.
    void setShowsFinalLineEnd(bool shows) { m_showsFinalLineEnd = shows; }

    // The log as kept, CR LF line ends included.
    const QString &logText() const { return m_buffer.text(); }

  private:
    LogBuffer m_buffer;
    bool m_showsFinalLineEnd = true;
};

} // namespace zb
