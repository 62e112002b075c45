#pragma once

#include "server/core/dictionaryfile.h"

#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

namespace zb {

// The word pool: built from the built-in dictionary and the ticked added
// dictionaries ("*.zbq"), drawn from once per turn.
class QuestionBank : public QObject {
    Q_OBJECT
  public:
    // How the sources are combined (the console's five options).
    enum Mode { BuiltInOnly = 0, AddedOnly = 1, BuiltInAndAdded = 2, AddedTwice = 3, BuiltInTwice = 4 };

    // The longest word a turn plays: far beyond any word worth drawing (the
    // letter hints stop at 300), far below a line the players would refuse.
    static constexpr int MaxWordLength = 1000;

    explicit QuestionBank(QObject *parent = nullptr);

    // Values outside 0..4 are ignored.
    void setMode(int mode);
    int mode() const { return m_mode; }
    void setQuestionControl(bool on) { m_questionControl = on; }
    bool questionControl() const { return m_questionControl; }

    // Refills the list of added dictionaries: "*.zbq" in the program folder,
    // then "zbq\" + name for those in its "zbq" folder, each in name order.
    // Ticks are lost. The backslash is how players and the lobby have always
    // seen these names; it becomes a path separator only when a file is opened.
    void rescan();
    QStringList entries() const { return m_entries; }
    // The "zbq" folder beside the program, where hosts drop added dictionaries.
    static QString subfolderPath();
    // The entry a name stands for: "zbq/x.zbq" (as a command line types it) is "zbq\x.zbq".
    static QString entryName(const QString &typed);

    // Ticking runs the file checks; a file that fails any of them stays
    // unticked and `failures` receives one message text per failed check.
    // "zbq/x.zbq" names the entry "zbq\x.zbq" as well.
    bool setTicked(const QString &entry, bool ticked, QStringList *failures = nullptr);
    bool isTicked(const QString &entry) const;
    // Ticked entries in list order.
    QStringList tickedEntries() const;

    // The listed entry's file; an entry the scan did not find reads as empty.
    DictionaryFile readEntry(const QString &entry) const;

    // Rebuilds the pool and the dictionary list; returns the number of pool entries.
    int loadDictionaries();
    QString dictionaryList() const { return m_dictionaryList; }
    QString defaultWords() const;
    // Draws and normalises the next word (never fails: an unusable draw gives
    // "このもんだいはふせいです").
    QString drawWord();
    static QString normalise(const QString &raw);
    // The word of the last drawWord.
    QString currentQuestion() const { return m_currentQuestion; }

    QStringList wordPool() const { return m_pool; }
    void reseed(quint32 seed) { m_random.seed(seed); }

  signals:
    void systemText(const QString &text);

  private:
    int m_mode = BuiltInOnly;
    bool m_questionControl = false;
    QStringList m_entries;
    QStringList m_ticked;
    QStringList m_pool;
    QString m_dictionaryList;
    QString m_currentQuestion;
    QRandomGenerator m_random;
};

} // namespace zb
