#pragma once

#include <QtGlobal>

#include <deque>

namespace zb {

// Allows at most a number of events within any window of time.
class RateWindow {
  public:
    // True when an event at nowMs still fits, and counts it.
    bool allow(qint64 nowMs, int events, qint64 windowMs)
    {
        while (!m_times.empty() && nowMs - m_times.front() >= windowMs)
            m_times.pop_front();
        if (int(m_times.size()) >= events) return false;
        m_times.push_back(nowMs);
        return true;
    }

  private:
    std::deque<qint64> m_times;
};

} // namespace zb
