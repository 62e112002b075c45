#pragma once

#include <QByteArray>
#include <QHostAddress>

class QTcpSocket;

namespace zb {

// The plain descriptor side of a TCP connection, for transports that read
// and write it beside Qt's socket layer.

// The peer's address, or a null address when the descriptor has none.
QHostAddress peerAddressOf(int descriptor);

// The classic socket error number for an errno, as Qt's sockets report the
// same failures.
int classicErrorNumber(int error);

// Non-blocking, no delay for small writes, keep-alive probes.
void prepareConnection(int descriptor);

// The connection of an accepted QTcpSocket, taken over.
struct TakenConnection {
    int descriptor = -1; // -1 when there was no connection to take
    int error = 0;       // the errno of a failure to take it, or 0
    QHostAddress peer;
    QByteArray alreadyRead; // what Qt had read from it, which comes first
};

// Takes the connection of `socket` with the bytes Qt has already read, and
// closes and deletes the socket (later) without touching the connection.
// Nothing may have been written to the socket.
TakenConnection takeConnection(QTcpSocket *socket);

} // namespace zb
