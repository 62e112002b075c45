#include "server/core/fdtransportqueue.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/uio.h>

namespace zb {

namespace {
// Queued output under this size, or much smaller than the block it lies in,
// is copied: a stalled reader must not pin large blocks through small slices.
constexpr qsizetype MinReference = 4096;
constexpr qsizetype MaxPinFactor = 4;
// Copied leftovers are gathered into buffers of at most this size.
constexpr qsizetype OwnedChunk = 64 * 1024;
// Queued pieces handed to the kernel in one call.
constexpr int MaxIov = 64;
} // namespace

void FdOutputQueue::append(const QByteArray &block, qsizetype offset, qsizetype size)
{
    m_bytes += size;
    // Raw data (no allocation of its own: capacity 0) may change or go once
    // the caller returns, so it is always copied.
    const qsizetype held = block.capacity();
    if (held > 0 && size >= MinReference && size * MaxPinFactor >= held) {
        if (!m_pieces.empty()) {
            Piece &last = m_pieces.back();
            // The next run of the same block: one piece.
            if (!last.owned && last.data.constData() == block.constData() &&
                last.offset + last.size == offset) {
                last.size += size;
                return;
            }
        }
        m_pieces.push_back(Piece{block, offset, size, false});
        return;
    }
    if (!m_pieces.empty()) {
        Piece &last = m_pieces.back();
        if (last.owned && last.data.size() + size <= OwnedChunk) {
            last.data.append(block.constData() + offset, size);
            last.size += size;
            return;
        }
    }
    m_pieces.push_back(Piece{QByteArray(block.constData() + offset, size), 0, size, true});
}

int FdOutputQueue::writeTo(int fd)
{
    while (!m_pieces.empty()) {
        iovec iov[MaxIov];
        int count = 0;
        qsizetype offered = 0;
        for (auto it = m_pieces.cbegin(); it != m_pieces.cend() && count < MaxIov; ++it, ++count) {
            iov[count].iov_base = const_cast<char *>(it->data.constData() + it->offset);
            iov[count].iov_len = size_t(it->size);
            offered += it->size;
        }
        msghdr message{};
        message.msg_iov = iov;
        message.msg_iovlen = size_t(count);
        // sendmsg rather than writev: a peer gone must not raise SIGPIPE.
        const ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            return errno;
        }
        consume(n);
        if (n < offered) return 0;
    }
    return 0;
}

void FdOutputQueue::consume(qsizetype written)
{
    m_bytes -= written;
    while (written > 0) {
        Piece &front = m_pieces.front();
        if (written < front.size) {
            front.offset += written;
            front.size -= written;
            return;
        }
        written -= front.size;
        m_pieces.pop_front();
    }
}

void FdOutputQueue::clear()
{
    m_pieces.clear();
    m_bytes = 0;
}

} // namespace zb
