#pragma once

#include <QElapsedTimer>

namespace zb {

// The lobby's own clock (chat, line budgets, idle time, log windows, held room
// changes): a test moves it on instead of sleeping through a window.
class LobbyClock {
  public:
    LobbyClock() { m_elapsed.start(); }

    qint64 now() const { return m_elapsed.elapsed() + m_offset; }
    void advance(qint64 ms) { m_offset += ms; }

  private:
    QElapsedTimer m_elapsed;
    qint64 m_offset = 0;
};

} // namespace zb
