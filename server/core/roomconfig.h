#pragma once

#include "server/core/floodguard.h"
#include "server/core/serversettings.h"

#include <QStringList>

namespace zb {

class QuestionBank;

// The room's settings for this run: what the host stored, over the defaults;
// what the command line gives, over those; and which of them a start press
// saves again.
class RoomConfig {
  public:
    // Values the command line gives for this run (`fields` says which). They
    // are used instead of the stored ones and never saved; a field is saved
    // again once a start press carries another value for it (the host changed
    // it in the window).
    void setRunOptions(const ServerSettings &values, int fields);
    // Off for the dedicated server: it neither reads nor writes what the
    // console stored; its options come from its command line alone.
    void setStoredSettings(bool used) { m_stored = used; }
    // "host:port" that wins over the stored lobby address; empty: none.
    void setLobbyOverride(const QString &hostPort) { m_lobbyOverride = hostPort; }
    QString lobbyOverride() const { return m_lobbyOverride; }
    // Bytes of strokes and fills one connection may send in a flood window,
    // for connections accepted from now on. Load generators raise it (the
    // environment's ZB_BENCH_STROKE_BUDGET_KIB) to measure the relay rather
    // than the flood limit; no room of people needs it, so it is no option.
    void setStrokeBudget(qint64 bytes) { m_strokeBudget = qMax<qint64>(1, bytes); }
    qint64 strokeBudget() const { return m_strokeBudget; }
    // The browser's way in on the room's port (--no-web turns it off for the
    // run); read when the port opens.
    void setWebPlayer(bool on) { m_browserPlay = on; }
    bool browserPlay() const { return m_browserPlay; }

    // `tickMs`: the clock tick every clock of the room derives from.
    explicit RoomConfig(int tickMs = 1000);
    int tickMs() const { return m_tickMs; }

    // Stored settings over the defaults, the run's options over them.
    ServerSettings load() const;
    // This run's lobby, else the stored one; empty means the built-in address.
    QString lobbyAddress() const;
    // Saves `applied`, but no option the host left as it was among the
    // `fields` of `pressed`.
    void save(const ServerSettings &applied, const ServerSettings &pressed, int fields);

    // A first press as the room uses it: the texts cut to their boxes, the
    // lobby record's separators removed, the empty ones given their defaults.
    static ServerSettings cleaned(ServerSettings s);
    // Makes the bank's mode and ticks those of the settings; the log lines of
    // every dictionary that could not be ticked.
    static QStringList applyDictionaries(QuestionBank &bank, const ServerSettings &s);

  private:
    ServerSettings m_runOptions;
    int m_optionFields = 0;
    // Option fields the host has not changed yet: not saved.
    int m_heldFields = 0;
    bool m_stored = true;
    QString m_lobbyOverride;
    qint64 m_strokeBudget = FloodGuard::MaxCanvasBytes;
    bool m_browserPlay = true;
    int m_tickMs;
};

} // namespace zb
