#pragma once

#include "shared/linesocket.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>

// A player's connection from its own loopback address, recording what the
// server sends as "CMD payload" lines.
class ConsoleTestClient : public QObject {
  public:
    explicit ConsoleTestClient(const QString &address, QObject *parent = nullptr)
        : QObject(parent), m_socket(new QTcpSocket(this))
    {
        m_socket->bind(QHostAddress(address));
        m_line = new zb::LineSocket(m_socket, this);
        connect(m_line, &zb::LineSocket::lineReceived, this,
                [this](const QString &command, const QString &payload) {
                    lines << command + QLatin1Char(' ') + payload;
                });
    }

    void connectTo(quint16 port) { m_socket->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port); }
    bool connected() const { return m_socket->state() == QAbstractSocket::ConnectedState; }
    bool closed() const { return m_socket->state() == QAbstractSocket::UnconnectedState; }
    void send(const QString &command, const QString &text) { m_line->sendLine(command, text); }
    void join(const QString &name)
    {
        send(QStringLiteral("VER"), QStringLiteral("1.16"));
        send(QStringLiteral("NAM"), name);
    }

    QStringList lines;

  private:
    QTcpSocket *m_socket;
    zb::LineSocket *m_line;
};
