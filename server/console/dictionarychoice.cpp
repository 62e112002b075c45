#include "server/console/dictionarychoice.h"

#include "server/console/dictionarypanel.h"
#include "server/core/questionbank.h"
#include "server/core/roomlog.h"
#include "server/texts/messages.h"

namespace zb {

DictionaryChoice::DictionaryChoice(QuestionBank &bank, RoomLog &log, DictionaryPanel *panel, QObject *parent)
    : QObject(parent), m_bank(bank), m_log(log), m_panel(panel)
{
    connect(panel, &DictionaryPanel::rescanRequested, this, &DictionaryChoice::rescan);
    connect(panel, &DictionaryPanel::entryToggled, this, &DictionaryChoice::onTicked);
    // A pool used up mid-game is rebuilt from the mode chosen now, not at the last start.
    connect(panel, &DictionaryPanel::modeChosen, this, [this](int mode) { m_bank.setMode(mode); });
}

void DictionaryChoice::tickNamed(const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString title = msg::dictionaryTitle(entry);
        QStringList failures;
        if (!m_bank.entries().contains(entry))
            m_log.system(msg::dictionaryMissing(entry));
        else if (!m_bank.setTicked(entry, true, &failures))
            for (const QString &failure : failures) {
                m_log.system(title);
                for (const QString &line : failure.split(QStringLiteral("\r\n")))
                    m_log.system(line);
            }
    }
}

void DictionaryChoice::refresh()
{
    m_panel->setEntries(m_bank.entries());
    for (const QString &entry : m_bank.entries()) {
        const DictionaryFile file = m_bank.readEntry(entry);
        m_panel->setEntryWords(entry, file.wordCount(), file.utf8);
    }
    for (const QString &entry : m_bank.tickedEntries())
        m_panel->setEntryTicked(entry, true);
}

void DictionaryChoice::rescan()
{
    m_bank.rescan();
    refresh();
}

void DictionaryChoice::onTicked(const QString &entry, bool ticked)
{
    QStringList failures;
    if (m_bank.setTicked(entry, ticked, &failures)) return;
    m_panel->setEntryTicked(entry, false);
    // Each box says which file it is about.
    for (QString &failure : failures)
        failure.prepend(msg::dictionaryTitle(entry) + QStringLiteral("\r\n"));
    emit refused(failures);
}

} // namespace zb
