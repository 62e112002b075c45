#include "server/core/roomfullsocket.h"

#include "server/texts/messages.h"
#include "shared/linesocket.h"
#include "shared/protocol.h"

#include <QTimer>

namespace zb {

RoomFullSocket::~RoomFullSocket()
{
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        delete m_socket;
    }
}

QByteArray RoomFullSocket::notice()
{
    return LineSocket::encodeLine(cmd::System, msg::RoomFullNotice);
}

int RoomFullSocket::stateNumber() const
{
    if (!m_socket) return 0;
    switch (m_socket->state()) {
    case QAbstractSocket::ConnectedState:
        return 7;
    case QAbstractSocket::ClosingState:
        return 8;
    default:
        return 0;
    }
}

void RoomFullSocket::accept(QTcpSocket *socket)
{
    m_socket = socket;
    socket->setParent(this);
    m_noticeSent = false;
    connect(socket, &QTcpSocket::readyRead, this, &RoomFullSocket::onOverflowData);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_noticeSent && m_socket && m_socket->bytesToWrite() == 0) onOverflowWritten();
    });
    connect(socket, &QTcpSocket::disconnected, this, &RoomFullSocket::onOverflowClosed);
    connect(socket, &QTcpSocket::errorOccurred, this, &RoomFullSocket::onOverflowError);
    emit systemText(msg::RoomFullConnected);
    m_limitTimer = 3;
    emit stateChanged();
}

void RoomFullSocket::onOverflowData()
{
    if (!m_socket) return;
    m_socket->readAll();
    if (m_noticeSent) return;
    m_noticeSent = true;
    emit systemText(msg::RoomFullSent);
    m_socket->write(notice());
}

void RoomFullSocket::onOverflowWritten()
{
    onOverflowClosed();
}

void RoomFullSocket::onOverflowError(QAbstractSocket::SocketError error)
{
    // An orderly close by the peer arrives as disconnected as well.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    emit systemText(msg::RoomFullError);
    onOverflowClosed();
}

void RoomFullSocket::onOverflowClosed()
{
    QTcpSocket *socket = m_socket;
    if (!socket) return;
    m_socket.clear();
    disconnect(socket, nullptr, this, nullptr);
    // The notice has reached the kernel by now; a graceful close delivers it.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    else
        QTimer::singleShot(5000, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    emit systemText(msg::RoomFullDone);
    m_limitTimer = -1;
    emit stateChanged();
}

void RoomFullSocket::tick()
{
    if (m_limitTimer == -1) return;
    if (--m_limitTimer > 0) return;
    emit systemText(msg::RoomFullStrangerKicked);
    if (m_socket) m_socket->abort();
    onOverflowClosed();
    m_limitTimer = -1;
}

} // namespace zb
