#include "server/portmap/portmapper.h"

#include "server/portmap/portmapworker.h"
#include "server/portmap/roomaddress.h"
#include "server/texts/messages.h"
#include "shared/settingsstore.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>
#include <QUrl>

namespace zb {

namespace {
const QString SettingKey = QStringLiteral("ServerUPnP");
const QString NoUpnpOption = QStringLiteral("no-upnp");
const QString UpnpOption = QStringLiteral("upnp");
const QString IgdUrlOption = QStringLiteral("igd-url");
const QString GatewayOption = QStringLiteral("natpmp-gateway");
constexpr int MaxIgdUrlLength = 1000;

bool operator==(const PortMapStatus &a, const PortMapStatus &b)
{
    return a.state == b.state && a.method == b.method && a.lanAddress == b.lanAddress &&
           a.externalAddress == b.externalAddress && a.port == b.port && a.externalPort == b.externalPort &&
           a.reason == b.reason;
}
} // namespace

bool loadPortMapSetting()
{
    int value = 1;
    SettingsStore::readInt16(SettingKey, value);
    return value == 1;
}

void savePortMapSetting(bool enabled)
{
    SettingsStore::write(SettingKey, enabled ? QStringLiteral("1") : QStringLiteral("0"));
}

QList<QCommandLineOption> portMapOptions()
{
    return {
        QCommandLineOption(NoUpnpOption,
                           QStringLiteral("Do not ask the router to forward the game port (UPnP, NAT-PMP).")),
        QCommandLineOption(UpnpOption,
                           QStringLiteral("Ask the router to forward the game port: zbserverd does only when "
                                          "asked (or given a router below), zbserver unless told not to.")),
        QCommandLineOption(IgdUrlOption,
                           QStringLiteral("Ask the UPnP router whose root description is at URL, instead "
                                          "of searching the network."),
                           QStringLiteral("URL")),
        QCommandLineOption(GatewayOption,
                           QStringLiteral("Ask the NAT-PMP gateway at this IPv4 address, instead of the "
                                          "default route's. With either option only the routers named "
                                          "are asked."),
                           QStringLiteral("ADDR"))};
}

bool readPortMapOptions(const QCommandLineParser &parser, PortMapConfig &config, QString &error)
{
    if (parser.isSet(NoUpnpOption) && parser.isSet(UpnpOption)) {
        error = QStringLiteral("--upnp and --no-upnp: choose one");
        return false;
    }
    if (parser.isSet(NoUpnpOption)) config.enabled = false;
    if (parser.isSet(UpnpOption)) config.asked = true;
    if (parser.isSet(IgdUrlOption)) {
        const QString text = parser.value(IgdUrlOption);
        const QUrl url(text, QUrl::StrictMode);
        if (text.size() > MaxIgdUrlLength || !url.isValid() || url.scheme() != QLatin1String("http") ||
            url.host().isEmpty()) {
            error = QStringLiteral("--igd-url: an http:// address of the router's description is needed");
            return false;
        }
        config.igdUrl = url.toString(QUrl::FullyEncoded);
        config.asked = true;
    }
    if (parser.isSet(GatewayOption)) {
        const QString text = parser.value(GatewayOption);
        const QHostAddress address(text);
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address.toString() != text) {
            error = QStringLiteral("--natpmp-gateway: an IPv4 address is needed");
            return false;
        }
        config.natpmpGateway = text;
        config.asked = true;
    }
    return true;
}

// ---------------------------------------------------------------- PortMapper

PortMapper::PortMapper(const PortMapConfig &config, QObject *parent) : QObject(parent), m_config(config)
{
    m_renewal.setSingleShot(true);
    connect(&m_renewal, &QTimer::timeout, this, &PortMapper::requestMapping);
}

PortMapper::~PortMapper()
{
    // The window's way out; a headless run has said so in its log already.
    if (!shutdown(ExitWaitMs)) qWarning("%s", qUtf8Printable(msg::MappingNotRemoved));
}

void PortMapper::start(quint16 port)
{
    if (m_status.state != PortMapStatus::State::NotStarted || m_stopped) return;
    PortMapStatus s;
    s.port = port;
    s.lanAddress = guessLanAddress();
    s.state = m_config.enabled ? PortMapStatus::State::Searching : PortMapStatus::State::Off;
    setStatus(s);
    if (m_config.enabled) requestMapping();
}

void PortMapper::ensureWorker()
{
    if (m_thread) return;
    // No parent: should the router hang at exit, the thread is left to finish alone (see shutdown).
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("portmapper"));
    m_worker = new PortMapWorker(m_config);
    m_worker->moveToThread(m_thread);
    connect(m_worker, &PortMapWorker::outcome, this, &PortMapper::onOutcome);
    connect(m_worker, &PortMapWorker::unmapped, this, &PortMapper::onUnmapped);
    m_thread->start();
}

void PortMapper::requestMapping()
{
    // One request at a time: a slow router must not pile up renewals.
    if (m_pending || m_stopped) return;
    ensureWorker();
    m_pending = true;
    PortMapWorker *worker = m_worker;
    const quint16 port = m_status.port;
    QMetaObject::invokeMethod(
        worker, [worker, port] { worker->map(port); }, Qt::QueuedConnection);
}

void PortMapper::onOutcome(const PortMapOutcome &outcome)
{
    m_pending = false;
    if (m_stopped) return;
    PortMapStatus s = m_status;
    s.method = outcome.method;
    // The address a router answered on is this machine's on the home network.
    if (outcome.kind != PortMapOutcome::Kind::NoRouter && !outcome.lanAddress.isEmpty())
        s.lanAddress = outcome.lanAddress;
    s.externalAddress = outcome.externalAddress;
    s.reason = outcome.reason;
    s.externalPort = 0;
    switch (outcome.kind) {
    case PortMapOutcome::Kind::Mapped:
        s.state = PortMapStatus::State::Open;
        s.externalPort = outcome.externalPort;
        m_everMapped = true;
        break;
    case PortMapOutcome::Kind::NoRouter:
        s.state = PortMapStatus::State::NoRouter;
        break;
    case PortMapOutcome::Kind::Refused:
        s.state = PortMapStatus::State::Refused;
        break;
    }
    setStatus(s);
    // A mapping is renewed halfway through its lease, and one that was lost
    // is asked for again as often; a router that never mapped is left alone.
    if (!m_everMapped) return;
    const int requested = qMax(1, m_config.leaseSeconds);
    const int lease = outcome.leaseSeconds > 0 ? qMin(outcome.leaseSeconds, requested) : requested;
    const int seconds = qMax(1, qMax(lease / 2, qMin(MinRenewSeconds, requested / 2)));
    m_renewal.start(seconds * 1000);
}

void PortMapper::stop()
{
    if (m_stopped) return;
    m_stopped = true;
    m_renewal.stop();
    if (!m_thread) {
        QMetaObject::invokeMethod(
            this, [this] { emit removed(true); }, Qt::QueuedConnection);
        return;
    }
    PortMapWorker *worker = m_worker;
    // A search that has mapped nothing is simply abandoned.
    worker->cancelUnlessMapping();
    QMetaObject::invokeMethod(
        worker, [worker] { worker->unmap(); }, Qt::QueuedConnection);
}

void PortMapper::onUnmapped(bool ok)
{
    emit removed(ok);
}

bool PortMapper::shutdown(int waitMs)
{
    m_stopped = true;
    m_renewal.stop();
    if (!m_thread) return true;
    QThread *thread = m_thread;
    PortMapWorker *worker = m_worker;
    m_thread = nullptr;
    m_worker = nullptr;
    disconnect(worker, nullptr, this, nullptr);
    // Without a mapping nothing needs the router: the worker drops what it
    // is doing and ends within moments. With one (or one asked for), the
    // removal below waits for the router.
    const bool nothingMapped = worker->cancelUnlessMapping();
    // Runs after whatever the worker is still doing, a first mapping included.
    QMetaObject::invokeMethod(
        worker,
        [worker, thread] {
            worker->unmap();
            thread->quit();
        },
        Qt::QueuedConnection);
    if (!thread->wait(QDeadlineTimer(waitMs))) {
        // Leaking the stuck thread beats stalling the exit or destroying a running thread.
        return nothingMapped;
    }
    const bool gone = !worker->holdsMapping();
    delete worker;
    delete thread;
    return gone;
}

void PortMapper::setStatus(const PortMapStatus &status)
{
    if (status == m_status) return;
    m_status = status;
    emit statusChanged(m_status);
}

} // namespace zb
