// The client's command handler fed arbitrary server lines and clock ticks:
// no fault, no endless loop, and what it shows stays within bounds.

#include "tests/fuzz/fuzzcheck.h"

#include "client/core/gameclient.h"
#include "shared/cp932.h"
#include "shared/fileutil.h"
#include "shared/lineframer.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <memory>

namespace {

const char *const Commands[] = {"MSG", "SYM", "STK", "CLS", "NMS", "SCR", "RDY", "NUM",
                                "QST", "QOK", "NST", "NSP", "RST", "RET", "SND"};
constexpr int CommandCount = sizeof(Commands) / sizeof(Commands[0]);

std::unique_ptr<zb::GameClient> g_client;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir dir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz_clientdispatch";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    // Pictures a turn end may save land in a folder of our own.
    zb::setProgramFolder(dir.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A fresh client per input keeps every run reproducible on its own.
    g_client = std::make_unique<zb::GameClient>();
    zb::GameClient &client = *g_client;
    client.setTickMs(3600 * 1000);
    client.setAutoSavePicture(false);

    zb::fuzz::Input in(data, size);
    int records = 0;
    while (!in.empty() && records++ < 64) {
        const uint8_t op = in.byte();
        const int kind = op % 18;
        if (kind == 16) {
            for (int t = 0; t < 1 + (op / 18) * 10; ++t)
                client.onClockTick();
        } else if (kind == 17) {
            client.onIdleTick();
        } else {
            // The record runs to the next LF (or the end).
            const QString text = zb::fromCp932(in.line());
            if (kind < CommandCount) {
                client.dispatch(QString::fromLatin1(Commands[kind]), text);
            } else {
                const zb::Line line = zb::splitLine(text);
                client.dispatch(line.command, line.payload);
            }
        }
        ZB_FUZZ_CHECK(client.qokSlot() >= -1 && client.qokSlot() < 8);
        ZB_FUZZ_CHECK(client.players().playerCount() >= 0 && client.players().playerCount() <= 8);
        ZB_FUZZ_CHECK(client.canvas().image().width() == 640 && client.canvas().image().height() == 480);
    }
    g_client.reset();
    return 0;
}
