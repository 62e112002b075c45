#include "server/core/roomdoor.h"

#include "server/core/admission.h"
#include "server/core/fdtransport.h"
#include "server/core/roomlog.h"
#include "server/core/serversettings.h"
#include "server/texts/messages.h"
#include "server/web/webentrance.h"
#include "shared/addresskey.h"
#include "shared/protocol.h"

namespace zb {

RoomDoor::RoomDoor(Admission &admission, RoomLog &log, SeatFinder findSeat, QObject *parent)
    : QObject(parent), m_admission(admission), m_log(log), m_findSeat(std::move(findSeat))
{
    connect(&m_listen, &QTcpServer::newConnection, this, &RoomDoor::onNewConnection);
    connect(&m_roomFull, &RoomFullSocket::systemText, this, &RoomDoor::systemText);
    connect(&m_roomFull, &RoomFullSocket::stateChanged, this, &RoomDoor::roomFullStateChanged);
}

RoomDoor::~RoomDoor()
{
    delete m_web;
    disconnect(&m_roomFull, nullptr, this, nullptr);
}

QString RoomDoor::open(const QString &portText, bool browserPlay)
{
    const quint16 port = parsePort(portText);
    if (port == 0) return msg::badPort(portText);
    if (!m_listen.listen(QHostAddress::Any, port)) return msg::cannotListen(port, m_listen.errorString());
    if (browserPlay && !m_web) {
        m_web = new WebEntrance(m_listen.serverPort(), this);
        connect(m_web, &WebEntrance::gameConnection, this, &RoomDoor::admit);
        connect(m_web, &WebEntrance::browserConnection, this, &RoomDoor::admitWeb);
    }
    return QString();
}

quint16 RoomDoor::port() const
{
    return m_listen.isListening() ? m_listen.serverPort() : 0;
}

Transport *RoomDoor::gameTransport(QTcpSocket *socket)
{
    // The game's lines go through a descriptor of their own, beside Qt's
    // socket layer: the relay is the room's hot path.
    return FdTransport::adopt(socket);
}

void RoomDoor::onNewConnection()
{
    while (QTcpSocket *socket = m_listen.nextPendingConnection()) {
        if (m_web)
            m_web->sort(socket);
        else
            admit(socket);
    }
}

bool RoomDoor::screened(const QHostAddress &peer)
{
    bool logIt = false;
    const QString refusal = m_admission.screen(peer, logIt);
    if (refusal.isEmpty()) return true;
    if (logIt) {
        m_log.system(addressText(peer));
        m_log.system(refusal);
    }
    return false;
}

void RoomDoor::admit(QTcpSocket *socket)
{
    if (!screened(socket->peerAddress())) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    const int slot = m_findSeat();
    if (slot >= 0) {
        // The transport takes what the sorter already read along with the socket.
        emit arrived(slot, gameTransport(socket));
    } else if (!m_roomFull.busy()) {
        m_roomFull.accept(socket);
        // What the sorter looked at waits in the socket already: its new
        // reader hears of it once it is settled.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(
                socket, [socket] { emit socket->readyRead(); }, Qt::QueuedConnection);
    } else {
        // The room-full socket is still busy with an earlier client.
        socket->abort();
        socket->deleteLater();
    }
}

void RoomDoor::admitWeb(Transport *transport)
{
    if (!screened(transport->peerAddress())) {
        transport->close(false);
        return;
    }
    const int slot = m_findSeat();
    if (slot >= 0) {
        emit arrived(slot, transport);
        return;
    }
    // What the room-full socket would say, then the end.
    emit systemText(msg::RoomFullSent);
    transport->send(RoomFullSocket::notice());
    transport->close(true);
}

} // namespace zb
