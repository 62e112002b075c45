#include "shared/lineframer.h"

#include <QVarLengthArray>
#include <cstring>

namespace zb {

namespace {
// The next CR LF at or after `from`, or -1. memchr rather than
// QByteArray::indexOf: Qt's search for a short needle walks byte by byte
// and was the relay's largest cost in user space.
qsizetype findCrLf(const QByteArray &bytes, qsizetype from)
{
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    while (from + 1 < size) {
        const void *cr = std::memchr(data + from, '\r', size_t(size - 1 - from));
        if (!cr) return -1;
        const qsizetype at = static_cast<const char *>(cr) - data;
        if (data[at + 1] == '\n') return at;
        from = at + 1;
    }
    return -1;
}
} // namespace

Line splitLine(const QString &line)
{
    Line l;
    l.command = line.left(3);
    if (line.size() > 4) l.payload = line.mid(4);
    return l;
}

bool LineFramer::feed(const QByteArray &chunk, QList<QByteArray> &lines)
{
    QByteArray block;
    QList<QByteArrayView> views;
    const bool ok = feed(chunk, block, views);
    for (const QByteArrayView line : views)
        lines.append(line.toByteArray());
    return ok;
}

bool LineFramer::feed(QByteArray chunk, QByteArray &block, QList<QByteArrayView> &lines)
{
    // A read that starts a line is kept as it came, without a copy.
    if (m_buffer.isEmpty())
        m_buffer = std::move(chunk);
    else
        m_buffer.append(chunk);
    return frame(block, lines);
}

char *LineFramer::space(qsizetype size)
{
    m_spaceFrom = m_buffer.size();
    m_lastSpace = size;
    if (m_buffer.capacity() - m_spaceFrom < size) {
        QByteArray grown;
        grown.reserve(m_spaceFrom + size);
        grown.append(m_buffer.constData(), m_buffer.size());
        m_buffer = std::move(grown);
    }
    m_buffer.resize(m_spaceFrom + size);
    return m_buffer.data() + m_spaceFrom;
}

bool LineFramer::commit(qsizetype count, QByteArray &block, QList<QByteArrayView> &lines)
{
    m_buffer.truncate(m_spaceFrom + qMax<qsizetype>(0, count));
    return frame(block, lines);
}

bool LineFramer::frame(QByteArray &block, QList<QByteArrayView> &lines)
{
    block.clear();
    lines.clear();
    QVarLengthArray<qsizetype, 32> ends;
    qsizetype start = 0;
    bool ok = true;
    for (;;) {
        const qsizetype cr = findCrLf(m_buffer, m_scan);
        if (cr < 0) break;
        // A line that arrives whole in one read is held to the cap as well.
        if (cr - start > m_cap) {
            ok = false;
            break;
        }
        ends.append(cr);
        start = cr + 2;
        m_scan = start;
    }
    if (start > 0) {
        // The complete lines keep the buffer; only the unfinished rest moves.
        block = std::move(m_buffer);
        m_buffer = QByteArray();
        if (start < block.size()) {
            // With room for the next read behind it, which then lands in place.
            m_buffer.reserve(block.size() - start + m_lastSpace);
            m_buffer.append(block.constData() + start, block.size() - start);
            block.truncate(start);
        }
    }
    if (ok && m_buffer.size() > m_cap) ok = false;
    if (!ok) {
        clear();
    } else {
        // A CR at the very end may be the first half of the next CR LF.
        m_scan = qMax<qsizetype>(0, m_buffer.size() - 1);
    }
    qsizetype from = 0;
    for (const qsizetype cr : ends) {
        lines.append(QByteArrayView(block.constData() + from, cr - from));
        from = cr + 2;
    }
    return ok;
}

void LineFramer::clear()
{
    m_buffer.clear();
    m_lastSpace = 0;
    m_scan = 0;
}

} // namespace zb
