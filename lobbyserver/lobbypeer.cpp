#include "lobbyserver/lobbypeer.h"

#include "shared/linesocket.h"

namespace zb {

QString LobbyPeer::describe() const
{
    QString text = address + QLatin1Char(':') + QString::number(socket->socket()->peerPort());
    if (!name.isEmpty()) text += QStringLiteral(" [") + name + QLatin1Char(']');
    return text;
}

} // namespace zb
