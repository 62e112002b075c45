#include "roomdoor.h"

#include "addresskey.h"
#include "admission.h"
#include "fdtransport.h"
#include "messages.h"
#include "protocol.h"
#include "roomlog.h"
#include "serversettings.h"

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
    disconnect(&m_roomFull, nullptr, this, nullptr);
}

QString RoomDoor::open(const QString &portText)
{
    const quint16 port = parsePort(portText);
    if (port == 0) return msg::badPort(portText);
    if (!m_listen.listen(QHostAddress::Any, port)) return msg::cannotListen(port, m_listen.errorString());
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
        bool logIt = false;
        const QString refusal = m_admission.screen(socket->peerAddress(), logIt);
        if (!refusal.isEmpty()) {
            if (logIt) {
                m_log.system(addressText(socket->peerAddress()));
                m_log.system(refusal);
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const int slot = m_findSeat();
        if (slot >= 0) {
            emit arrived(slot, gameTransport(socket));
        } else if (!m_roomFull.busy()) {
            m_roomFull.accept(socket);
        } else {
            // The room-full socket is still busy with an earlier client.
            socket->abort();
            socket->deleteLater();
        }
    }
}

} // namespace zb
