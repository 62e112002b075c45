#pragma once

#include "server/portmap/portmaptypes.h"

#include <QMetaType>
#include <QObject>
#include <memory>

namespace zb {

// What one attempt to map the port came to.
struct PortMapOutcome {
    enum class Kind { Mapped, NoRouter, Refused };
    Kind kind = Kind::NoRouter;
    QString method;
    QString lanAddress;
    QString externalAddress;
    quint16 externalPort = 0;
    int leaseSeconds = 0; // as granted; 0: until removed
    QString reason;
};

// The blocking half of PortMapper: talks to the router with libminiupnpc
// (UPnP IGD) and libnatpmp (NAT-PMP). Lives on the mapper's worker thread
// and touches nothing but its own members.
class PortMapWorker : public QObject {
    Q_OBJECT
  public:
    explicit PortMapWorker(const PortMapConfig &config);
    ~PortMapWorker() override;

    // Maps (or renews) `port`: UPnP first, then NAT-PMP.
    void map(quint16 port);
    // Removes the mapping made last, if any; a failed removal is tried again
    // at the next call.
    void unmap();
    // A mapping may be left at the router.
    bool holdsMapping() const { return m_mappedVia != Via::None; }

  signals:
    void outcome(const PortMapOutcome &outcome);
    void unmapped(bool ok);

  private:
    struct Igd;
    bool locateIgd();
    void forgetIgd();
    PortMapOutcome mapWithIgd(quint16 port);
    PortMapOutcome mapWithNatPmp(quint16 port);
    bool unmapIgd();
    bool unmapNatPmp();

    enum class Via { None, Igd, NatPmp };
    PortMapConfig m_config;
    std::unique_ptr<Igd> m_igd;
    Via m_mappedVia = Via::None;
    quint16 m_port = 0;
};

} // namespace zb

Q_DECLARE_METATYPE(zb::PortMapOutcome)
