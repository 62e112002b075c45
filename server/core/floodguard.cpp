#include "server/core/floodguard.h"

#include <algorithm>
#include <numeric>

namespace zb {

bool FloodGuard::take(Kind kind, qint64 bytes)
{
    const bool counted = kind != Kind::Stroke;
    const bool canvas = kind != Kind::Line;
    const qint64 charge = canvas ? qMax(bytes, MinCanvasCharge) : 0;
    const int lines = std::accumulate(m_lines.cbegin(), m_lines.cend(), 0);
    const qint64 used = std::accumulate(m_bytes.cbegin(), m_bytes.cend(), qint64(0));
    if ((counted && lines >= MaxLines) || (canvas && used + charge > m_maxCanvasBytes)) {
        m_over = true;
        return false;
    }
    if (counted) ++m_lines[m_now];
    m_bytes[m_now] += charge;
    return true;
}

bool FloodGuard::tick()
{
    m_strikes = m_over ? m_strikes + 1 : 0;
    m_over = false;
    m_now = (m_now + 1) % WindowTicks;
    m_lines[m_now] = 0;
    m_bytes[m_now] = 0;
    return m_strikes >= StrikeTicks;
}

int ConnectGuard::take(const QString &address)
{
    std::array<int, FloodGuard::WindowTicks> &counts = m_counts[address];
    ++counts[m_now];
    return std::accumulate(counts.cbegin(), counts.cend(), 0);
}

void ConnectGuard::tick()
{
    m_now = (m_now + 1) % FloodGuard::WindowTicks;
    for (auto it = m_counts.begin(); it != m_counts.end();) {
        it.value()[m_now] = 0;
        const bool quiet = std::all_of(it.value().cbegin(), it.value().cend(), [](int n) { return n == 0; });
        it = quiet ? m_counts.erase(it) : std::next(it);
    }
}

} // namespace zb
