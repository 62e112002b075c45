#pragma once

#include "shared/cp932.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// A scripted game server on loopback: accepts one client, records the lines it
// sends and writes whatever bytes the test wants.
class FakeServer : public QObject {
  public:
    FakeServer()
    {
        QVERIFY(m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_peer = m_server.nextPendingConnection();
            QObject::connect(m_peer, &QTcpSocket::readyRead, this,
                             [this] { m_received += m_peer->readAll(); });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket *peer() const { return m_peer; }
    bool hasPeer() const { return m_peer != nullptr; }

    // Lines received so far, decoded, without CR LF.
    QStringList lines() const
    {
        QStringList out;
        const QList<QByteArray> parts = m_received.split('\n');
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            out << zb::fromCp932(parts.at(i).endsWith('\r') ? parts.at(i).chopped(1) : parts.at(i));
        return out;
    }
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    void sendRaw(const QByteArray &bytes)
    {
        m_peer->write(bytes);
        m_peer->flush();
    }
    void send(const QString &line) { sendRaw(zb::toCp932(line) + "\r\n"); }
    void dropClient() { m_peer->disconnectFromHost(); }

  private:
    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    QByteArray m_received;
};
