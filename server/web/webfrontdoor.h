#pragma once

#include "server/web/requesthead.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>

class QTimer;
class QWebSocketServer;

namespace zb {

// The room's port as a browser sees it. The room hands over each accepted
// connection whose first bytes are "GET " (see ConnectionSorter), still
// unread; the front door answers one request on it and closes it, or turns
// it into a WebSocket:
//   GET /, /app.js, /app.css, /icon.svg   the web player, from the program's resources
//   GET /ws                               WebSocket upgrade, only from a page of this
//                                         room: Origin must name the Host the request
//                                         went to (its port may be a router's outside one)
//   anything else                         404; other methods 405; broken heads 400,
//                                         heads over 8 KiB 431, slow heads 408
// Every answer carries the same security fields (a content policy of its own
// origin, no sniffing, no referrer, no framing) and never a cookie.
//
// Bounds: the request head must be complete within HeadTimeoutMs and
// MaxHeadBytes; an answer must be taken by the peer within AnswerTimeoutMs;
// at most MaxRequests connections at once, MaxRequestsPerAddress from one
// address (a browser opens up to six to load a page); beyond that a new one
// is closed at once. A WebSocket, once open, is the room's and counts here no
// longer.
class WebFrontDoor : public QObject {
    Q_OBJECT
  public:
    static constexpr int HeadTimeoutMs = 5000;
    static constexpr int AnswerTimeoutMs = 10000;
    static constexpr int MaxRequests = 64;
    static constexpr int MaxRequestsPerAddress = 8;

    // `port`: the port the room listens on (0 until known: no upgrade passes).
    explicit WebFrontDoor(quint16 port = 0, QObject *parent = nullptr);
    ~WebFrontDoor() override;

    void setPort(quint16 port) { m_port = port; }
    quint16 port() const { return m_port; }
    void setHeadTimeoutMs(int ms) { m_headTimeoutMs = ms; }
    void setAnswerTimeoutMs(int ms) { m_answerTimeoutMs = ms; }

    // Takes an accepted connection whose first bytes are "GET " (the front
    // door becomes its parent).
    void handleConnection(QTcpSocket *socket);
    int openRequests() const { return int(m_requests.size()); }

  signals:
    // An open WebSocket from a page of this room, with the peer's address as
    // the room writes it. Take it during the signal (set its parent, for
    // instance by wrapping it in WebSocketLines); one still owned by the
    // front door afterwards is closed.
    void socketUpgraded(QWebSocket *socket, const QString &address);

  private:
    struct Request {
        QString address;
        QTimer *timer = nullptr;
        bool answered = false;
    };
    // The answer for a request head, as it goes on the wire (for a /ws
    // upgrade that passes, an empty array: the upgrade answers itself).
    QByteArray answerFor(const RequestHead &head) const;
    void onReadyRead(QTcpSocket *socket);
    void onTimeout(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &bytes);
    void endWriting(QTcpSocket *socket);
    void handOver(QTcpSocket *socket);
    void finish(QTcpSocket *socket);
    void onUpgraded();

    QWebSocketServer *m_upgrader;
    QHash<QTcpSocket *, Request> m_requests;
    // Connections whose upgrade Qt is completing; each becomes its WebSocket's child.
    QList<QPointer<QTcpSocket>> m_upgrading;
    QHash<QString, int> m_perAddress;
    QHash<QByteArray, QPair<QByteArray, QByteArray>> m_files; // path -> (type, body)
    quint16 m_port;
    int m_headTimeoutMs = HeadTimeoutMs;
    int m_answerTimeoutMs = AnswerTimeoutMs;
};

} // namespace zb
