#include "server/core/seat.h"

#include "shared/addresskey.h"

namespace zb {

Seat::Seat(Transport *transport, const FloodGuard &budget, quint64 order, int joinTicks)
    : budget(budget), joinTicks(joinTicks), m_transport(transport), m_address(transport->peerAddress()),
      m_addressText(zb::addressText(m_address)), m_key(addressKey(m_address)), m_order(order)
{
}

Seat::~Seat()
{
    close(false);
}

void Seat::close(bool graceful)
{
    if (!m_transport) return;
    Transport *transport = m_transport;
    m_transport = nullptr;
    transport->disconnect();
    transport->close(graceful);
}

} // namespace zb
