#pragma once

#include "logbuffer.h"

#include <QPlainTextEdit>

namespace zb {

// The console's log: every chat line and notice of the room, newest at the
// bottom, cut back when it grows too long.
class LogView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit LogView(QWidget *parent = nullptr);

    // Appends an already formatted line (time stamp and CR LF included).
    void appendLine(const QString &line);
    void AddText(const QString &text);
    void AddSystemText(const QString &text);

    // The log as kept, CR LF line ends included.
    const QString &logText() const { return m_buffer.text(); }

  private:
    LogBuffer m_buffer;
};

} // namespace zb
