// Dictionary words as drawn: whatever a dictionary line holds, the word played
// is never empty and holds none of the forms that normalisation removes, so a
// typed guess can match it.

#include "tests/fuzz/fuzzcheck.h"

#include "server/core/questionbank.h"
#include "shared/cp932.h"
#include "shared/textutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zb::fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    size_t got = 0;
    const char *p = in.rest(got);
    const QByteArray bytes(p, static_cast<qsizetype>(got));
    const QString raw = (mode & 1) ? QString::fromUtf8(bytes) : zb::fromCp932(bytes);

    const QString word = zb::QuestionBank::normalise(raw);
    ZB_FUZZ_CHECK(!word.isEmpty());
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        ZB_FUZZ_CHECK(u != '\t' && u != '\r' && u != '\n');
        ZB_FUZZ_CHECK(!(u >= 0x30A1 && u <= 0x30F4));
        ZB_FUZZ_CHECK(u != 0xFF0D && u != '-');
    }
    ZB_FUZZ_CHECK(zb::katakanaToHiragana(word) == word);
    return 0;
}
