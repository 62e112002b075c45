#include "server/cli/headlessportmapping.h"

#include "server/cli/terminationsignals.h"
#include "server/core/gameserver.h"
#include "server/portmap/roomaddress.h"
#include "server/texts/messages.h"

namespace zb {

HeadlessPortMapping::HeadlessPortMapping(GameServer &server, const PortMapConfig &config)
    : m_server(server), m_mapper(config)
{
    quitOnTerminationSignals();
    connect(&m_mapper, &PortMapper::statusChanged, this, &HeadlessPortMapping::report);
    m_mapper.start(server.listeningPort());
}

HeadlessPortMapping::~HeadlessPortMapping()
{
    const bool open = m_mapper.status().state == PortMapStatus::State::Open;
    const bool removed = m_mapper.shutdown();
    if (open) m_server.log().system(removed ? msg::MappingRemoved : msg::MappingNotRemoved);
}

void HeadlessPortMapping::report(const PortMapStatus &status)
{
    for (const QString &line : addressReport(status, m_server.config().browserPlay()))
        m_server.log().system(line);
}

} // namespace zb
