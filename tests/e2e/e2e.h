#pragma once

// What every abuse test needs: the real zbserver started headless on a free
// port, and well-behaved players that keep a game going and note everything
// that is not part of it.

#include "shared/lineframer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace e2e {

class ServerRunner {
  public:
    ServerRunner();
    ~ServerRunner();

    // Starts zbserver --headless with the given extra options on a free port;
    // returns once it accepts connections.
    bool start(int tickMs, const QStringList &extra = {});
    void stop();
    quint16 port() const { return m_port; }
    int tickMs() const { return m_tickMs; }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Resident and peak resident memory in KiB, from /proc; -1 when unknown.
    long rssKiB() const { return statusField("VmRSS"); }
    long peakKiB() const { return statusField("VmHWM"); }
    QString log() const;
    QString dataDir() const { return m_dir.path(); }

  private:
    long statusField(const char *name) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    int m_tickMs = 1000;
};

// A loopback address of its own for each connection (the server seats one per address).
QHostAddress loopback(int n);

// A player that joins, readies, draws a known stroke when it is its turn and
// guesses the word when it is not. Everything it receives is checked against
// what a seated player may see.
class Bot : public QObject {
    Q_OBJECT
  public:
    static QString strokePayload();

    Bot(const QString &name, int address, quint16 port, QObject *parent = nullptr);

    void setTickMs(int ms) { m_tickMs = ms; }
    void setGuessing(bool on) { m_guessing = on; }
    void send(const QString &command, const QString &payload);
    void ready() { send(QStringLiteral("RDY"), QStringLiteral("OK")); }
    void sendRaw(const QByteArray &bytes) { m_socket.write(bytes); }
    void abort() { m_socket.abort(); }

    QString name() const { return m_name; }
    int slot() const { return m_slot; }
    bool seated() const { return m_slot >= 0 && m_names.contains(m_name); }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool lostConnection() const { return m_lost; }
    QStringList names() const { return m_names; }
    QStringList scores() const { return m_scores; }
    QString drawerWord() const { return m_word; }
    int drawer() const { return m_drawer; }
    int turns() const { return m_turns; }
    int hits() const { return m_hits; }
    int goodStrokes() const { return m_goodStrokes; }
    qint64 bytesReceived() const { return m_bytes; }
    // Lines a seated player should never see: unknown commands, malformed
    // lists, replies meant for somebody else.
    QStringList foreign() const { return m_foreign; }
    QList<zb::Line> lines() const { return m_lines; }
    int count(const QString &command) const;
    bool sawSystemText(const QString &text) const;

  signals:
    void lineReceived(const QString &command, const QString &payload);

  private:
    void onReadyRead();
    void onLine(const zb::Line &line);

    QString m_name;
    QTcpSocket m_socket;
    zb::LineFramer m_framer;
    int m_tickMs = 50;
    bool m_guessing = true;
    bool m_lost = false;
    int m_slot = -1;
    int m_drawer = -1;
    QString m_word;
    int m_turns = 0;
    int m_hits = 0;
    int m_goodStrokes = 0;
    qint64 m_bytes = 0;
    QStringList m_names;
    QStringList m_scores;
    QStringList m_foreign;
    QList<zb::Line> m_lines;
};

// Three bots seated and playing (all ready, the first turn begun).
class Table {
  public:
    explicit Table(ServerRunner &server, int firstAddress = 2);
    ~Table();
    bool seatAndStart();
    Bot &bot(int i) { return *m_bots[i]; }
    int size() const { return static_cast<int>(m_bots.size()); }
    int totalHits() const;
    // Why the bots are not fine, or empty when all are connected and saw
    // nothing but the game.
    QString trouble() const;

  private:
    QList<Bot *> m_bots;
};

} // namespace e2e
