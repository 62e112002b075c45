#pragma once

#include <QObject>

class QTcpSocket;

namespace zb {

class ConnectionSorter;
class Transport;
class WebFrontDoor;

// The web player's way into the room's port: every accepted connection is
// sorted by its first bytes; a player's program goes on to the game path as
// it arrived, a browser's requests are answered here without taking a seat,
// and a browser's WebSocket comes back as one more connection for a seat.
class WebEntrance : public QObject {
    Q_OBJECT
  public:
    // `port`: the port the room listens on.
    explicit WebEntrance(quint16 port, QObject *parent = nullptr);
    ~WebEntrance() override;

    // Takes an accepted connection.
    void sort(QTcpSocket *socket);
    ConnectionSorter &sorter() { return *m_sorter; }
    WebFrontDoor &frontDoor() { return *m_frontDoor; }

  signals:
    // Not a browser: the connection, unread, for the game path.
    void gameConnection(QTcpSocket *socket);
    // A browser's WebSocket, for a seat; the receiver takes ownership.
    void browserConnection(zb::Transport *transport);

  private:
    ConnectionSorter *m_sorter;
    WebFrontDoor *m_frontDoor;
};

} // namespace zb
