#pragma once

#include <QString>
#include <QTime>

namespace zb {

// The text of a log view: appended line by line and cut back to its newest
// 9000 characters whenever it passes 10000.
class LogBuffer {
  public:
    static constexpr int MaxChars = 10000;
    static constexpr int KeepChars = 9000;

    // Returns true when the text was cut (a view must then show text() anew).
    bool append(const QString &line);
    const QString &text() const { return m_text; }
    void clear() { m_text.clear(); }

    static QString stamp(const QTime &time = QTime::currentTime());
    // Each format below makes exactly one line: control characters in the
    // text are dropped.
    // Server console and lobby log: "hh:mm <text" and "hh:mm <system> text".
    static QString chatLine(const QString &text, const QTime &time = QTime::currentTime());
    static QString systemLine(const QString &text, const QTime &time = QTime::currentTime());
    // Game window: chat view "<text", system view "hh:mm text".
    static QString clientChatLine(const QString &text);
    static QString clientSystemLine(const QString &text, const QTime &time = QTime::currentTime());

  private:
    QString m_text;
};

} // namespace zb
