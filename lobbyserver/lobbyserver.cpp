#include "lobbyserver.h"

#include "linesocket.h"
#include "statusrecord.h"
#include "textutil.h"

#include <QDateTime>
#include <QPointer>
#include <QTimer>

namespace zb {

namespace {
const QString ServerToken = QStringLiteral("ZBSERVER");

// Fields a player's list shows, in the order the game servers write them.
const char *const RoomKeys[] = {"port=",    "password=", "roomname=",    "comment=",   "gametype=",  "zbq=",
                                "version=", "players=",  "playercount=", "playermax=", "playername="};

QString peerAddress(const QTcpSocket *socket)
{
    const QHostAddress a = socket->peerAddress();
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    if (v4) return QHostAddress(ip).toString();
    // Players join at address + ":" + port, so an IPv6 address keeps its colons in brackets.
    QHostAddress plain = a;
    plain.setScopeId(QString());
    return QLatin1Char('[') + plain.toString() + QLatin1Char(']');
}
} // namespace

struct LobbyServer::Peer {
    enum Kind { Unknown, GameServer, Player };
    LineSocket *socket = nullptr;
    Kind kind = Unknown;
    QString address;
    QString name;   // players: the name in the lobby
    QString record; // game servers: the encoded record players are sent
};

LobbyServer::LobbyServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LobbyServer::onNewConnection);
}

LobbyServer::~LobbyServer()
{
    qDeleteAll(m_peers);
}

bool LobbyServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server.listen(address, port)) return false;
    log(QStringLiteral("ロビーサーバーを開始しました (ポート %1)").arg(m_server.serverPort()));
    return true;
}

QString LobbyServer::headerHtml()
{
    return QStringLiteral(
        "<HEAD><TITLE>ゼンブリル ロビー</TITLE></HEAD>\r\n<BODY bgcolor=#ffffff>\r\n"
        "<CENTER><H2>ゼンブリル ロビー</H2>"
        "<P>ようこそ！ "
        "遊びたい部屋の名前をクリックしてください。パスが「有り」の部屋は部屋主にパスワードを聞いてね。</P>"
        "</CENTER>");
}

QString LobbyServer::footerHtml()
{
    return QStringLiteral("<CENTER><P><SMALL>一覧は「サーバーリスト更新」で新しくなります。"
                          "みんなで楽しく遊びましょう！</SMALL></P></CENTER>\r\n</BODY>");
}

QString LobbyServer::listingRecord(const QString &status, const QString &address)
{
    StatusRecord r;
    r.add(QStringLiteral("ipaddress="), address);
    for (const char *key : RoomKeys) {
        const QString k = QLatin1String(key);
        QString value = StatusRecord::field(status, k);
        // Players only ask whether there is a password; the password stays with the room.
        if (k == QLatin1String("password=") && !value.isEmpty()) value = QStringLiteral("1");
        r.add(k, value);
    }
    return r.encoded();
}

QString LobbyServer::roomList() const
{
    QString list;
    for (const Peer *p : m_peers) {
        if (p->kind == Peer::GameServer && !p->record.isEmpty()) list += p->record + QLatin1Char(':');
    }
    return list;
}

QString LobbyServer::nameList() const
{
    QString list;
    for (const Peer *p : m_peers) {
        if (p->kind == Peer::Player) list += p->name + QLatin1Char(':');
    }
    return list;
}

int LobbyServer::roomCount() const
{
    return int(std::count_if(m_peers.cbegin(), m_peers.cend(), [](const Peer *p) {
        return p->kind == Peer::GameServer && !p->record.isEmpty();
    }));
}

int LobbyServer::playerCount() const
{
    return int(std::count_if(m_peers.cbegin(), m_peers.cend(),
                             [](const Peer *p) { return p->kind == Peer::Player; }));
}

void LobbyServer::onNewConnection()
{
    while (QTcpSocket *s = m_server.nextPendingConnection()) {
        auto *peer = new Peer;
        peer->socket = new LineSocket(s, this);
        peer->socket->setInputCap(InputCap);
        peer->socket->setOutputCap(OutputCap);
        peer->address = peerAddress(s);
        m_peers.append(peer);
        log(QStringLiteral("接続 %1").arg(describe(peer)));

        // Handlers find the peer through its socket, so none acts on a peer already gone.
        QPointer<LineSocket> socket = peer->socket;
        const auto find = [this, socket]() -> Peer * {
            for (Peer *p : m_peers) {
                if (socket && p->socket == socket) return p;
            }
            return nullptr;
        };
        connect(peer->socket, &LineSocket::lineReceived, this,
                [this, find](const QString &command, const QString &payload) {
                    if (Peer *p = find()) onLine(p, command, payload);
                });
        connect(s, &QTcpSocket::disconnected, this, [this, find] {
            if (Peer *p = find()) drop(p, QStringLiteral("切断"));
        });
        connect(peer->socket, &LineSocket::inputOverflow, this, [this, find] {
            if (Peer *p = find()) drop(p, QStringLiteral("長すぎる行を受信したため切断"));
        });
        QTimer::singleShot(m_identifyTimeoutMs, peer->socket, [this, find] {
            Peer *p = find();
            if (p && p->kind == Peer::Unknown) drop(p, QStringLiteral("名乗らないため切断"));
        });
        // Overflow is noticed in the middle of a broadcast: drop the peer after it.
        connect(
            peer->socket, &LineSocket::outputOverflow, this,
            [this, find] {
                if (Peer *p = find()) drop(p, QStringLiteral("送信が滞ったため切断"));
            },
            Qt::QueuedConnection);
    }
}

void LobbyServer::onLine(Peer *peer, const QString &command, const QString &payload)
{
    switch (peer->kind) {
    case Peer::GameServer:
        onGameServerLine(peer, command, payload);
        return;
    case Peer::Player:
        onPlayerLine(peer, command, payload);
        return;
    case Peer::Unknown:
        break;
    }
    // The first line tells who is calling.
    if (command == QLatin1String("NAM") && payload == ServerToken) {
        peer->kind = Peer::GameServer;
        log(QStringLiteral("ゲームサーバー %1").arg(describe(peer)));
    } else if (command == QLatin1String("STS")) {
        acceptPlayer(peer, StatusRecord::decode(payload));
    } else {
        drop(peer, QStringLiteral("不明な相手のため切断 (%1)").arg(command.left(3)));
    }
}

void LobbyServer::onGameServerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == QLatin1String("STS"))
        updateRoom(peer, StatusRecord::decode(payload));
    else if (command == QLatin1String("CHK"))
        peer->socket->sendLine(QStringLiteral("CHK"), QStringLiteral("null"));
    else if (command != QLatin1String("NAM"))
        log(QStringLiteral("ゲームサーバー %1 から不明なコマンド %2 を無視").arg(describe(peer), command));
}

void LobbyServer::onPlayerLine(Peer *peer, const QString &command, const QString &payload)
{
    if (command == QLatin1String("MSG")) {
        const QString line = peer->name + QStringLiteral("> ") + payload;
        log(QStringLiteral("チャット ") + line);
        sendToPlayers(QStringLiteral("MSG"), line, peer);
    } else {
        log(QStringLiteral("プレイヤー %1 から不明なコマンド %2 を無視").arg(describe(peer), command));
    }
}

void LobbyServer::acceptPlayer(Peer *peer, const QString &record)
{
    QString name = StatusRecord::field(record, QStringLiteral("playername="));
    // ":" separates the names of the name list.
    name.remove(QLatin1Char(':'));
    name = name.trimmed();
    if (name.isEmpty()) name = QStringLiteral("名無し");
    peer->kind = Peer::Player;
    peer->name = name;
    log(QStringLiteral("プレイヤー入室 %1 (Ver.%2)")
            .arg(describe(peer), StatusRecord::field(record, QStringLiteral("version="))));
    peer->socket->sendLine(QStringLiteral("HDR"), UrlEncode(headerHtml()));
    peer->socket->sendLine(QStringLiteral("FTR"), UrlEncode(footerHtml()));
    peer->socket->sendLine(QStringLiteral("SRV"), roomList());
    sendToPlayers(QStringLiteral("NMS"), nameList());
}

void LobbyServer::updateRoom(Peer *peer, const QString &record)
{
    bool ok = false;
    const int port = StatusRecord::field(record, QStringLiteral("port=")).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        log(QStringLiteral("ゲームサーバー %1 の状態にポートがないため無視").arg(describe(peer)));
        return;
    }
    const QString listing = listingRecord(record, peer->address);
    if (listing == peer->record) return;
    const bool fresh = peer->record.isEmpty();
    peer->record = listing;
    log(QStringLiteral("%1 %2 部屋名=%3 人数=%4/%5")
            .arg(fresh ? QStringLiteral("部屋登録") : QStringLiteral("部屋更新"), describe(peer),
                 StatusRecord::field(record, QStringLiteral("roomname=")),
                 StatusRecord::field(record, QStringLiteral("playercount=")),
                 StatusRecord::field(record, QStringLiteral("playermax="))));
    sendToPlayers(QStringLiteral("SRV"), roomList());
}

void LobbyServer::drop(Peer *peer, const QString &reason)
{
    if (!m_peers.removeOne(peer)) return;
    log(QStringLiteral("%1 %2").arg(reason, describe(peer)));
    LineSocket *socket = peer->socket;
    socket->disconnect(this);
    socket->socket()->disconnect(this);
    socket->clearBuffer();
    socket->socket()->abort();
    socket->deleteLater();
    const Peer::Kind kind = peer->kind;
    const bool listed = !peer->record.isEmpty();
    delete peer;
    if (kind == Peer::GameServer && listed)
        sendToPlayers(QStringLiteral("SRV"), roomList());
    else if (kind == Peer::Player)
        sendToPlayers(QStringLiteral("NMS"), nameList());
}

void LobbyServer::sendToPlayers(const QString &command, const QString &text, const Peer *except)
{
    const QByteArray line = LineSocket::encodeLine(command, text);
    for (Peer *p : m_peers) {
        if (p->kind == Peer::Player && p != except) p->socket->sendRaw(line);
    }
}

QString LobbyServer::describe(const Peer *peer)
{
    QString text = peer->address + QLatin1Char(':') + QString::number(peer->socket->socket()->peerPort());
    if (!peer->name.isEmpty()) text += QStringLiteral(" [") + peer->name + QLatin1Char(']');
    return text;
}

void LobbyServer::log(const QString &text)
{
    emit logLine(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text);
}

} // namespace zb
