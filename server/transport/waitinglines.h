#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zb {

// The lines a transport has received and the room has not taken yet: whole
// CR LF lines back to back in one buffer, and where each ends, so the room
// takes them all at once as views into that buffer.
class WaitingLines {
  public:
    bool isEmpty() const { return m_lineEnds.isEmpty(); }

    // Adds the lines of `block`; each view lies in it, without its CR LF.
    void add(QByteArray block, const QList<QByteArrayView> &lines)
    {
        if (lines.isEmpty()) return;
        const qsizetype base = m_buffer.size();
        for (const QByteArrayView line : lines)
            m_lineEnds.append(base + (line.data() - block.constData()) + line.size());
        if (m_buffer.isEmpty())
            m_buffer = std::move(block);
        else
            m_buffer.append(block);
    }

    // Hands every waiting line over, as Transport::takeLines does.
    bool take(QByteArray &block, QList<QByteArrayView> &lines)
    {
        lines.clear();
        if (m_lineEnds.isEmpty()) {
            block.clear();
            return false;
        }
        block = std::move(m_buffer);
        m_buffer = QByteArray();
        qsizetype from = 0;
        for (const qsizetype end : std::as_const(m_lineEnds)) {
            lines.append(QByteArrayView(block.constData() + from, end - from));
            from = end + 2;
        }
        m_lineEnds.clear();
        return true;
    }

    void clear()
    {
        m_buffer.clear();
        m_lineEnds.clear();
    }

  private:
    QByteArray m_buffer;
    QList<qsizetype> m_lineEnds;
};

} // namespace zb
