#pragma once

#include "server/portmap/portmaptypes.h"

#include <QCommandLineOption>
#include <QList>
#include <QObject>
#include <QTimer>

class QCommandLineParser;
class QThread;

namespace zb {

class PortMapWorker;
struct PortMapOutcome;

// The console's check box, stored as "ServerUPnP" (0 or 1; on when missing).
bool loadPortMapSetting();
void savePortMapSetting(bool enabled);

// --no-upnp, --upnp, --igd-url URL, --natpmp-gateway ADDR.
QList<QCommandLineOption> portMapOptions();
// Applies the options given over `config`; false with `error` set on a bad value.
bool readPortMapOptions(const QCommandLineParser &parser, PortMapConfig &config, QString &error);

// Keeps the room's port forwarded while the server runs. Router calls block
// for seconds, so they run on a worker thread; results come back by queued
// signal and everything here lives on the caller's thread.
class PortMapper : public QObject {
    Q_OBJECT
  public:
    explicit PortMapper(const PortMapConfig &config, QObject *parent = nullptr);
    // Removes the mapping, waiting at most ExitWaitMs for the router, and
    // warns on standard error when one may be left.
    ~PortMapper() override;

    // Asks for `port` to be forwarded (once); with mapping off it only notes the port.
    void start(quint16 port);
    // Removes the mapping in the background; `removed` follows. A search
    // that has mapped nothing yet is abandoned at once.
    void stop();
    // Removes the mapping and waits for the worker, at most `waitMs`; without
    // a mapping it only ends the search. For the end of the program, after
    // its event loop has finished: true unless a mapping may be left.
    bool shutdown(int waitMs = ExitWaitMs);

    const PortMapStatus &status() const { return m_status; }
    const PortMapConfig &config() const { return m_config; }

    // Long enough for a router on the home network, short enough that a
    // closing program does not seem to hang.
    static constexpr int ExitWaitMs = 5000;
    // Renewals never come closer than this, whatever lease a router grants.
    static constexpr int MinRenewSeconds = 30;

  signals:
    void statusChanged(const PortMapStatus &status);
    void removed(bool ok);

  private:
    void ensureWorker();
    void requestMapping();
    void onOutcome(const PortMapOutcome &outcome);
    void onUnmapped(bool ok);
    void setStatus(const PortMapStatus &status);

    PortMapConfig m_config;
    PortMapStatus m_status;
    QThread *m_thread = nullptr;
    PortMapWorker *m_worker = nullptr;
    QTimer m_renewal;
    bool m_pending = false;
    bool m_everMapped = false;
    bool m_stopped = false;
};

} // namespace zb
