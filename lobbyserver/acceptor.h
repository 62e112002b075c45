#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QSocketNotifier;

namespace zb {

// Takes connections off a listening socket. When the process runs out of
// descriptors it stops watching the socket and tries again a little later: the
// waiting connection keeps the socket readable, so watching on would spin.
// (QTcpServer keeps the first error its listening socket ever had, a harmless
// "try again", and then retries a failing accept without end.)
class Acceptor : public QObject {
    Q_OBJECT
  public:
    explicit Acceptor(QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port, int backlog);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    void setRetryMs(int ms) { m_retryMs = ms; }

  signals:
    // A connected socket descriptor; the receiver owns it.
    void accepted(qintptr descriptor);
    // Accepting failed for want of resources and waits (said once until it works again).
    void paused(const QString &reason);
    void resumed();

  private:
    void onReadable();

    QTcpServer m_server; // binds and listens; its own accepting stays off
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_retry;
    int m_retryMs = 1000;
    bool m_paused = false;
};

} // namespace zb
