#pragma once

#include <QHash>
#include <QString>
#include <array>

namespace zb {

// What one connection may send, counted over the last few ticks of the
// moderation timer (a tick is a second in a real room). Every figure lies well
// beyond what a person at a conforming client produces, so only a program
// flooding the room meets them; it loses the lines over budget and, if it
// keeps going, its connection, before anybody reading it falls behind.
class FloodGuard {
  public:
    // Every budget is counted over the current tick and the four before it.
    static constexpr int WindowTicks = 5;
    // Lines other than strokes: chat, fills, marks and the rest. The client
    // cuts itself off at its fifth chat or fill without a second's pause, so
    // it sends at most about 10 in five seconds, plus three lines to join.
    static constexpr int MaxLines = 20;
    // Bytes of strokes and fills: 640 KiB in five seconds, 128 KiB a second.
    // The room sends a drawer's strokes to up to seven readers, so that is at
    // most 0.9 MB/s of the host's upload, which a home line carries. A person
    // drawing as fast as a 1000 Hz mouse reports sends about 8 KiB a second.
    static constexpr qint64 MaxCanvasBytes = 640 * 1024;
    // What each stroke or fill costs at least, so that tiny strokes are held
    // to 200 a second (a fast clicker manages 15 clicks).
    static constexpr qint64 MinCanvasCharge = 1024;
    // Ticks in a row with lines over budget before the sender is cut: a burst
    // is forgiven, a flood is not; the budgets let well under 1 MiB through
    // meanwhile, far below a reader's 8 MiB output cap.
    static constexpr int StrikeTicks = 3;

    enum class Kind { Line, Stroke, Fill };

    // maxCanvasBytes: the stroke budget of this run (an operator may raise
    // it, for a benchmark or a room of trusted programs).
    FloodGuard() = default;
    explicit FloodGuard(qint64 maxCanvasBytes) : m_maxCanvasBytes(maxCanvasBytes) {}

    // Counts a line of `bytes` bytes; false when it is over budget and must be
    // dropped (a dropped line costs nothing).
    bool take(Kind kind, qint64 bytes);
    // One moderation tick: the window moves on. True once the sender has gone
    // over budget in each of the last StrikeTicks ticks.
    bool tick();

  private:
    std::array<int, WindowTicks> m_lines{};
    std::array<qint64, WindowTicks> m_bytes{};
    qint64 m_maxCanvasBytes = MaxCanvasBytes;
    int m_now = 0;
    bool m_over = false;
    int m_strikes = 0;
};

// New connections per address over the same window. A person reconnects by
// hand, a few times a minute at most; a program reconnecting in a loop with a
// wrong password or version would have the room watch a join or a refusal,
// and a departure, every time.
class ConnectGuard {
  public:
    static constexpr int MaxConnects = 5;

    // Counts a connection; how many the address has opened in the window,
    // this one included. Over MaxConnects it is to be refused.
    int take(const QString &address);
    void tick();

  private:
    QHash<QString, std::array<int, FloodGuard::WindowTicks>> m_counts;
    int m_now = 0;
};

} // namespace zb
