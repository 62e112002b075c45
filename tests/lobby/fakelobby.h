#pragma once

#include "shared/linesocket.h"

#include <QStringList>
#include <QTcpServer>

// A lobby on loopback that records what the player sends and says what the test wants.
class FakeLobby : public QObject {
  public:
    FakeLobby()
    {
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = new zb::LineSocket(server.nextPendingConnection(), this);
            connect(peer, &zb::LineSocket::lineReceived, this,
                    [this](const QString &c, const QString &p) { lines.append(c + QLatin1Char(' ') + p); });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(server.serverPort()); }
    void send(const QString &c, const QString &p) { peer->sendLine(c, p); }

    QTcpServer server;
    zb::LineSocket *peer = nullptr;
    QStringList lines;
};
