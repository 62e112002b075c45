#include "headlessportmapping.h"

#include "gameserver.h"
#include "messages.h"
#include "roomaddress.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace zb {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

PortMapConfig withStoredSetting(PortMapConfig config)
{
    config.enabled = config.enabled && loadPortMapSetting();
    return config;
}

} // namespace

HeadlessPortMapping::HeadlessPortMapping(GameServer &server, const PortMapConfig &options)
    : m_server(server), m_mapper(withStoredSetting(options))
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
    for (const QString &line : addressReport(status, m_server.config().webPlayer()))
        m_server.log().system(line);
}

void quitOnTerminationSignals()
{
    static bool installed = false;
    if (installed || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    installed = true;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace zb
