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
bool readNumber(QByteArrayView text, qsizetype &pos, char end, double &value)
{
    const qsizetype start = pos;
    qsizetype i = pos;
    if (i < text.size() && text[i] == '-') ++i;
    const qsizetype digitsFrom = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == digitsFrom) return false;
    if (i < text.size() && text[i] == '.') {
        const qsizetype fraction = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == fraction) return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const qsizetype exponent = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == exponent) return false;
    }
    if (i >= text.size() || text[i] != end || i - start > MaxNumberLength) return false;
    char buffer[MaxNumberLength + 1];
    std::memcpy(buffer, text.data() + start, size_t(i - start));
    buffer[i - start] = '\0';
    value = std::strtod(buffer, nullptr);
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
