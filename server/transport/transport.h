#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QObject>

namespace zb {

// One player's connection as the room sees it: whole protocol lines in, encoded
// lines out, and its end. The room never learns what carries the lines (a TCP
// socket, a browser's WebSocket), so another kind of connection is one more
// subclass and nothing else.
//
// Lines in are collected as they arrive and taken by the owner when it is
// ready for them (readyRead says some wait), so the room can look at what
// every connection has before it handles any of it. Lines out are bytes that
// are whole CR LF lines in code page 932; a block handed to several transports
// is shared by them, never copied for each reader.
class Transport : public QObject {
    Q_OBJECT
  public:
    // Unsent output a peer may leave unread before it is given up on.
    static constexpr qint64 DefaultOutputCap = 8 * 1024 * 1024;

    using QObject::QObject;

    virtual QHostAddress peerAddress() const = 0;
    virtual bool isOpen() const = 0;

    // The complete lines received since the last call: `block` holds them back
    // to back with their CR LF, `lines` views each without it (the views live
    // as long as block). False when none wait.
    virtual bool takeLines(QByteArray &block, QList<QByteArrayView> &lines) = 0;

    // Queues `size` bytes of `block` from `offset` on, which are whole lines.
    virtual void send(const QByteArray &block, qsizetype offset, qsizetype size) = 0;
    void send(const QByteArray &block) { send(block, 0, block.size()); }
    // Hands what is queued to the network now, as far as it takes it.
    virtual void flush() = 0;
    // Ends the connection, gracefully (once the queued output is out, for a
    // few seconds at most) or at once, and deletes the transport when done.
    // Nothing is signalled afterwards.
    virtual void close(bool graceful) = 0;

  signals:
    // Lines wait for takeLines().
    void readyRead();
    // Bytes arrived, whole lines or not.
    void dataArrived();
    // The peer closed the connection (errorNumber 0) or it failed.
    void closed(int errorNumber, const QString &description);
    // An unfinished line grew past the line cap; what came before it can
    // still be taken.
    void inputOverflow();
    // The peer left more than the output cap unread. Never emitted from
    // inside send(), so a broadcast is never cut short by it.
    void outputOverflow();
};

} // namespace zb
