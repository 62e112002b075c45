// The server's dispatcher fed arbitrary lines from arbitrary connected slots,
// mixed with round-clock ticks: whatever arrives, no fault, no endless loop,
// and the room's state stays within its bounds. Eight real loopback
// connections hold the slots so that replies and releases take their real paths.

#include "tests/fuzz/fuzzcheck.h"

#include "server/core/gameserver.h"
#include "server/core/roundengine.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/lineframer.h"
#include "tests/server/roominternals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <array>
#include <memory>

namespace {

// Commands a server receives; the rest of the record is the payload.
const char *const Commands[] = {"MSG", "STK", "CLS", "NAM", "RDY", "VER", "PSW", "SYM", "CHK"};
constexpr int CommandCount = sizeof(Commands) / sizeof(Commands[0]);

struct Harness {
    QTemporaryDir dir;
    std::unique_ptr<zb::GameServer> server;
    std::array<QTcpSocket *, zb::Seats::Slots> clients{};
    quint16 port = 0;
};

Harness *g_harness = nullptr;

void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void drainClients()
{
    for (QTcpSocket *c : g_harness->clients) {
        if (c) c->readAll();
    }
}

bool seated(int slot)
{
    return g_harness->server->seats().busy(slot);
}

// Every slot held by a live connection, as after eight clients connected.
// A client whose slot was released (kicked, refused) connects again.
void fillSlots()
{
    Harness &h = *g_harness;
    const QDeadlineTimer deadline(10000);
    for (;;) {
        pumpEvents();
        int busy = 0;
        for (int i = 0; i < zb::Seats::Slots; ++i)
            busy += seated(i);
        if (busy == zb::Seats::Slots) return;
        for (QTcpSocket *&c : h.clients) {
            if (c && c->state() != QAbstractSocket::UnconnectedState) continue;
            if (c) c->deleteLater();
            c = new QTcpSocket;
            // A fresh address each time: the room takes only so many
            // connections from one address while its clock stands still.
            static quint32 next = 0;
            c->bind(QHostAddress(0x7F000002u + next++ % 0xFFFFF0u));
            c->connectToHost(QHostAddress::LocalHost, h.port);
        }
        ZB_FUZZ_CHECK(!deadline.hasExpired());
    }
}

void checkState()
{
    const zb::GameServer &s = *g_harness->server;
    ZB_FUZZ_CHECK(s.seats().playerCount() >= 0 && s.seats().playerCount() <= zb::Seats::Slots);
    ZB_FUZZ_CHECK(s.round().timeLeft() >= -1 && s.round().timeLeft() <= 130);
    ZB_FUZZ_CHECK(s.round().drawerSlot() >= -1 && s.round().drawerSlot() < zb::Seats::Slots);
    for (int i = 0; i < zb::Seats::Slots; ++i)
        ZB_FUZZ_CHECK(s.round().score(i) >= 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz_serverdispatch";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    g_harness = new Harness;
    Harness &h = *g_harness;
    zb::setProgramFolder(h.dir.path());
    zb::writeTextFile(
        h.dir.filePath(QStringLiteral("default.dat")),
        QStringLiteral("りんご\r\nバナナ\r\nヴァイオリン\r\nボール-ペン\r\nあ\r\nかきくけこさしすせそ"));

    // A tick that never comes on its own: the input decides when the clock moves.
    h.server = std::make_unique<zb::GameServer>(3600 * 1000);
    // ZB_FUZZ_VERBOSE=1 shows the console log, to follow a reproducer.
    if (qEnvironmentVariableIsSet("ZB_FUZZ_VERBOSE"))
        QObject::connect(&h.server->log(), &zb::RoomLog::line,
                         [](const QString &line) { std::fputs(qPrintable(line), stderr); });
    h.server->prepare();
    zb::ServerSettings settings;
    settings.lobbyRegister = false;
    // A probed free port can be taken by a parallel test before the server
    // binds it: probe again then.
    auto started = zb::GameServer::StartResult::PortRefused;
    for (int attempt = 0; attempt < 20 && started == zb::GameServer::StartResult::PortRefused; ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        settings.port = QString::number(probe.serverPort());
        probe.close();
        started = h.server->startOrApply(settings);
    }
    ZB_FUZZ_CHECK(started == zb::GameServer::StartResult::Started);
    h.port = h.server->listeningPort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Harness &h = *g_harness;
    fillSlots();
    zb::RoomInternals::reset(*h.server);
    // The same words for every run of an input: a reproducer replays as found.
    h.server->dictionaries().reseed(1);

    zb::fuzz::Input in(data, size);
    int records = 0;
    while (!in.empty() && records++ < 64) {
        const uint8_t op = in.byte();
        const int slot = op & 7;
        const int kind = (op >> 3) & 15;
        if (kind == 15) {
            // The round clock runs on: lead-in, turn start, hints, time-out.
            for (int t = 0; t <= slot * 20; ++t)
                zb::RoomInternals::engine(*h.server).onClockTick();
        } else if (kind == 14) {
            pumpEvents();
            drainClients();
        } else {
            // The record runs to the next LF (or the end).
            const QByteArray raw = in.line();
            if (kind < CommandCount)
                zb::RoomInternals::receiveLine(*h.server, slot, QByteArray(Commands[kind]) + ' ' + raw);
            else
                zb::RoomInternals::receiveLine(*h.server, slot, raw);
        }
        checkState();
    }
    pumpEvents();
    drainClients();
    return 0;
}
