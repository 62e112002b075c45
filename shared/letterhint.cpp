#include "shared/letterhint.h"

namespace zb {

namespace {
QString circles(qsizetype n)
{
    return n > 0 ? QString(n, QChar(0x25CB)) : QString(QLatin1String(""));
}
} // namespace

QString letterHint(const QString &word, int t)
{
    const qsizetype n = word.size();
    if (t == 90) return circles(n);
    if (n <= 2 || n > 300) return {};
    const QString f = word.left(1), ff = word.left(2), l = word.right(1), ll = word.right(2);
    if (n == 3) {
        if (t == 30) return f + circles(n - 1);
    } else if (n <= 5) {
        if (t == 45) return f + circles(n - 1);
        if (t == 30) return f + circles(n - 2) + l;
    } else if (n <= 8) {
        if (t == 60) return f + circles(n - 1);
        if (t == 40) return f + circles(n - 2) + l;
    } else {
        if (t == 60) return f + circles(n - 1);
        if (t == 45) return f + circles(n - 2) + l;
        if (t == 30) return ff + circles(n - 3) + l;
        if (t == 20) return ff + circles(n - 4) + ll;
    }
    return {};
}

} // namespace zb
