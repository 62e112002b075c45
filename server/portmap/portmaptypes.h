#pragma once

#include <QString>

namespace zb {

// False when the environment sets ZB_NO_ROUTER_SEARCH: the test suite does,
// so that its servers never ask the real router of the machine they run on.
bool routerSearchPermitted();

// How the room asks the home router to forward its port.
struct PortMapConfig {
    bool enabled = true;
    // The host asked for it (--upnp, or a router named): the program's
    // default and the console's stored box do not hold it back.
    bool asked = false;
    // A root description to use instead of searching the network (http only).
    QString igdUrl;
    // A NAT-PMP gateway (IPv4) to ask instead of the default route's.
    QString natpmpGateway;
    // Naming a router with either option means: ask only the routers named.
    bool searchAllowed() const { return searchNetwork && igdUrl.isEmpty() && natpmpGateway.isEmpty(); }
    bool searchNetwork = routerSearchPermitted();

    // What the mapping asks for; routers may grant less.
    int leaseSeconds = DefaultLeaseSeconds;
    // How long a UPnP search listens for answers.
    int searchMs = 2000;
    // Deadline for the rest of a UPnP exchange (descriptions and actions):
    // past it NAT-PMP is asked instead.
    int exchangeMs = 5000;

    static constexpr int DefaultLeaseSeconds = 3600;
};

// What the host is shown about the room's reachability.
struct PortMapStatus {
    enum class State {
        NotStarted, // the server is not listening yet
        Off,        // the host chose not to map
        Searching,  // asking the router
        Open,       // forwarded
        NoRouter,   // nobody answered
        Refused,    // a router answered no; `reason` says why
    };
    State state = State::NotStarted;
    QString method;           // "UPnP" or "NAT-PMP" once known
    QString lanAddress;       // this machine on the home network; empty: unknown
    QString externalAddress;  // as the router reports it; empty: unknown
    quint16 port = 0;         // the room's listening port
    quint16 externalPort = 0; // the router's side of the mapping; 0: not mapped
    QString reason;

    QString stateText() const;
};

} // namespace zb
