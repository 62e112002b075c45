#include "lobbyserver/addressquota.h"

#include "lobbyserver/messages.h"
#include "lobbyserver/peeraddress.h"

namespace zb {

QString AddressQuota::connectionRefusal(const QHostAddress &address, const QString &key,
                                        const QString &network, int connections) const
{
    if (connections >= m_limits.maxConnections) return msg::lobbyFull(PeerAddress::joinText(address));
    if (m_addressUse.value(key).connections >= m_limits.connectionsPerAddress)
        return msg::tooManyConnections(PeerAddress::joinText(address));
    if (m_networkUse.value(network).connections >= m_limits.connectionsPerNetwork)
        return msg::tooManyNetworkConnections(PeerAddress::joinText(address));
    return QString();
}

void AddressQuota::addConnection(const QString &key, const QString &network)
{
    ++m_addressUse[key].connections;
    ++m_networkUse[network].connections;
}

void AddressQuota::removeConnection(const QString &key, const QString &network)
{
    // An address with no connection left has no room left either: forget it.
    const auto leave = [](QHash<QString, Use> &uses, const QString &k) {
        const auto use = uses.find(k);
        if (use != uses.end() && --use->connections <= 0) uses.erase(use);
    };
    leave(m_addressUse, key);
    leave(m_networkUse, network);
}

AddressQuota::RoomRefusal AddressQuota::roomRefusal(const QString &key, const QString &network) const
{
    if (m_addressUse.value(key).rooms >= m_limits.roomsPerAddress)
        return {msg::TooManyRoomsLog, msg::tooManyRooms(m_limits.roomsPerAddress)};
    if (m_networkUse.value(network).rooms >= m_limits.roomsPerNetwork)
        return {msg::TooManyNetworkRoomsLog, msg::tooManyNetworkRooms(m_limits.roomsPerNetwork)};
    return {};
}

void AddressQuota::addRoom(const QString &key, const QString &network)
{
    ++m_addressUse[key].rooms;
    ++m_networkUse[network].rooms;
}

void AddressQuota::removeRoom(const QString &key, const QString &network)
{
    --m_addressUse[key].rooms;
    --m_networkUse[network].rooms;
}

} // namespace zb
