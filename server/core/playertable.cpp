#include "playertable.h"

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
    PlayerReady.fill(QStringLiteral("NG"));
    JoinTimer.fill(-1);
}

int PlayerTable::GetPlayerCnt() const
{
    int n = 0;
    for (const QString &name : PlayerName)
        n += name.isEmpty() ? 0 : 1;
    return n;
}

int PlayerTable::GetLastPlayerNum() const
{
    for (int i = Slots - 1; i >= 0; --i) {
        if (occupied(i)) return i;
    }
    return 0;
}

QString PlayerTable::namesList() const
{
    return joinSlots(PlayerName, [](const QString &s) { return s; });
}

QString PlayerTable::readysList() const
{
    return joinSlots(PlayerReady, [](const QString &s) { return s; });
}

QString PlayerTable::scoresList() const
{
    return joinSlots(PlayerScore, [](int v) { return QString::number(v); });
}

void PlayerTable::clearRow(int slot)
{
    JoinTimer[slot] = -1;
    PlayerName[slot].clear();
    // The next connection in this slot must send its own.
    PlayerVersion[slot].clear();
    PlayerReady[slot] = QStringLiteral("NG");
}

void PlayerTable::clearMarksAndScores()
{
    PlayerReady.fill(QStringLiteral("NG"));
    PlayerScore.fill(0);
}

} // namespace zb
