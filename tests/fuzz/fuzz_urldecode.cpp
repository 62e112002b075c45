// URL decoding and the status record as they meet lobby text: decoding never
// grows the text, undoes encoding for every code page 932 text, and a record
// built from fields gives every field back.

#include "tests/fuzz/fuzzcheck.h"

#include "shared/cp932.h"
#include "shared/statusrecord.h"
#include "shared/textutil.h"

#include <QList>
#include <QStringList>
#include <utility>

namespace {

const QString Keys[] = {QStringLiteral("name="), QStringLiteral("port="), QStringLiteral("ver="),
                        QStringLiteral("num="), QStringLiteral("comment=")};

bool representable(const QString &s)
{
    return zb::fromCp932(zb::toCp932(s)) == s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zb::fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    size_t got = 0;
    const char *p = in.rest(got);
    const QByteArray bytes(p, static_cast<qsizetype>(got));
    // Both readings: what arrives off the wire, and any Unicode text at all.
    const QString text = (mode & 1) ? QString::fromUtf8(bytes) : zb::fromCp932(bytes);

    QByteArray decoded;
    const int n = zb::urlDecode(text, decoded);
    ZB_FUZZ_CHECK(n == decoded.size());
    ZB_FUZZ_CHECK(decoded.size() <= text.size());
    zb::urlDecodeText(text);

    if (representable(text)) {
        QByteArray back;
        zb::urlDecode(zb::urlEncode(text), back);
        ZB_FUZZ_CHECK(back == zb::toCp932(text));
        ZB_FUZZ_CHECK(zb::StatusRecord::decode(zb::urlEncode(text)) == text);
    }

    // Arbitrary lookups must not fault whatever the record and key.
    const qsizetype cut = text.isEmpty() ? 0 : (mode >> 1) % (text.size() + 1);
    zb::StatusRecord::field(text, text.left(cut));
    zb::StatusRecord::field(text.mid(cut), text.left(cut));
    for (const QString &key : Keys)
        zb::StatusRecord::field(text, key);

    // A record of fields whose values hold neither separator reads back field by field.
    const QStringList pieces = text.split(QLatin1Char('\x01'));
    zb::StatusRecord record;
    QList<std::pair<QString, QString>> fields;
    for (int i = 0; i < pieces.size() && i < 5; ++i) {
        QString v = pieces[i];
        v.remove(QLatin1Char('&'));
        v.remove(QLatin1Char('='));
        if (!representable(v)) continue;
        record.add(Keys[i], v);
        fields.append({Keys[i], v});
    }
    const QString roundTrip = zb::StatusRecord::decode(record.encoded());
    ZB_FUZZ_CHECK(roundTrip == record.text());
    for (const auto &[key, value] : fields)
        ZB_FUZZ_CHECK(zb::StatusRecord::field(roundTrip, key) == value);
    return 0;
}
