#pragma once

#include "server/core/fdtransportqueue.h"
#include "server/transport/transport.h"
#include "server/transport/waitinglines.h"
#include "shared/lineframer.h"

#include <QTimer>

class QSocketNotifier;
class QTcpSocket;

namespace zb {

// A player's TCP connection on its own non-blocking descriptor, beside Qt's
// socket layer: the relay's hot path. Input is read, all that waits at once,
// straight into the blocks takeLines() hands out; output goes to the kernel at once
// from the caller's block, and only what the kernel does not take is queued,
// as references to the caller's shared blocks (small leftovers are copied, so
// a queue never pins much more memory than it counts). CR LF framing with the
// line cap, the output cap, no delay for small writes and keep-alive probes.
//
// Signals come only from the event loop (the descriptor's notifiers or a
// queued call), never from inside a call into the transport, so send(),
// flush(), takeLines() and close() are safe anywhere, a broadcast loop
// included. A handler may call close(); it must never delete the transport.
class FdTransport : public Transport {
    Q_OBJECT
  public:
    // Takes over a connected TCP descriptor (it is closed with the transport).
    // `alreadyRead` holds bytes that were read from it before, which come
    // first; their signals follow from the event loop.
    explicit FdTransport(int descriptor, QObject *parent = nullptr, QByteArray alreadyRead = QByteArray());
    // Takes the connection of an accepted QTcpSocket, with the bytes Qt has
    // already read from it, and closes and deletes the socket (later) without
    // touching the connection. Nothing may have been written to the socket.
    // A socket whose peer has already gone yields a transport that hands out
    // the lines that came and then reports closed(0).
    static FdTransport *adopt(QTcpSocket *socket, QObject *parent = nullptr);
    ~FdTransport() override;

    QHostAddress peerAddress() const override { return m_peer; }
    bool isOpen() const override;
    bool takeLines(QByteArray &block, QList<QByteArrayView> &lines) override;
    using Transport::send;
    void send(const QByteArray &block, qsizetype offset, qsizetype size) override;
    void flush() override;
    void close(bool graceful) override;

    void setOutputCap(qint64 cap) { m_outputCap = cap; }
    // Output the kernel has not taken yet.
    qint64 bytesQueued() const { return m_queue.bytes(); }

  private:
    FdTransport(int descriptor, const QHostAddress &peer, QByteArray alreadyRead, QObject *parent);
    void start(QByteArray alreadyRead);
    void onReadable();
    void onWritable();
    // Frames one piece of input; false when a line passed the cap.
    bool frame(QByteArray chunk);
    // Signals what came in; false when the handlers closed the transport.
    bool announceInput(bool overflow);
    void shutdownWrite();
    // The peer closed (error 0) or the connection failed: reported now, or
    // from the event loop when found inside a call into the transport.
    void fail(int error, bool later);
    void discardInput();
    void finishClose();
    void releaseDescriptor();

    int m_fd = -1;
    QHostAddress m_peer;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    // Reads go straight into its buffer, which becomes the lines' block.
    LineFramer m_framer;
    QList<QByteArrayView> m_views;
    // Complete lines not taken yet, and where each one ends in them.
    WaitingLines m_waiting;
    FdOutputQueue m_queue;
    qint64 m_outputCap = DefaultOutputCap;
    QTimer m_graceTimer;
    bool m_overflowReported = false;
    bool m_ended = false; // the peer closed or the connection failed
    int m_startError = 0; // why adopt() found no connection to take
    bool m_closing = false;
    bool m_writeShut = false;
    bool m_peerShut = false; // the peer's end came while closing
    bool m_finished = false;
};

} // namespace zb
