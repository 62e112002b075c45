#include "server/core/loggate.h"

namespace zb {

bool LogGate::admit(const QString &source)
{
    Window &w = m_windows[source];
    if (w.lines < MaxLines) {
        ++w.lines;
        return true;
    }
    ++w.omitted;
    return false;
}

QList<LogGate::Omitted> LogGate::tick()
{
    QList<Omitted> ended;
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (--it->ticksLeft > 0) {
            ++it;
            continue;
        }
        if (it->omitted > 0) ended.append({it.key(), it->omitted});
        it = m_windows.erase(it);
    }
    return ended;
}

} // namespace zb
