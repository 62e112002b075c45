#pragma once

#include <QFrame>

class QLabel;

namespace zb {

struct ServerSettings;

// Takes the settings area's place while the server runs: what the room was
// started with, and the button that opens the settings again.
class RunningPanel : public QFrame {
    Q_OBJECT
  public:
    explicit RunningPanel(QWidget *parent = nullptr);

    void showSettings(const ServerSettings &s, const QString &dictionaryList);
    void showPlayerCount(int seated, int seats);

  signals:
    // The host wants the settings again ("辞書・設定の変更").
    void changeRequested();

  private:
    QLabel *m_players;
    QLabel *m_port;
    QLabel *m_roomName;
    QLabel *m_comment;
    QLabel *m_password;
    QLabel *m_lobby;
    QLabel *m_game;
    QLabel *m_dictionaries;
};

} // namespace zb
