#pragma once

#include "shared/lineframer.h"

#include <QObject>
#include <QTcpSocket>

namespace zb {

// A TCP connection that speaks CR LF lines in code page 932. It owns the
// framing and the size limits; the owner only sends lines and reacts to them.
class LineSocket : public QObject {
    Q_OBJECT
  public:
    // Unsent output a peer may leave unread before it is given up on.
    static constexpr qint64 DefaultOutputCap = 8 * 1024 * 1024;

    explicit LineSocket(QObject *parent = nullptr);
    // Adopts an accepted socket.
    explicit LineSocket(QTcpSocket *socket, QObject *parent = nullptr);

    QTcpSocket *socket() const { return m_socket; }
    bool isConnected() const { return m_socket->state() == QAbstractSocket::ConnectedState; }

    // Writes command, one space, text and CR LF.
    void sendLine(const QString &command, const QString &text);
    // Writes bytes that are already a whole encoded line (used to fan one
    // encoded line out to many sockets).
    void sendRaw(const QByteArray &bytes);
    static QByteArray encodeLine(const QString &command, const QString &text);
    // Writes what is queued to the network now, as far as it takes it without
    // waiting (otherwise it goes when the event loop next runs).
    void flush();
    // A received line (without CR LF) cut into command and payload.
    static Line decodeLine(QByteArrayView raw);

    // With raw lines on, the complete lines of each read arrive undecoded and
    // all at once through linesReceived instead of lineReceived.
    void setRawLines(bool raw) { m_rawLines = raw; }

    // The size on the wire (CR LF included) of the line being delivered by
    // lineReceived; meant for handlers that budget what a peer sends.
    qsizetype lineBytes() const { return m_lineBytes; }

    void setOutputCap(qint64 cap) { m_outputCap = cap; }
    void setInputCap(qsizetype cap) { m_framer = LineFramer(cap); }
    // Forgets the unfinished input and stops dispatching lines of the current
    // read. A handler that drops the connection calls this, then deleteLater().
    void clearBuffer();

  signals:
    void lineReceived(const QString &command, const QString &payload);
    // `block` holds the read's complete lines back to back, CR LF included;
    // each of `lines` views one line, without its CR LF, inside block. The
    // views live as long as the signal (a copy of block keeps the bytes).
    void linesReceived(const QByteArray &block, const QList<QByteArrayView> &lines);
    // The peer sent an unfinished line longer than the input cap.
    void inputOverflow();
    // The peer left more unread output than the output cap.
    void outputOverflow();

  private:
    void onReadyRead();
    void attach();

    QTcpSocket *m_socket;
    LineFramer m_framer;
    qint64 m_outputCap = DefaultOutputCap;
    quint64 m_generation = 0;
    qsizetype m_lineBytes = 0;
    bool m_overflowReported = false;
    bool m_rawLines = false;
};

} // namespace zb
