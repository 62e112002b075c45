#pragma once

#include <QFrame>

class QLabel;

namespace zb {

class LobbyLink;
class RoundEngine;

// The strip above the seats: the turn's time left, the question as the host
// sees it, and how the lobby registration stands. A double click on the
// lobby's status asks for the next try at once.
class StatusStrip : public QFrame {
    Q_OBJECT
  public:
    explicit StatusStrip(QWidget *parent = nullptr);

    // Shows what the round and the lobby link report, from now on.
    void follow(const RoundEngine &round, const LobbyLink &lobby);

  signals:
    void lobbyRetryRequested();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void showLobbyStatus(const QString &text);

    QLabel *m_clockLabel = nullptr;
    QLabel *m_questionLabel = nullptr;
    QLabel *m_lobbyStatusLabel = nullptr;
};

} // namespace zb
