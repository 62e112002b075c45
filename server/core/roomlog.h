#pragma once

#include "server/core/loggate.h"
#include "shared/logbuffer.h"

#include <QObject>

namespace zb {

// The room's log as the host reads it in the console or the terminal: chat
// lines and system lines, stamped, with every control character escaped so
// that no text from the network can forge a line or act on a terminal, and
// with the limit on how much one source on the network can make it say.
class RoomLog : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    void chat(const QString &text);
    void system(const QString &text);
    // A line caused by a source on the network (an address, the lobby); false
    // when the source has used up its lines for now and it was left out.
    bool from(const QString &source, const QString &text, bool chatLine = false);
    // One clock tick: sources whose window ends get one line with what was left out.
    void tick();

    QString text() const { return m_buffer.text(); }

  signals:
    // "hh:mm <system> text" or "hh:mm <name> message", CR LF included.
    void line(const QString &formattedLine);

  private:
    void add(const QString &formatted);

    LogBuffer m_buffer;
    LogGate m_gate;
};

} // namespace zb
