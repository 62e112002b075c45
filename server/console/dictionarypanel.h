#pragma once

#include <QGroupBox>

class QButtonGroup;
class QListWidget;
class QListWidgetItem;

namespace zb {

// The settings' dictionary panel: how the built-in and added dictionaries
// are combined, and the list of added dictionaries to tick.
class DictionaryPanel : public QGroupBox {
    Q_OBJECT
  public:
    // The list item's word count.
    static constexpr int WordsRole = Qt::UserRole + 1;

    explicit DictionaryPanel(QWidget *parent = nullptr);

    // The chosen combination (QuestionBank::Mode); out of range leaves the choice as it is.
    int mode() const;
    void setMode(int mode);

    // Refills the dictionary list; ticks are lost.
    void setEntries(const QStringList &entries);
    void setEntryTicked(const QString &entry, bool ticked);
    // The word count shown beside an entry, and how its file is read.
    void setEntryWords(const QString &entry, int words, bool utf8);
    QStringList tickedEntries() const;

  signals:
    void rescanRequested();
    void modeChosen(int mode);
    // The host ticked or unticked an added dictionary.
    void entryToggled(const QString &entry, bool ticked);

  private:
    void onEntryChanged(QListWidgetItem *item);

    QButtonGroup *m_modeGroup = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace zb
