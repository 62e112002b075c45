#pragma once

#include "server/portmap/portmaptypes.h"

#include <QString>
#include <natpmp.h>

namespace zb {

// One exchange with a NAT-PMP gateway (libnatpmp) for PortMapWorker: the
// gateway's outside address, a mapping asked for, a mapping removed. Each
// wait is bounded; the address can also be given up when `cancelFd` wakes.
class NatPmpSession {
  public:
    // Towards the configured gateway, or the default route's when searching
    // is allowed; isOpen() says whether there is one to ask.
    explicit NatPmpSession(const PortMapConfig &config);
    ~NatPmpSession();
    NatPmpSession(const NatPmpSession &) = delete;
    NatPmpSession &operator=(const NatPmpSession &) = delete;

    bool isOpen() const { return m_open; }
    // This machine's address towards the gateway; empty when unknown.
    QString lanAddress() const;

    // 0 and the address the gateway reports (as it is), a library error
    // code, or Cancelled.
    int askPublicAddress(QString &address, int cancelFd);
    // 0 when the gateway forwards `port`: the outside port it chose (it may
    // differ) and the lease it granted; otherwise a library error code, or
    // InvalidAnswer for an answer that grants nothing usable.
    int askMapping(quint16 port, int leaseSeconds, quint16 &externalPort, int &lease);
    // 0 when the gateway removed the mapping of the inside `port`.
    int removeMapping(quint16 port);

    // A gateway that is there but says no (or nothing usable).
    static bool isGatewayAnswer(int rc);
    static QString reason(int rc);

    static constexpr int Cancelled = -1000;
    static constexpr int InvalidAnswer = -1001;

  private:
    int await(natpmpresp_t &reply, int cancelFd);

    natpmp_t m_n{};
    bool m_open = false;
};

} // namespace zb
