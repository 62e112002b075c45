#pragma once

#include <QObject>

namespace zb {

class DictionaryPanel;
class QuestionBank;
class RoomLog;

// Keeps the dictionary panel and the room's dictionaries in step: the
// host's ticks and mode go to the room, the room's list and ticks show in
// the panel. A tick the file checks refuse is taken back and reported.
class DictionaryChoice : public QObject {
    Q_OBJECT
  public:
    DictionaryChoice(QuestionBank &bank, RoomLog &log, DictionaryPanel *panel, QObject *parent = nullptr);

    // Named on the command line: ticked as the host would tick them, with
    // what goes wrong in the log, as a headless run reports it.
    void tickNamed(const QStringList &entries);
    // Shows the room's list, word counts and ticks again.
    void refresh();

  signals:
    // One text per box to show the host, each naming its file.
    void refused(const QStringList &texts);

  private:
    void rescan();
    void onTicked(const QString &entry, bool ticked);

    QuestionBank &m_bank;
    RoomLog &m_log;
    DictionaryPanel *m_panel;
};

} // namespace zb
