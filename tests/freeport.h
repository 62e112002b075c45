#pragma once

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>

// A port nobody listens on, for a server a test is about to start or for a
// connection that must be refused. Drawn from below the kernel's ephemeral
// range (32768 and up), so that the many outgoing connections of tests running
// alongside cannot take it between this probe and the server's bind.
inline quint16 freePort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port)) return port;
    }
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0);
    return probe.serverPort();
}
