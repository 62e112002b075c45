#pragma once

#include "server/core/roomfullsocket.h"

#include <QObject>
#include <QTcpServer>
#include <functional>

namespace zb {

class Admission;
class RoomLog;
class Transport;
class WebEntrance;

// The room's port. Every new connection meets the joining rules that need
// only its address (banned, connecting too often) and is dropped at once if
// they refuse it; the rest are handed a seat as a transport, or the room-full
// socket when no seat is free. With the web player on, a browser's requests
// are answered first, without a seat or those rules; its WebSocket then meets
// them like any connection.
class RoomDoor : public QObject {
    Q_OBJECT
  public:
    // The slot a newcomer may take, or -1 when the room is full.
    using SeatFinder = std::function<int()>;

    RoomDoor(Admission &admission, RoomLog &log, SeatFinder findSeat, QObject *parent = nullptr);
    ~RoomDoor() override;

    // Opens the port: empty when listening, otherwise why not.
    QString open(const QString &portText, bool browserPlay = true);
    // 0 until the port is open.
    quint16 port() const;
    // The room-full socket's state as the caption shows it.
    int roomFullState() const { return m_roomFull.stateNumber(); }
    // The door's share of the moderation tick.
    void tick() { m_roomFull.tick(); }

  signals:
    // A connection for the slot; the receiver takes ownership.
    void arrived(int slot, Transport *transport);
    void systemText(const QString &text);
    void roomFullStateChanged();

  private:
    void onNewConnection();
    // The transport for an accepted game connection; takes the socket.
    static Transport *gameTransport(QTcpSocket *socket);
    // The rules, then a seat, for a connection of a player's program.
    void admit(QTcpSocket *socket);
    // The same for a browser's WebSocket.
    void admitWeb(Transport *transport);
    bool screened(const QHostAddress &peer);

    Admission &m_admission;
    RoomLog &m_log;
    SeatFinder m_findSeat;
    QTcpServer m_listen;
    RoomFullSocket m_roomFull;
    WebEntrance *m_web = nullptr;
};

} // namespace zb
