#pragma once

#include "lobbyserver/logbudget.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace zb {

class LobbyClock;
struct LobbyPeer;

// The lobby's log: time-stamped lines with no control character in them. What
// strangers cause is rationed: lines a peer causes count against its network's
// budget per window, and refused connections are logged at most once a second.
class LobbyLog : public QObject {
    Q_OBJECT
  public:
    // The most characters of text from the network one log line shows.
    static constexpr int MaxLoggedText = 200;

    explicit LobbyLog(const LobbyClock &clock, QObject *parent = nullptr);

    void setLimits(int lines, int windowMs);

    void log(const QString &text);
    // A line caused by the peer: counted against its network's log budget.
    void log(const LobbyPeer *peer, const QString &text);
    void logRefusal(const QString &text);

    // Text from the network as one log line may hold it: no control character
    // acts on the terminal, and a long text is cut with a mark that says so.
    static QString fromNetwork(const QString &text);

  signals:
    void logLine(const QString &text);

  private:
    void endWindow();

    const LobbyClock &m_clock;
    LogBudget m_budget;
    int m_windowMs = 0;
    QTimer m_window;
    qint64 m_windowStart = 0;
    QElapsedTimer m_sinceRefusalLog;
    int m_refusalsUnlogged = 0;
};

} // namespace zb
