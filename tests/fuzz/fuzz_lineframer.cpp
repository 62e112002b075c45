// The framer against a plain model: whatever the chunking and the cap, it must
// hand out exactly the CR LF lines the model finds, and give up exactly when
// the unfinished rest outgrows the cap.

#include "tests/fuzz/fuzzcheck.h"

#include "shared/cp932.h"
#include "shared/lineframer.h"

namespace {

void checkSplit(const QByteArray &raw)
{
    const QString text = zb::fromCp932(raw);
    const zb::Line line = zb::splitLine(text);
    ZB_FUZZ_CHECK(line.command == text.left(3));
    if (text.size() > 4)
        ZB_FUZZ_CHECK(line.command + text.at(3) + line.payload == text);
    else
        ZB_FUZZ_CHECK(line.payload.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zb::fuzz::Input in(data, size);
    const uint8_t capChoice = in.byte();
    // Small caps reach the overflow path with short inputs; the default cap is what runs in production.
    const qsizetype cap = capChoice >= 192 ? zb::LineFramer::DefaultCap : 1 + capChoice % 64;
    uint32_t seed = in.byte() | 1u;
    const uint32_t maxChunk = 1 + in.byte() % 48;

    zb::LineFramer framer(cap);
    QByteArray model;
    while (!in.empty()) {
        seed = seed * 1103515245u + 12345u;
        size_t got = 0;
        const char *p = in.take(1 + (seed >> 16) % maxChunk, got);
        const QByteArray chunk(p, static_cast<qsizetype>(got));

        QList<QByteArray> lines;
        const bool ok = framer.feed(chunk, lines);

        model += chunk;
        QList<QByteArray> expected;
        for (qsizetype end = model.indexOf("\r\n"); end >= 0; end = model.indexOf("\r\n")) {
            expected.append(model.left(end));
            model.remove(0, end + 2);
        }
        bool expectedOk = true;
        if (model.size() > cap) {
            model.clear();
            expectedOk = false;
        }

        ZB_FUZZ_CHECK(ok == expectedOk);
        ZB_FUZZ_CHECK(lines == expected);
        ZB_FUZZ_CHECK(framer.pendingBytes() == model.size());
        for (const QByteArray &line : lines)
            checkSplit(line);
    }
    return 0;
}
