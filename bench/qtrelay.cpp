// The Qt floor for memory: the smallest relay built on Qt Core and Network
// (event loop, QTcpServer, one QTcpSocket per client, every complete line to
// every other client). What zbserverd holds beyond this is the game server.
//   qtrelay PORT

#include <QCoreApplication>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdlib>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    QTcpServer server;
    if (!server.listen(QHostAddress::Any, static_cast<quint16>(std::atoi(argv[1])))) return 1;
    QList<QTcpSocket *> clients;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            clients.append(socket);
            auto pending = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, [&clients, socket, pending] {
                pending->append(socket->readAll());
                const qsizetype end = pending->lastIndexOf("\r\n");
                if (end < 0) return;
                const QByteArray lines = pending->left(end + 2);
                pending->remove(0, end + 2);
                for (QTcpSocket *other : clients) {
                    if (other != socket) other->write(lines);
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, [&clients, socket] {
                clients.removeOne(socket);
                socket->deleteLater();
            });
        }
    });
    return app.exec();
}
