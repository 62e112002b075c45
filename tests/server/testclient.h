#pragma once

#include "shared/cp932.h"
#include "shared/lineframer.h"
#include "shared/linesocket.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <functional>

// A raw game client on its own loopback address that records every line it
// receives as "CMD payload".
class TestClient : public QObject {
  public:
    explicit TestClient(const QString &address, QObject *parent = nullptr) : QObject(parent)
    {
        m_socket.bind(QHostAddress(address));
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
            QList<QByteArray> raw;
            const QByteArray chunk = m_socket.readAll();
            bytes += chunk;
            m_framer.feed(chunk, raw);
            for (const QByteArray &bytes : raw) {
                const zb::Line line = zb::splitLine(zb::fromCp932(bytes));
                lines << line.command + QLatin1Char(' ') + line.payload;
                if (line.command == QLatin1String("SND") && line.payload == QLatin1String("connect"))
                    ++joinSounds;
                if (onLine) onLine(line.command, line.payload);
            }
        });
    }

    void connectTo(quint16 port)
    {
        const bool v6 = m_socket.localAddress().protocol() == QAbstractSocket::IPv6Protocol;
        m_socket.connectToHost(v6 ? QHostAddress(QHostAddress::LocalHostIPv6) : QHostAddress::LocalHost,
                               port);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    void send(const QString &command, const QString &text)
    {
        m_socket.write(zb::LineSocket::encodeLine(command, text));
    }
    void sendRaw(const QByteArray &bytes) { m_socket.write(bytes); }
    // Hands what was sent to the kernel now, without a turn of the event loop.
    void flush() { m_socket.flush(); }
    // The three lines a client sends on connecting.
    void join(const QString &name, const QString &password = QString(),
              const QString &version = QStringLiteral("1.16"))
    {
        send(QStringLiteral("PSW"), password);
        send(QStringLiteral("VER"), version);
        send(QStringLiteral("NAM"), name);
    }
    void close() { m_socket.disconnectFromHost(); }
    QTcpSocket &socket() { return m_socket; }

    bool has(const QString &line) const { return lines.contains(line); }
    int count(const QString &line) const { return int(lines.count(line)); }
    // Lines of one command, payloads only.
    QStringList payloads(const QString &command) const
    {
        QStringList out;
        for (const QString &l : lines) {
            if (l.startsWith(command + QLatin1Char(' '))) out << l.mid(command.size() + 1);
        }
        return out;
    }

    QStringList lines;
    // "SND connect" lines received, whatever was cleared since: the last line
    // of every join the client hears of, its own included.
    int joinSounds = 0;
    // Set once the fixture has seen the server take this client's name.
    bool seated = false;
    // Everything received, as it came.
    QByteArray bytes;
    std::function<void(const QString &command, const QString &payload)> onLine;

  private:
    QTcpSocket m_socket;
    zb::LineFramer m_framer;
};
