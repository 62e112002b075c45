#include "server/core/roomconfig.h"

#include "server/core/questionbank.h"
#include "server/texts/messages.h"
#include "shared/settingsstore.h"

namespace zb {

RoomConfig::RoomConfig(int tickMs) : m_tickMs(qMax(1, tickMs))
{
    bool ok = false;
    const qint64 kib = qEnvironmentVariableIntValue("ZB_BENCH_STROKE_BUDGET_KIB", &ok);
    if (ok && kib > 0) setStrokeBudget(kib * 1024);
}

void RoomConfig::setRunOptions(const ServerSettings &values, int fields)
{
    m_runOptions = values;
    m_optionFields = fields;
    m_heldFields = fields;
}

ServerSettings RoomConfig::load() const
{
    ServerSettings s = m_stored ? ServerSettings::load() : ServerSettings();
    s.take(m_runOptions, m_optionFields);
    return s;
}

QString RoomConfig::lobbyAddress() const
{
    if (!m_lobbyOverride.isEmpty()) return m_lobbyOverride;
    return m_stored ? SettingsStore::read(QStringLiteral("LobbyServerAddress")) : QString();
}

void RoomConfig::save(const ServerSettings &applied, const ServerSettings &pressed, int fields)
{
    m_heldFields &= ~(m_runOptions.differingStoredFields(pressed) & fields);
    if (m_stored) applied.save(ServerSettings::StoredFields & ~m_heldFields);
}

ServerSettings RoomConfig::cleaned(ServerSettings s)
{
    s.password = fixedText(s.password.left(ServerSettings::PasswordLength));
    s.roomName = fixedText(s.roomName.left(ServerSettings::RoomNameLength));
    s.comment = fixedText(s.comment.left(ServerSettings::CommentLength));
    if (s.roomName.isEmpty()) s.roomName = msg::DefaultRoomName;
    if (s.comment.isEmpty()) s.comment = msg::DefaultComment;
    s.port = s.port.left(ServerSettings::PortLength);
    return s;
}

QStringList RoomConfig::applyDictionaries(QuestionBank &bank, const ServerSettings &s)
{
    QStringList log;
    bank.setMode(s.dictionaryMode);
    for (const QString &entry : bank.tickedEntries()) {
        if (!s.tickedDictionaries.contains(entry)) bank.setTicked(entry, false);
    }
    const QStringList ticked = bank.tickedEntries();
    for (const QString &entry : s.tickedDictionaries) {
        if (ticked.contains(entry)) continue;
        if (!bank.entries().contains(entry)) {
            log << msg::dictionaryMissing(entry);
            continue;
        }
        QStringList failures;
        if (!bank.setTicked(entry, true, &failures)) {
            for (const QString &failure : failures)
                log << msg::dictionaryTitle(entry) << failure.split(QStringLiteral("\r\n"));
        }
    }
    return log;
}

} // namespace zb
