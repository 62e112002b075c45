#include "server/core/strokecheck.h"

#include "shared/stroke.h"

#include <cstdlib>
#include <cstring>

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
    int points = 0;
    while (pos < payload.size()) {
        if (!readCoordinate(payload, pos, ',', 640 + StrokeMargin) ||
            !readCoordinate(payload, pos, ';', 480 + StrokeMargin))
            return false;
        if (++points > MaxStrokePoints) return false;
    }
    return points > 0;
}

} // namespace zb
