#include "shared/linesocket.h"

#include "shared/cp932.h"

#include <QPointer>

namespace zb {

LineSocket::LineSocket(QObject *parent) : LineSocket(new QTcpSocket, parent) {}

LineSocket::LineSocket(QTcpSocket *socket, QObject *parent) : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    attach();
}

void LineSocket::attach()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &LineSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_overflowReported = false;
        m_framer.clear();
    });
}

QByteArray LineSocket::encodeLine(const QString &command, const QString &text)
{
    QByteArray bytes = toCp932(command);
    bytes += ' ';
    bytes += toCp932(text);
    bytes += "\r\n";
    return bytes;
}

void LineSocket::sendLine(const QString &command, const QString &text)
{
    sendRaw(encodeLine(command, text));
}

void LineSocket::sendRaw(const QByteArray &bytes)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState) return;
    m_socket->write(bytes);
    if (!m_overflowReported && m_socket->bytesToWrite() > m_outputCap) {
        m_overflowReported = true;
        emit outputOverflow();
    }
}

void LineSocket::flush()
{
    if (m_socket->bytesToWrite() > 0) m_socket->flush();
}

void LineSocket::clearBuffer()
{
    m_framer.clear();
    ++m_generation;
}

Line LineSocket::decodeLine(QByteArrayView raw)
{
    return splitLine(fromCp932(raw.toByteArray()));
}

void LineSocket::onReadyRead()
{
    QByteArray block;
    QList<QByteArrayView> lines;
    const bool ok = m_framer.feed(m_socket->readAll(), block, lines);
    QPointer<LineSocket> self(this);
    const quint64 generation = m_generation;
    if (m_rawLines) {
        if (!lines.isEmpty()) emit linesReceived(block, lines);
    } else {
        for (const QByteArrayView raw : lines) {
            const Line line = decodeLine(raw);
            m_lineBytes = raw.size() + 2;
            emit lineReceived(line.command, line.payload);
            // A handler may have closed or deleted this connection.
            if (!self || m_generation != generation) return;
        }
    }
    if (!self || m_generation != generation) return;
    if (!ok) emit inputOverflow();
}

} // namespace zb
