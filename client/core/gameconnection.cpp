#include "client/core/gameconnection.h"

#include "client/core/messages.h"
#include "shared/protocol.h"
#include "shared/version.h"

namespace zb {

ServerAddress parseServerAddress(const QString &ipPort)
{
    HostPortRules rules;
    rules.portOptional = true;
    rules.defaultPort = DefaultGamePort;
    return parseHostPort(ipPort, rules);
}

GameConnection::GameConnection(QObject *parent) : QObject(parent), m_line(new LineSocket(this))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &GameConnection::onTimeout);
    connect(m_line, &LineSocket::lineReceived, this, [this](const QString &command, const QString &payload) {
        if (m_state == State::Connected) emit lineReceived(command, payload);
    });
    QTcpSocket *socket = m_line->socket();
    connect(socket, &QTcpSocket::connected, this, &GameConnection::onConnected);
    connect(socket, &QTcpSocket::disconnected, this, [this] { onSocketGone(); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { onSocketGone(); });
    // A server that floods us is treated like one that went away.
    connect(m_line, &LineSocket::inputOverflow, this, [this] {
        emit systemText(msg::ServerLineTooLong);
        onSocketGone(CloseCause::LineTooLong);
    });
    connect(m_line, &LineSocket::outputOverflow, this, [this] { onSocketGone(); });
}

bool GameConnection::connectToRoom(const QString &ipPort, const QString &name, const QString &password)
{
    if (m_state != State::Closed) {
        emit systemText(msg::AlreadyConnected);
        return false;
    }
    const ServerAddress address = parseServerAddress(ipPort);
    if (!address.ok) {
        emit systemText(msg::BadServerAddress.arg(ipPort));
        return false;
    }
    m_name = name;
    m_password = password;
    QTcpSocket *socket = m_line->socket();
    socket->abort();
    m_line->clearBuffer();
    if (!m_bind.isNull() && !socket->bind(m_bind)) {
        emit systemText(msg::BindAddressUnusable.arg(m_bind.toString()));
        return false;
    }
    m_state = State::Connecting;
    socket->connectToHost(address.host, address.port);
    emit systemText(msg::ConnectingToServer);
    m_timeout.start(5 * m_tickMs);
    return true;
}

void GameConnection::onConnected()
{
    if (m_state != State::Connecting) return;
    m_timeout.stop();
    m_state = State::Connected;
    // Strokes and chat go out at once, not held back for the server's delayed acknowledgement.
    m_line->socket()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit systemText(msg::ConnectedToServer);
    // The owner clears the canvas and shows the banner before the join lines go out.
    emit connectionEstablished();
    if (m_state != State::Connected) return;
    sendLine(cmd::Password, m_password);
    sendLine(cmd::Version, QString::fromLatin1(ProtocolVersion));
    sendLine(cmd::Name, m_name);
}

void GameConnection::onTimeout()
{
    if (m_state == State::Connecting) close();
    emit systemText(msg::CannotConnectToServer);
    emit systemText(msg::ServerMayBeDown);
    emit systemText(msg::ServerPortMayBeClosed);
    emit systemText(msg::AskServerHost);
}

void GameConnection::onSocketGone(CloseCause cause)
{
    if (m_state == State::Closed) return;
    if (m_state == State::Connecting) cause = CloseCause::NotMade;
    close();
    emit closedByPeer(cause);
}

void GameConnection::sendLine(const QString &command, const QString &text)
{
    if (m_state == State::Connected) m_line->sendLine(command, text);
}

void GameConnection::close()
{
    // A refused attempt still ends with the time-out lines, as a slow one does.
    if (m_state == State::Connected) m_timeout.stop();
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Closed;
    m_line->clearBuffer();
    QTcpSocket *socket = m_line->socket();
    if (wasConnected) {
        // Lines sent just before the cut (the fill that broke the rate limit) still go out.
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState) return;
        QTimer::singleShot(5 * m_tickMs, socket, [socket, this] {
            if (m_state == State::Closed) socket->abort();
        });
    } else {
        socket->abort();
    }
}

} // namespace zb
