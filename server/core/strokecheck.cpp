#include "server/core/strokecheck.h"

#include "shared/stroke.h"

#include <QtAlgorithms>
#include <QtEndian>

#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zb {

namespace {
// The longest number the player's program writes ("-1234.567", "1e-05").
constexpr int MaxNumberLength = 24;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decimal number, as the float-to-text conversion of the player's program
// writes one, up to the next `end` byte, that lies from -StrokeMargin to
// `high`; advances `pos` past that byte. Every point of every relayed stroke
// passes here, so the usual form (no exponent, at most six decimals) is
// placed against the bounds, which are whole numbers, by its whole part
// alone; strtod only reads the rest.
bool readCoordinate(QByteArrayView text, qsizetype &pos, char end, long long high)
{
    const char *const begin = text.data() + pos;
    const char *const stop = text.data() + text.size();
    const char *p = begin;
    const bool negative = p < stop && *p == '-';
    if (negative) ++p;
    const char *const digitsFrom = p;
    long long whole = 0;
    bool direct = true;
    for (; p < stop && isDigit(*p); ++p) {
        if (whole < 100000000)
            whole = whole * 10 + (*p - '0');
        else
            direct = false;
    }
    if (p == digitsFrom) return false;
    bool fraction = false;
    if (p < stop && *p == '.') {
        const char *const fractionFrom = ++p;
        for (; p < stop && isDigit(*p); ++p)
            fraction = fraction || *p != '0';
        if (p == fractionFrom) return false;
        if (p - fractionFrom > 6) direct = false;
    }
    if (p < stop && (*p == 'e' || *p == 'E')) {
        direct = false;
        ++p;
        if (p < stop && (*p == '+' || *p == '-')) ++p;
        const char *const exponent = p;
        while (p < stop && isDigit(*p))
            ++p;
        if (p == exponent) return false;
    }
    if (p >= stop || *p != end || p - begin > MaxNumberLength) return false;
    pos += p - begin + 1;
    const long long limit = negative ? StrokeMargin : high;
    if (direct) return whole < limit || (whole == limit && !fraction);
    char buffer[MaxNumberLength + 1];
    std::memcpy(buffer, begin, size_t(p - begin));
    buffer[p - begin] = '\0';
    const double value = std::strtod(buffer, nullptr);
    return value >= -StrokeMargin && value <= double(high);
}

// How many of the eight bytes at p are digits before the first one that is
// not (8 when all are), found for all eight at once.
int leadingDigits(const char *p)
{
    // Digits become 0 to 9; any other byte gets its top bit set, by the sum
    // (10 to 0x89) or by itself (0x80 and up). A carry only ever runs upwards
    // from a byte that is already marked, so the lowest mark is exact.
    const quint64 t = qFromLittleEndian<quint64>(p) ^ 0x3030303030303030ULL;
    const quint64 marks = ((t + 0x7676767676767676ULL) | t) & 0x8080808080808080ULL;
    return marks ? int(qCountTrailingZeroBits(marks)) / 8 : 8;
}

// The usual coordinate, a whole number of one to four digits with an optional
// minus sign, read with one look at eight bytes. True when it is one and lies
// from -StrokeMargin to `high` (and pos moves past `end`); false leaves
// anything else, rejects included, to readCoordinate.
bool shortWhole(QByteArrayView text, qsizetype &pos, char end, int high)
{
    if (text.size() - pos < 9) return false;
    const char *p = text.data() + pos;
    const bool negative = *p == '-';
    p += negative;
    const int digits = leadingDigits(p);
    if (digits == 0 || digits > 4 || p[digits] != end) return false;
    if (digits == 4) {
        const int value = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
        if (value > (negative ? StrokeMargin : high)) return false;
    }
    pos += negative + digits + 1;
    return true;
}

// Where the digits, commas, semicolons and minus signs lie among 64 bytes:
// bit i stands for byte i.
struct ByteClasses {
    quint64 digit = 0;
    quint64 comma = 0;
    quint64 semicolon = 0;
    quint64 minus = 0;
};

ByteClasses classify(const char *p)
{
    ByteClasses c;
#if defined(__SSE2__)
    // Bytes from 0x80 up compare as negative, so they are no digits.
    const __m128i belowZero = _mm_set1_epi8('0' - 1);
    const __m128i aboveNine = _mm_set1_epi8('9' + 1);
    for (int i = 0; i < 4; ++i) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        const auto bits = [i](__m128i m) { return quint64(quint32(_mm_movemask_epi8(m))) << (16 * i); };
        c.digit |= bits(_mm_and_si128(_mm_cmpgt_epi8(b, belowZero), _mm_cmplt_epi8(b, aboveNine)));
        c.comma |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8(',')));
        c.semicolon |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8(';')));
        c.minus |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('-')));
    }
#else
    for (int i = 0; i < 64; ++i) {
        const quint64 bit = quint64(1) << i;
        c.digit |= isDigit(p[i]) ? bit : 0;
        c.comma |= p[i] == ',' ? bit : 0;
        c.semicolon |= p[i] == ';' ? bit : 0;
        c.minus |= p[i] == '-' ? bit : 0;
    }
#endif
    return c;
}

// Bit i: whether an odd number of bits 0 to i are set.
quint64 prefixParity(quint64 x)
{
    for (int shift = 1; shift < 64; shift *= 2)
        x ^= x << shift;
    return x;
}

// Set bits, without a call into the runtime where the processor has no
// instruction for it.
int bitCount(quint64 x)
{
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((x * 0x0101010101010101ULL) >> 56);
}

// The points of the usual stroke, "x,y;" over and over with whole numbers of
// one to three digits and an optional minus, found 64 bytes at a time with
// no parsing at all: every such number lies on the canvas or its margin. The
// count of points; -1 when the bytes are anything else, which then take the
// careful way.
int shortPoints(QByteArrayView body)
{
    if (body.isEmpty() || body.back() != ';') return -1;
    quint64 previousDigits = 0; // of the 64 bytes before
    bool afterSeparator = true; // the body starts a number
    bool afterMinus = false;
    quint64 parity = 0; // all ones after an odd count of separators
    int points = 0;
    for (qsizetype at = 0; at < body.size(); at += 64) {
        const qsizetype left = body.size() - at;
        ByteClasses c;
        quint64 valid = ~quint64(0);
        if (left >= 64) {
            c = classify(body.data() + at);
        } else {
            char tail[64] = {};
            std::memcpy(tail, body.data() + at, size_t(left));
            c = classify(tail);
            valid = (quint64(1) << left) - 1;
        }
        const quint64 separators = c.comma | c.semicolon;
        const auto digitsBefore = [&](int k) { return (c.digit << k) | (previousDigits >> (64 - k)); };
        const quint64 bad =
            // a byte of any other kind
            (valid & ~(c.digit | separators | c.minus)) |
            // a separator not after a digit
            (separators & ~digitsBefore(1)) |
            // a minus not where a number starts, or not before a digit
            (c.minus & ~((separators << 1) | quint64(afterSeparator))) |
            (((c.minus << 1) | quint64(afterMinus)) & valid & ~c.digit) |
            // a fourth digit in a row
            (c.digit & digitsBefore(1) & digitsBefore(2) & digitsBefore(3));
        // Commas and semicolons take turns, a comma first.
        const quint64 odd = prefixParity(separators) ^ parity;
        if (bad | (c.comma & ~odd) | (c.semicolon & odd)) return -1;
        parity = (odd >> 63) ? ~quint64(0) : 0;
        points += bitCount(c.semicolon);
        previousDigits = c.digit;
        afterSeparator = separators >> 63;
        afterMinus = c.minus >> 63;
    }
    return points;
}

bool readWhole(QByteArrayView text, qsizetype &pos, char end, long &value)
{
    const qsizetype start = pos;
    qsizetype i = pos;
    value = 0;
    while (i < text.size() && isDigit(text[i]) && i - start < 9)
        value = value * 10 + (text[i++] - '0');
    if (i == start || i >= text.size() || text[i] != end) return false;
    pos = i + 1;
    return true;
}
} // namespace

bool isPlausibleStroke(QByteArrayView payload)
{
    qsizetype pos = 0;
    long color = 0;
    long width = 0;
    if (!readWhole(payload, pos, ':', color) || color > 0xFFFFFF) return false;
    if (!readWhole(payload, pos, ':', width)) return false;
    bool offered = false;
    for (const int w : PenWidths)
        offered = offered || w == width;
    if (!offered) return false;
    const int usual = shortPoints(payload.sliced(pos));
    if (usual >= 0) return usual <= MaxStrokePoints;
    int points = 0;
    while (pos < payload.size()) {
        if (!shortWhole(payload, pos, ',', 640 + StrokeMargin) &&
            !readCoordinate(payload, pos, ',', 640 + StrokeMargin))
            return false;
        if (!shortWhole(payload, pos, ';', 480 + StrokeMargin) &&
            !readCoordinate(payload, pos, ';', 480 + StrokeMargin))
            return false;
        if (++points > MaxStrokePoints) return false;
    }
    return points > 0;
}

} // namespace zb
