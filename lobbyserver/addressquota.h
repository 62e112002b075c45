#pragma once

#include "lobbyserver/lobbylimits.h"

#include <QHash>
#include <QHostAddress>
#include <QString>

namespace zb {

// What each address and each network holds of the lobby, connections and
// rooms, against its limits, so that no one owner of many connections or
// addresses can fill the lobby. Addresses and networks are counted by their
// keys (PeerAddress::limitKey and networkKey).
class AddressQuota {
  public:
    void setLimits(const LobbyLimits &limits) { m_limits = limits; }

    // Empty when one more connection from address fits beside the lobby's
    // connections; otherwise the log line that says why not.
    QString connectionRefusal(const QHostAddress &address, const QString &key, const QString &network,
                              int connections) const;
    void addConnection(const QString &key, const QString &network);
    void removeConnection(const QString &key, const QString &network);

    struct RoomRefusal {
        QString log;    // empty when the room fits
        QString notice; // what the game server is told
    };
    RoomRefusal roomRefusal(const QString &key, const QString &network) const;
    void addRoom(const QString &key, const QString &network);
    void removeRoom(const QString &key, const QString &network);

  private:
    struct Use {
        int connections = 0;
        int rooms = 0;
    };

    LobbyLimits m_limits;
    QHash<QString, Use> m_addressUse;
    QHash<QString, Use> m_networkUse;
};

} // namespace zb
