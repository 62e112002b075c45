#pragma once

#include <QColor>
#include <QObject>
#include <QTimer>
#include <array>

class QLabel;
class QWidget;

namespace zb {

// Eight lamps, one per slot, that turn red when the slot's connection
// delivers data and fade back to white over thirteen ticks.
class ReceiveLamps : public QObject {
    Q_OBJECT
  public:
    static constexpr int Slots = 8;
    static constexpr int Step = 20;
    // A lamp's level is its green and blue: 0 is pure red, just lit; 255 white.
    static constexpr int Lit = 0;
    static constexpr int Faded = 255;

    // The labels are children of `labelParent`; place them with lamp().
    explicit ReceiveLamps(QWidget *labelParent, QObject *parent = nullptr);

    QLabel *lamp(int slot) const;
    int level(int slot) const;
    QColor color(int slot) const;

    // Data arrived on the slot.
    void light(int slot);
    // One fade step for every lamp.
    void onFadeTick();
    // The fade step interval; 50 ms normally, shorter in quick test runs.
    void setInterval(int ms);
    int interval() const { return m_timer.interval(); }

  private:
    void paint(int slot);

    QTimer m_timer;
    std::array<QLabel *, Slots> m_lamps{};
    std::array<int, Slots> m_level{};
};

} // namespace zb
