#pragma once

#include <QtGlobal>

#include <array>
#include <numeric>

namespace zb {

// What one lobby connection may send. A game server sends a line or two a
// minute (its status and the keep-alive) and a person chats a line every few
// seconds, so only a program meets the budget: lines over it are dropped
// unread, and a sender that stays over it for StrikeSeconds seconds in a row
// is cut. A burst is forgiven, a flood is not.
class LineBudget {
  public:
    static constexpr int MaxLines = 60;
    static constexpr int WindowSeconds = 5;
    static constexpr int StrikeSeconds = 3;

    enum class Verdict { Take, Drop, Cut };

    // Counts a line arriving at nowMs (a clock that never goes back); a
    // dropped line costs nothing.
    Verdict take(qint64 nowMs)
    {
        const qint64 second = nowMs / 1000;
        for (qint64 s = qMax(m_second + 1, second - WindowSeconds + 1); s <= second; ++s)
            m_lines[size_t(s % WindowSeconds)] = 0;
        m_second = qMax(m_second, second);
        if (std::accumulate(m_lines.cbegin(), m_lines.cend(), 0) < MaxLines) {
            ++m_lines[size_t(second % WindowSeconds)];
            return Verdict::Take;
        }
        if (m_lastOver != second) {
            m_strikes = m_lastOver == second - 1 ? m_strikes + 1 : 1;
            m_lastOver = second;
        }
        return m_strikes >= StrikeSeconds ? Verdict::Cut : Verdict::Drop;
    }

  private:
    std::array<int, WindowSeconds> m_lines{};
    qint64 m_second = -1;
    qint64 m_lastOver = -2;
    int m_strikes = 0;
};

} // namespace zb
