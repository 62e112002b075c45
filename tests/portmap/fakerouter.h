#pragma once

// Home routers on loopback: a UPnP IGD (root description and the
// WANIPConnection actions over HTTP) and a NAT-PMP gateway (UDP 5351 on an
// address of its own in 127/8). They record what they are asked.

#include <QHostAddress>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

class FakeIgd : public QObject {
  public:
    struct Request {
        QString action;
        QMap<QString, QString> args;
    };
    // How AddPortMapping is answered.
    enum class Mode { Accept, Refuse718, ErrorPage, PermanentOnly };
    // How the root description is served: endless ones stream `HugeBytes`,
    // dripping ones send a byte every 200 ms.
    enum class Description { Plain, Huge, Dripping };
    static constexpr qint64 HugeBytes = 256 * 1024 * 1024;

    explicit FakeIgd(const QHostAddress &address = QHostAddress::LocalHost)
    {
        QVERIFY(m_server.listen(address, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
            }
        });
    }
    QString url() const
    {
        return QStringLiteral("http://%1:%2/rootDesc.xml")
            .arg(m_server.serverAddress().toString())
            .arg(m_server.serverPort());
    }
    void setMode(Mode mode) { m_mode = mode; }
    void setDescription(Description d) { m_description = d; }
    // Every SOAP answer is HugeBytes long.
    void setHugeAnswers(bool huge) { m_hugeAnswers = huge; }
    // Answers in chunked transfer coding.
    void setChunked(bool chunked) { m_chunked = chunked; }
    // The description names this control URL instead of its own path.
    void setControlUrl(const QByteArray &url) { m_controlUrl = url; }
    // Bytes of huge answers the peer took before it hung up.
    qint64 hugeBytesTaken() const { return m_hugeTaken; }
    void setExternalAddress(const QByteArray &address) { m_external = address; }
    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(const QString &action) const
    {
        QList<Request> out;
        for (const Request &r : m_requests)
            if (r.action == action) out << r;
        return out;
    }

  private:
    void onData(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QByteArray head = buffer.left(end);
        static const QRegularExpression lengthField(QStringLiteral("(?i)content-length:\\s*(\\d+)"));
        const auto length = lengthField.match(QString::fromLatin1(head));
        const int bodySize = length.hasMatch() ? length.captured(1).toInt() : 0;
        if (buffer.size() < end + 4 + bodySize) return;
        const QByteArray body = buffer.mid(end + 4, bodySize);
        buffer.clear();
        respond(s, head, body);
    }

    void respond(QTcpSocket *s, const QByteArray &head, const QByteArray &body)
    {
        if (head.startsWith("GET ")) {
            if (m_description == Description::Huge) return stream(s, rootDescription().left(200));
            if (m_description == Description::Dripping) return drip(s, rootDescription());
            return reply(s, 200, rootDescription());
        }
        if (m_hugeAnswers) return stream(s, envelope("<u:Answer>").left(200));
        static const QRegularExpression actionField(QStringLiteral("(?i)soapaction:\\s*\"?[^#\"]*#(\\w+)"));
        Request request;
        request.action = actionField.match(QString::fromLatin1(head)).captured(1);
        static const QRegularExpression argument(QStringLiteral("<(New\\w+)>([^<]*)</\\1>"));
        auto it = argument.globalMatch(QString::fromUtf8(body));
        while (it.hasNext()) {
            const auto m = it.next();
            request.args[m.captured(1)] = m.captured(2);
        }
        m_requests << request;
        if (request.action == QLatin1String("GetExternalIPAddress"))
            return reply(
                s, 200,
                answer(request.action, "<NewExternalIPAddress>" + m_external + "</NewExternalIPAddress>"));
        if (request.action == QLatin1String("AddPortMapping")) {
            if (m_mode == Mode::Refuse718) return reply(s, 500, fault(718));
            if (m_mode == Mode::ErrorPage) return reply(s, 200, "<html><body>Not here</body></html>");
            if (m_mode == Mode::PermanentOnly &&
                request.args.value(QStringLiteral("NewLeaseDuration")) != "0")
                return reply(s, 500, fault(725));
        }
        reply(s, 200, answer(request.action, {}));
    }

    void reply(QTcpSocket *s, int status, const QByteArray &body)
    {
        const QByteArray head = "HTTP/1.1 " + QByteArray::number(status) +
                                (status == 200 ? " OK" : " Internal Server Error") +
                                "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nConnection: close\r\n";
        if (m_chunked) {
            // In pieces of 100 bytes, with an extension on the first size line.
            QByteArray chunks;
            for (qsizetype at = 0; at < body.size(); at += 100) {
                const QByteArray piece = body.mid(at, 100);
                chunks +=
                    QByteArray::number(piece.size(), 16) + (at == 0 ? ";x=y" : "") + "\r\n" + piece + "\r\n";
            }
            s->write(head + "Transfer-Encoding: chunked\r\n\r\n" + chunks + "0\r\n\r\n");
        } else {
            s->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
        s->disconnectFromHost();
    }
    // A HugeBytes answer that starts like a real one, written as the peer takes it.
    void stream(QTcpSocket *s, const QByteArray &start)
    {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                 QByteArray::number(HugeBytes) + "\r\n\r\n" + start);
        auto *left = new qint64(HugeBytes - start.size());
        const QByteArray filler = QByteArray("<a>x</a>").repeated(8192);
        const auto more = [this, s, left, filler] {
            while (*left > 0 && s->state() == QAbstractSocket::ConnectedState &&
                   s->bytesToWrite() < 256 * 1024) {
                const QByteArray piece = filler.left(qMin<qint64>(*left, filler.size()));
                *left -= piece.size();
                s->write(piece);
            }
        };
        connect(s, &QTcpSocket::bytesWritten, s, [this, more](qint64 n) {
            m_hugeTaken += n;
            more();
        });
        connect(s, &QObject::destroyed, s, [left] { delete left; });
        more();
    }
    void drip(QTcpSocket *s, const QByteArray &body)
    {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n\r\n");
        auto *timer = new QTimer(s);
        connect(timer, &QTimer::timeout, s, [s, body, sent = qsizetype(0)]() mutable {
            if (sent < body.size()) s->write(body.mid(sent++, 1));
        });
        timer->start(200);
    }
    static QByteArray envelope(const QByteArray &inner)
    {
        return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
               "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
               inner + "</s:Body></s:Envelope>\r\n";
    }
    static QByteArray answer(const QString &action, const QByteArray &inner)
    {
        const QByteArray name = action.toLatin1() + "Response";
        return envelope("<u:" + name + " xmlns:u=\"" + ServiceType + "\">" + inner + "</u:" + name + ">");
    }
    static QByteArray fault(int code)
    {
        return envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
                        "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
                        QByteArray::number(code) +
                        "</errorCode><errorDescription>no</errorDescription>"
                        "</UPnPError></detail></s:Fault>");
    }
    QByteArray rootDescription() const
    {
        return QByteArray(
                   "<?xml version=\"1.0\"?>\r\n<root "
                   "xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1"
                   "</major><minor>0</minor></specVersion><device><deviceType>urn:schemas-upnp-org:device:"
                   "InternetGatewayDevice:1</deviceType><friendlyName>Loopback "
                   "router</friendlyName><deviceList>"
                   "<device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</"
                   "deviceType><serviceList><service>"
                   "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</"
                   "serviceType><serviceId>"
                   "urn:upnp-org:serviceId:WANCommonIFC1</serviceId><controlURL>/ctl/CmnIfCfg</controlURL>"
                   "<eventSubURL>/evt/CmnIfCfg</eventSubURL><SCPDURL>/WANCfg.xml</SCPDURL></service></"
                   "serviceList>"
                   "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</"
                   "deviceType>"
                   "<serviceList><service><serviceType>") +
               ServiceType +
               "</serviceType><serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId><controlURL>" +
               m_controlUrl +
               "</controlURL><eventSubURL>/evt/IPConn</eventSubURL><SCPDURL>/WANIPCn.xml</SCPDURL></service>"
               "</serviceList></device></deviceList></device></deviceList></device></root>\r\n";
    }

    static inline const QByteArray ServiceType = "urn:schemas-upnp-org:service:WANIPConnection:1";
    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    QByteArray m_external = "203.0.113.7";
    Mode m_mode = Mode::Accept;
    Description m_description = Description::Plain;
    bool m_hugeAnswers = false;
    bool m_chunked = false;
    QByteArray m_controlUrl = "/ctl/IPConn";
    qint64 m_hugeTaken = 0;
};

// A loopback address of its own, so that port 5351 is free whatever else runs.
inline QString randomLoopbackAddress()
{
    QRandomGenerator *r = QRandomGenerator::global();
    return QStringLiteral("127.%1.%2.%3")
        .arg(r->bounded(10, 250))
        .arg(r->bounded(1, 250))
        .arg(r->bounded(2, 250));
}

class FakeNatPmp : public QObject {
  public:
    struct Request {
        int opcode = -1;
        quint16 privatePort = 0;
        quint16 publicPort = 0;
        quint32 lifetime = 0;
    };

    FakeNatPmp()
    {
        for (int attempt = 0; attempt < 20 && m_socket.state() != QAbstractSocket::BoundState; ++attempt) {
            m_address = randomLoopbackAddress();
            m_socket.bind(QHostAddress(m_address), 5351);
        }
        QVERIFY(m_socket.state() == QAbstractSocket::BoundState);
        connect(&m_socket, &QUdpSocket::readyRead, this, &FakeNatPmp::onDatagram);
    }
    QString address() const { return m_address; }
    // The gateway hands out this outside port instead of the one asked for.
    void setPublicPort(quint16 port) { m_publicPort = port; }
    // A NAT-PMP result code for mapping requests (2: not authorised).
    void setResult(quint16 code) { m_result = code; }
    QList<Request> requests() const { return m_requests; }

  private:
    void onDatagram()
    {
        while (m_socket.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            QByteArray in(int(m_socket.pendingDatagramSize()), 0);
            m_socket.readDatagram(in.data(), in.size(), &from, &port);
            if (in.size() < 2 || in.at(0) != 0) continue;
            Request request;
            request.opcode = in.at(1);
            QByteArray out(16, 0);
            out[1] = char(128 + request.opcode);
            qToBigEndian<quint32>(m_epoch++, out.data() + 4);
            if (request.opcode == 0) {
                qToBigEndian<quint32>(QHostAddress(QStringLiteral("198.51.100.9")).toIPv4Address(),
                                      out.data() + 8);
                out.truncate(12);
            } else if (in.size() >= 12) {
                request.privatePort = qFromBigEndian<quint16>(in.constData() + 4);
                request.publicPort = qFromBigEndian<quint16>(in.constData() + 6);
                request.lifetime = qFromBigEndian<quint32>(in.constData() + 8);
                qToBigEndian<quint16>(request.lifetime ? m_result : 0, out.data() + 2);
                qToBigEndian<quint16>(request.privatePort, out.data() + 8);
                qToBigEndian<quint16>(request.lifetime ? (m_publicPort ? m_publicPort : request.publicPort)
                                                       : 0,
                                      out.data() + 10);
                qToBigEndian<quint32>(request.lifetime, out.data() + 12);
            }
            m_requests << request;
            m_socket.writeDatagram(out, from, port);
        }
    }

    QUdpSocket m_socket;
    QString m_address;
    QList<Request> m_requests;
    quint16 m_publicPort = 0;
    quint16 m_result = 0;
    quint32 m_epoch = 100;
};
