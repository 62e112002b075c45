#include "lobbyserver/updategate.h"

namespace zb {

UpdateGate::UpdateGate(int intervalMs, std::function<bool()> send, QObject *parent)
    : QObject(parent), m_intervalMs(intervalMs), m_send(std::move(send))
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire early and let two updates into one interval.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UpdateGate::onTimeout);
}

void UpdateGate::markDirty()
{
    m_dirty = true;
    if (m_timer.isActive()) return;
    const qint64 wait = m_sinceSent.isValid() ? m_intervalMs - m_sinceSent.elapsed() : 0;
    m_timer.start(int(qBound(qint64(0), wait, qint64(m_intervalMs))));
}

void UpdateGate::onTimeout()
{
    if (!m_dirty) return;
    m_dirty = false;
    if (m_send()) m_sinceSent.start();
}

} // namespace zb
