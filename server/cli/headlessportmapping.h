#pragma once

#include "server/portmap/portmapper.h"

#include <QObject>

namespace zb {

class GameServer;

// A headless room's side of port mapping: forwards the started server's
// port as `config` says, prints the room's address
// and invitation link as log lines, and removes the mapping when the program
// ends, SIGINT and SIGTERM included.
class HeadlessPortMapping : public QObject {
    Q_OBJECT
  public:
    // `server` must be listening already and outlive this object.
    HeadlessPortMapping(GameServer &server, const PortMapConfig &config);
    // Removes the mapping (waiting a few seconds at most) and says so.
    ~HeadlessPortMapping() override;

    const PortMapper &mapper() const { return m_mapper; }

  private:
    void report(const PortMapStatus &status);

    GameServer &m_server;
    PortMapper m_mapper;
};

} // namespace zb
