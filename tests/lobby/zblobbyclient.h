#pragma once

// Raw lobby connections for the tests that drive zblobby over loopback.

#include "shared/linesocket.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

namespace zb::test {

inline const QString StatusText =
    QStringLiteral("port=27064&password=%1&roomname=%2&comment=無し&gametype=0&zbq=内蔵辞書:&"
                   "version=1.16&players=主:::::::&playercount=%3&playermax=8&playername=ZBSERVER&");

inline QString gameStatus(const QString &count, const QString &room = QStringLiteral("テスト部屋"),
                          const QString &password = QStringLiteral("pw"))
{
    return urlEncode(StatusText.arg(password, room, count));
}

inline QString announcement(const QString &name)
{
    return urlEncode(QStringLiteral("version=1.16&playername=") + name + QLatin1Char('&'));
}

// A raw lobby connection from its own loopback address.
struct Client {
    explicit Client(const QString &from)
    {
        socket.socket()->bind(QHostAddress(from));
        QObject::connect(socket.socket(), &QTcpSocket::connected, [this] { wasConnected = true; });
        QObject::connect(&socket, &LineSocket::lineReceived, [this](const QString &c, const QString &p) {
            lines.append(c + QLatin1Char(' ') + p);
        });
    }
    // Returns once connected (the lobby may have closed it again since).
    bool open(quint16 port)
    {
        socket.socket()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port);
        return QTest::qWaitFor([this] { return wasConnected; }, 10000);
    }
    void send(const char *command, const QString &payload)
    {
        socket.sendLine(QLatin1String(command), payload);
    }
    bool closed() const { return socket.socket()->state() == QAbstractSocket::UnconnectedState; }
    QStringList with(const char *command) const
    {
        return lines.filter(
            QRegularExpression(QStringLiteral("^") + QLatin1String(command) + QStringLiteral(" ")));
    }
    // The rooms of the last list, decoded.
    QStringList rooms() const
    {
        const QStringList srv = with("SRV");
        if (srv.isEmpty()) return {};
        QStringList pieces = srv.last().mid(4).split(QLatin1Char(':'));
        pieces.removeLast();
        for (QString &p : pieces)
            p = StatusRecord::decode(p);
        return pieces;
    }
    LineSocket socket;
    QStringList lines;
    bool wasConnected = false;
};

// Opens a client and waits until the lobby has taken it in.
inline bool join(Client &c, quint16 port, const QString &name)
{
    if (!c.open(port)) return false;
    c.send("STS", announcement(name));
    return QTest::qWaitFor([&] { return !c.with("SRV").isEmpty(); }, 5000);
}

inline bool registerRoom(Client &c, quint16 port, const QString &status)
{
    if (!c.open(port)) return false;
    c.send("NAM", QStringLiteral("ZBSERVER"));
    c.send("STS", status);
    c.send("CHK", QStringLiteral("null"));
    return QTest::qWaitFor([&] { return c.lines.contains(QStringLiteral("CHK null")); }, 5000);
}

inline long cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = f.readAll().split(')').last().split(' ');
    // After the name: state is field 3, utime 14 and stime 15.
    return fields.value(12).toLong() + fields.value(13).toLong();
}

} // namespace zb::test
