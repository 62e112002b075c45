#include "server/core/roomlog.h"

#include "server/texts/messages.h"
#include "shared/textclean.h"

namespace zb {

void RoomLog::add(const QString &formatted)
{
    m_buffer.append(formatted);
    emit line(formatted);
}

void RoomLog::chat(const QString &text)
{
    add(LogBuffer::chatLine(escapeControlChars(text)));
}

void RoomLog::system(const QString &text)
{
    add(LogBuffer::systemLine(escapeControlChars(text)));
}

bool RoomLog::from(const QString &source, const QString &text, bool chatLine)
{
    if (!source.isEmpty() && !m_gate.admit(source)) return false;
    if (chatLine)
        chat(text);
    else
        system(text);
    return true;
}

void RoomLog::tick()
{
    for (const LogGate::Omitted &omitted : m_gate.tick())
        system(msg::linesOmitted(omitted.source, omitted.lines));
}

} // namespace zb
