#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

namespace zb {

class GameServer;

// The operator's commands on standard input, one per line: "players",
// "kick N", "ban N", "say TEXT", "help". Answers go to standard output,
// mistakes to standard error. End of input leaves the server running.
class OperatorInput : public QObject {
  public:
    // Longest command line run; a longer one is dropped whole.
    static constexpr qsizetype MaxLineBytes = 4096;

    explicit OperatorInput(GameServer &server, int fd = 0);

  private:
    void readInput();
    void run(const QString &line);
    void reportTooLong();
    void listPlayers();

    GameServer &m_server;
    int m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
    bool m_discarding = false;
};

} // namespace zb
