#pragma once

#include <QString>
#include <array>

namespace zb {

// The eight rows every part of the server reads: who sits where and how
// ready they are. A slot is occupied when its name is set.
struct PlayerTable {
    static constexpr int Slots = 8;

    std::array<QString, Slots> names;
    std::array<QString, Slots> readiness;

    PlayerTable();

    static bool validSlot(int slot) { return slot >= 0 && slot < Slots; }
    bool occupied(int slot) const { return validSlot(slot) && !names[slot].isEmpty(); }
    int playerCount() const;

    // The slot lists of NMS, RDY and SCR: eight entries, each closed by ":".
    QString namesList() const;
    QString readysList() const;
    // SCR: the scores, which the round engine keeps.
    static QString scoresList(const std::array<int, Slots> &scores);

    // A departure: the name and the mark go (the score stays with the round
    // engine until the game ends or the slot is taken again).
    void clearRow(int slot);
};

} // namespace zb
