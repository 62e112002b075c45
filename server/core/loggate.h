#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace zb {

// Limits the log lines one source causes (a player's address, the lobby), so
// that nobody on the network can fill the host's disk or push every other
// service's history out of the system journal. A source may log MaxLines
// lines in a window of WindowTicks clock ticks; what it causes beyond that is
// left out and counted, and the count is reported once its window ends.
class LogGate {
  public:
    static constexpr int MaxLines = 20;
    static constexpr int WindowTicks = 5;

    struct Omitted {
        QString source;
        int lines = 0;
    };

    // Whether the source may log one more line now.
    bool admit(const QString &source);
    // One clock tick: the windows that end now, with what they left out.
    QList<Omitted> tick();

  private:
    struct Window {
        int ticksLeft = WindowTicks;
        int lines = 0;
        int omitted = 0;
    };
    QHash<QString, Window> m_windows;
};

} // namespace zb
