#include "server/core/playertable.h"

namespace zb {

namespace {
template <typename T, typename F> QString joinSlots(const std::array<T, PlayerTable::Slots> &values, F text)
{
    QString out;
    for (const T &v : values)
        out += text(v) + QLatin1Char(':');
    return out;
}
} // namespace

PlayerTable::PlayerTable()
{
    readiness.fill(QStringLiteral("NG"));
}

int PlayerTable::playerCount() const
{
    int n = 0;
    for (const QString &name : names)
        n += name.isEmpty() ? 0 : 1;
    return n;
}

QString PlayerTable::namesList() const
{
    return joinSlots(names, [](const QString &s) { return s; });
}

QString PlayerTable::readysList() const
{
    return joinSlots(readiness, [](const QString &s) { return s; });
}

QString PlayerTable::scoresList(const std::array<int, Slots> &scores)
{
    return joinSlots(scores, [](int v) { return QString::number(v); });
}

void PlayerTable::clearRow(int slot)
{
    names[slot].clear();
    readiness[slot] = QStringLiteral("NG");
}

} // namespace zb
