#include "strokecheck.h"

#include "stroke.h"

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
// writes one, up to the next `end` byte; advances `pos` past that byte.
// Every point of every relayed stroke passes here, so the usual form (no
// exponent, at most six decimals) is read directly, and strtod only reads the
// rest: a float library call per coordinate was most of the relay's time.
bool readNumber(QByteArrayView text, qsizetype &pos, char end, double &value)
{
    static constexpr double Scale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    const qsizetype start = pos;
    qsizetype i = pos;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    const qsizetype digitsFrom = i;
    long long whole = 0;
    bool direct = true;
    while (i < text.size() && isDigit(text[i])) {
        if (whole < 100000000)
            whole = whole * 10 + (text[i] - '0');
        else
            direct = false;
        ++i;
    }
    if (i == digitsFrom) return false;
    long long fraction = 0;
    qsizetype decimals = 0;
    if (i < text.size() && text[i] == '.') {
        const qsizetype fractionFrom = ++i;
        while (i < text.size() && isDigit(text[i])) {
            if (++decimals <= 6)
                fraction = fraction * 10 + (text[i] - '0');
            else
                direct = false;
            ++i;
        }
        if (i == fractionFrom) return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        direct = false;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const qsizetype exponent = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == exponent) return false;
    }
    if (i >= text.size() || text[i] != end || i - start > MaxNumberLength) return false;
    if (direct) {
        value = double(whole) + double(fraction) / Scale[decimals];
        if (negative) value = -value;
    } else {
        char buffer[MaxNumberLength + 1];
        std::memcpy(buffer, text.data() + start, size_t(i - start));
        buffer[i - start] = '\0';
        value = std::strtod(buffer, nullptr);
    }
    pos = i + 1;
    return true;
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
        double x = 0;
        double y = 0;
        if (!readNumber(payload, pos, ',', x) || !readNumber(payload, pos, ';', y)) return false;
        if (x < -StrokeMargin || x > 640 + StrokeMargin || y < -StrokeMargin || y > 480 + StrokeMargin)
            return false;
        if (++points > MaxStrokePoints) return false;
    }
    return points > 0;
}

} // namespace zb
