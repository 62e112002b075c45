#pragma once

#include "server/portmap/portmaptypes.h"

#include <QDeadlineTimer>
#include <QMetaType>
#include <QObject>
#include <QUrl>
#include <atomic>
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

// The blocking half of PortMapper: talks to the router over UPnP IGD (the
// HTTP exchange our own and bounded, the XML read by libminiupnpc's parsers)
// and NAT-PMP (libnatpmp). Lives on the mapper's worker thread and touches
// nothing but its own members; cancelUnlessMapping() alone may be called
// from another thread.
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

    // Ends the exchange under way, and every later one, at once, unless a
    // mapping may exist at the router (made, or asked for and not answered
    // yet): then the router is waited for, so that the mapping can be
    // removed. True when nothing is mapped and the worker stops.
    bool cancelUnlessMapping();

  signals:
    void outcome(const PortMapOutcome &outcome);
    void unmapped(bool ok);

  private:
    struct Igd {
        QUrl control;
        QByteArray service;
        QByteArray lan;
    };
    bool locateIgd(const QDeadlineTimer &deadline);
    std::unique_ptr<Igd> describe(const QUrl &url, const QDeadlineTimer &deadline);
    // One SOAP action; 0 or a UPnP error code (negative: no valid answer).
    int igdCommand(const char *action, const QList<QPair<QByteArray, QByteArray>> &args,
                   const QDeadlineTimer &deadline, const char *wanted = nullptr, QString *value = nullptr);
    PortMapOutcome mapWithIgd(quint16 port, const QDeadlineTimer &deadline);
    PortMapOutcome mapWithNatPmp(quint16 port);
    bool unmapIgd(const QDeadlineTimer &deadline);
    bool unmapNatPmp();

    // Before asking a router for a mapping; false once cancelled.
    bool claimMapping();
    // After a router's answer: back to cancellable when nothing is held.
    void settleMapping();

    enum class Via { None, Igd, NatPmp };
    enum Phase { Idle, Mapping, Cancelled };
    PortMapConfig m_config;
    std::unique_ptr<Igd> m_igd;
    Via m_mappedVia = Via::None;
    quint16 m_port = 0;
    std::atomic<int> m_phase{Idle};
    int m_wakeFd = -1;
};

} // namespace zb

Q_DECLARE_METATYPE(zb::PortMapOutcome)
