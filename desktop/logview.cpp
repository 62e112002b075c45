#include "desktop/logview.h"

#include <QScrollBar>
#include <QTextCursor>

namespace zb {

namespace {
// The view shows one paragraph per line; a CR would show as a stray glyph.
QString displayText(QString text)
{
    text.remove(QLatin1Char('\r'));
    return text;
}
} // namespace

LogView::LogView(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void LogView::appendLine(const QString &line)
{
    const bool cut = m_buffer.append(line);
    if (m_showsFinalLineEnd) {
        if (cut) {
            setPlainText(displayText(m_buffer.text()));
        } else {
            QTextCursor cursor(document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(displayText(line));
        }
    } else {
        QString shown = displayText(cut ? m_buffer.text() : line);
        if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
        if (cut)
            setPlainText(shown);
        else
            appendPlainText(shown);
    }
    // The view follows the newest line.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace zb
