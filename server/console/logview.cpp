#include "logview.h"

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
    setObjectName(QStringLiteral("txtState"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void LogView::appendLine(const QString &line)
{
    if (m_buffer.append(line)) {
        setPlainText(displayText(m_buffer.text()));
    } else {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(displayText(line));
    }
    // The view follows the newest line.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::AddText(const QString &text)
{
    appendLine(LogBuffer::chatLine(text));
}

void LogView::AddSystemText(const QString &text)
{
    appendLine(LogBuffer::systemLine(text));
}

} // namespace zb
