#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace zb {

// One protocol line cut into its command (the first three characters) and its
// payload (from the fifth character on; the fourth is skipped whatever it is).
struct Line {
    QString command;
    QString payload;
    bool operator==(const Line &o) const { return command == o.command && payload == o.payload; }
};

Line splitLine(const QString &line);

// Collects bytes from a stream and hands out every complete CR LF line as soon
// as it has arrived, keeping the unfinished rest. Lines are cut on bytes and
// decoded afterwards, so a double-byte character split across two reads is
// never broken.
class LineFramer {
  public:
    // Room for a 5000-point stroke several times over.
    static constexpr qsizetype DefaultCap = 256 * 1024;

    explicit LineFramer(qsizetype cap = DefaultCap) : m_cap(cap) {}

    // Appends a chunk and moves every complete line (without CR LF) to lines.
    // Returns false when a line, finished or not, is longer than the cap: the
    // lines before it are handed out, the rest is dropped with the buffer, and
    // the owner is expected to drop the connection.
    bool feed(const QByteArray &chunk, QList<QByteArray> &lines);
    // The same without copying a line: `block` receives the complete lines
    // back to back, each with its CR LF, and `lines` one view per line
    // (without CR LF) into block. A relay can pass block, or a run of it, on
    // as it is.
    bool feed(QByteArray chunk, QByteArray &block, QList<QByteArrayView> &lines);
    // The same for a read straight into the buffer, after the unfinished
    // line, so neither is copied: space() gives room for up to `size` bytes,
    // commit() frames the `count` of them that were written there.
    char *space(qsizetype size);
    bool commit(qsizetype count, QByteArray &block, QList<QByteArrayView> &lines);

    void clear();
    qsizetype pendingBytes() const { return m_buffer.size(); }

  private:
    bool frame(QByteArray &block, QList<QByteArrayView> &lines);

    QByteArray m_buffer;       // the unfinished line
    qsizetype m_scan = 0;      // where the search for the next CR LF resumes
    qsizetype m_spaceFrom = 0; // where the bytes of space() begin
    qsizetype m_lastSpace = 0; // room kept behind an unfinished line for the next read
    qsizetype m_cap;
};

} // namespace zb
