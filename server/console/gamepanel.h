#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;

namespace zb {

struct ServerSettings;

// The settings' game panel: how many players and rounds, and whether a
// word may come up twice before the pool is used up.
class GamePanel : public QFrame {
    Q_OBJECT
  public:
    explicit GamePanel(QWidget *parent = nullptr);

    // Puts the panel's values into `s`, leaving the rest of it as it is.
    void fillSettings(ServerSettings &s) const;
    void showSettings(const ServerSettings &s);

  private:
    QComboBox *m_playerMaxCombo = nullptr;
    QComboBox *m_roundMaxCombo = nullptr;
    QCheckBox *m_noRepeatBox = nullptr;
};

} // namespace zb
