#pragma once

#include <QString>
#include <array>

namespace zb {

// The eight rows every part of the server reads: who sits where, how ready
// they are and what they scored. A slot is occupied when its name is set.
struct PlayerTable {
    static constexpr int Slots = 8;

    std::array<QString, Slots> names;
    std::array<QString, Slots> readiness;
    std::array<int, Slots> scores{};

    PlayerTable();

    static bool validSlot(int slot) { return slot >= 0 && slot < Slots; }
    bool occupied(int slot) const { return validSlot(slot) && !names[slot].isEmpty(); }
    int playerCount() const;

    // The slot lists of NMS, RDY and SCR: eight entries, each closed by ":".
    QString namesList() const;
    QString readysList() const;
    QString scoresList() const;

    // A departure: the score stays until the game ends or the slot is reused.
    void clearRow(int slot);
    void clearMarksAndScores();
};

} // namespace zb
