#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace zb {

// Limits the log lines one source causes, so that nobody on the network can
// fill the operator's disk or push every other service's history out of the
// system journal. Within a window a source may log a number of lines; the rest
// is counted, and the count is handed out when the window ends.
class LogBudget {
  public:
    struct Omitted {
        QString source;
        int lines = 0;
    };

    void setMaxLines(int lines) { m_maxLines = lines; }

    // Whether the source may log one more line in this window.
    bool admit(const QString &source)
    {
        Count &c = m_counts[source];
        if (c.lines < m_maxLines) {
            ++c.lines;
            return true;
        }
        ++c.omitted;
        return false;
    }

    // Ends the window: what each source had left out. The next window starts empty.
    QList<Omitted> endWindow()
    {
        QList<Omitted> omitted;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it) {
            if (it->omitted > 0) omitted.append({it.key(), it->omitted});
        }
        m_counts.clear();
        return omitted;
    }

    bool isEmpty() const { return m_counts.isEmpty(); }

  private:
    struct Count {
        int lines = 0;
        int omitted = 0;
    };
    QHash<QString, Count> m_counts;
    int m_maxLines = 20;
};

} // namespace zb
