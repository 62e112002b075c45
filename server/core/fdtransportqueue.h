#pragma once

#include <QByteArray>
#include <deque>

namespace zb {

// A connection's output that the kernel has not taken yet: runs of the
// callers' shared blocks held by reference, and small leftovers copied into
// buffers of their own, so a queue never pins much more memory than it
// counts.
class FdOutputQueue {
  public:
    bool isEmpty() const { return m_pieces.empty(); }
    qint64 bytes() const { return m_bytes; }

    // Queues `size` bytes of `block` from `offset` on.
    void append(const QByteArray &block, qsizetype offset, qsizetype size);
    // Writes to the descriptor until the kernel takes no more; the errno of
    // a failure, or 0.
    int writeTo(int fd);
    void clear();

  private:
    // A run of bytes still to be written: a reference into a shared block, or
    // (owned) a buffer of copied leftovers that later leftovers are added to.
    struct Piece {
        QByteArray data;
        qsizetype offset;
        qsizetype size;
        bool owned;
    };

    void consume(qsizetype written);

    std::deque<Piece> m_pieces;
    qint64 m_bytes = 0;
};

} // namespace zb
