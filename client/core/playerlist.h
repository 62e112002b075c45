#pragma once

#include <QString>
#include <array>

namespace zb {

inline constexpr int SlotCount = 8;

// What the client knows of the eight seats: names, readiness marks, scores.
class PlayerList {
  public:
    // Each reads an eight-entry ":" list from the server. Entries are stored
    // one by one; false at the first missing or unreadable entry, with the
    // entries before it kept.
    bool setNames(const QString &payload);
    bool setReady(const QString &payload);
    bool setScores(const QString &payload);

    void clearNames();
    // Occupied seats.
    int playerCount() const;

    QString name(int slot) const { return valid(slot) ? m_names[slot] : QString(); }
    QString ready(int slot) const { return valid(slot) ? m_ready[slot] : QString(); }
    int score(int slot) const { return valid(slot) ? m_scores[slot] : 0; }

    static bool valid(int slot) { return slot >= 0 && slot < SlotCount; }

  private:
    std::array<QString, SlotCount> m_names;
    std::array<QString, SlotCount> m_ready;
    std::array<int, SlotCount> m_scores{};
};

// The ready label of a panel.
struct ReadyLabel {
    QString text;
    int color = 0; // colour value: red + 256 * green + 65536 * blue
};
ReadyLabel readyLabelFor(const QString &name, const QString &mark);

} // namespace zb
