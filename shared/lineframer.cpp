#include "lineframer.h"

namespace zb {

Line SplitLine(const QString &line)
{
    Line l;
    l.command = line.left(3);
    if (line.size() > 4)
        l.payload = line.mid(4);
    return l;
}

bool LineFramer::feed(const QByteArray &chunk, QList<QByteArray> &lines)
{
    m_buffer.append(chunk);
    for (;;) {
        const qsizetype cr = m_buffer.indexOf("\r\n", m_scan);
        if (cr < 0)
            break;
        // A line that arrives whole in one read is held to the cap as well.
        if (cr - m_start > m_cap) {
            clear();
            return false;
        }
        lines.append(m_buffer.mid(m_start, cr - m_start));
        m_start = cr + 2;
        m_scan = m_start;
    }
    // A CR at the very end may be the first half of the next CR LF.
    m_scan = qMax(m_start, m_buffer.size() - 1);
    if (m_start > 0 && (m_start == m_buffer.size() || m_start > 4096)) {
        m_buffer.remove(0, m_start);
        m_scan -= m_start;
        m_start = 0;
    }
    if (pendingBytes() > m_cap) {
        clear();
        return false;
    }
    return true;
}

void LineFramer::clear()
{
    m_buffer.clear();
    m_start = 0;
    m_scan = 0;
}

} // namespace zb
