#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace zb {

// Lets changes pile up and hands them on at most once per interval. The first
// change after a quiet interval goes out as soon as the current event is done,
// so that a burst of changes arriving together still makes one update.
class UpdateGate : public QObject {
    Q_OBJECT
  public:
    // send() returns false when it found nothing to send; that costs no interval.
    UpdateGate(int intervalMs, std::function<bool()> send, QObject *parent = nullptr);

    void setInterval(int ms) { m_intervalMs = ms; }
    void markDirty();

  private:
    void onTimeout();

    int m_intervalMs;
    std::function<bool()> m_send;
    QTimer m_timer;
    QElapsedTimer m_sinceSent;
    bool m_dirty = false;
};

} // namespace zb
