#include "lobbyserver/lobbylog.h"

#include "lobbyserver/lobbyclock.h"
#include "lobbyserver/lobbypeer.h"
#include "lobbyserver/messages.h"
#include "shared/textclean.h"

#include <QDateTime>

namespace zb {

LobbyLog::LobbyLog(const LobbyClock &clock, QObject *parent) : QObject(parent), m_clock(clock)
{
    m_window.setSingleShot(true);
    connect(&m_window, &QTimer::timeout, this, &LobbyLog::endWindow);
}

void LobbyLog::setLimits(int lines, int windowMs)
{
    m_budget.setMaxLines(lines);
    m_windowMs = windowMs;
    m_window.setInterval(windowMs);
}

void LobbyLog::log(const QString &text)
{
    emit logLine(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                 escapeControlChars(text));
}

void LobbyLog::log(const LobbyPeer *peer, const QString &text)
{
    // Windows follow the lobby's clock; the timer ends one for sources that went quiet.
    if (m_budget.isEmpty() || m_clock.now() - m_windowStart >= m_windowMs) {
        endWindow();
        m_windowStart = m_clock.now();
        m_window.start();
    }
    if (m_budget.admit(peer->network)) log(text);
}

void LobbyLog::logRefusal(const QString &text)
{
    // A flood of refused connections would otherwise flood the log as well.
    if (m_sinceRefusalLog.isValid() && m_sinceRefusalLog.elapsed() < 1000) {
        ++m_refusalsUnlogged;
        return;
    }
    log(m_refusalsUnlogged ? msg::refusalsUnlogged(text, m_refusalsUnlogged) : text);
    m_refusalsUnlogged = 0;
    m_sinceRefusalLog.start();
}

void LobbyLog::endWindow()
{
    for (const LogBudget::Omitted &o : m_budget.endWindow())
        log(msg::omittedLines(o.source, o.lines));
    m_window.stop();
}

QString LobbyLog::fromNetwork(const QString &text)
{
    const QString escaped = escapeControlChars(text);
    if (escaped.size() <= MaxLoggedText) return escaped;
    return escaped.left(MaxLoggedText) + msg::logCutMark(escaped.size(), MaxLoggedText);
}

} // namespace zb
