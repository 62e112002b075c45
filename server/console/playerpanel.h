#pragma once

#include <QGroupBox>
#include <array>

class QLabel;

namespace zb {

class ReceiveLamps;

// The eight seats: each with the player's label, a receive lamp and a Kick button.
class PlayerPanel : public QGroupBox {
    Q_OBJECT
  public:
    static constexpr int Slots = 8;
    static const QColor IdleColor;
    static const QColor DrawerColor;

    explicit PlayerPanel(QWidget *parent = nullptr);

    // The label text and its tooltip (the slot's remote address).
    void setPlayer(int slot, const QString &text, const QString &address);
    // The drawer's label is dark blue, every other grey; -1 greys them all.
    void setHighlight(int slot);
    QColor labelColor(int slot) const;

    ReceiveLamps &lamps() { return *m_lamps; }

  signals:
    void kickClicked(int slot);

  private:
    ReceiveLamps *m_lamps;
    std::array<QLabel *, Slots> m_nameLabels{};
};

} // namespace zb
