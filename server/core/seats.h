#pragma once

#include "server/core/playertable.h"
#include "server/core/seat.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>

namespace zb {

// The room's eight slots: the seat of each busy one, the table the lists on
// the wire are made from, the players' labels, and the ways a line reaches
// them. A joining connection hears only what is sent to it alone.
class Seats {
  public:
    static constexpr int Slots = PlayerTable::Slots;

    static bool valid(int slot) { return PlayerTable::validSlot(slot); }
    Seat *at(int slot) { return valid(slot) ? m_seats[slot].get() : nullptr; }
    const Seat *at(int slot) const { return valid(slot) ? m_seats[slot].get() : nullptr; }
    bool busy(int slot) const { return at(slot) != nullptr; }
    bool seated(int slot) const { return busy(slot) && m_seats[slot]->state == Seat::State::Seated; }
    void place(int slot, std::unique_ptr<Seat> seat) { m_seats[slot] = std::move(seat); }
    std::unique_ptr<Seat> take(int slot) { return std::move(m_seats[slot]); }
    // The lowest free slot, or -1.
    int freeSlot() const;
    // The joining connection accepted first, or -1.
    int oldestJoining() const;
    // Whether another open connection counts as the same address.
    bool sameAddressElsewhere(int slot) const;
    // Every seat, closed at once.
    void clear();

    PlayerTable &table() { return m_table; }
    const PlayerTable &table() const { return m_table; }
    int playerCount() const { return m_table.playerCount(); }
    QString name(int slot) const { return valid(slot) ? m_table.names[slot] : QString(); }
    QString mark(int slot) const { return valid(slot) ? m_table.readiness[slot] : QString(); }
    // "name Score: n", or "接続有 Name,Ver待ち" while joining.
    QString label(int slot) const { return valid(slot) ? m_labels[slot] : QString(); }
    void setJoiningLabel(int slot);
    void updateLabels(const std::array<int, Slots> &scores);
    QString addressText(int slot) const;

    // Whole encoded lines (a run of `size` bytes from `offset`) to every
    // seated player but `except`; the players share the bytes.
    void sendToSeated(const QByteArray &block, qsizetype offset, qsizetype size, int except = -1);
    void sendToSeated(const QByteArray &line, int except = -1) { sendToSeated(line, 0, line.size(), except); }
    void broadcast(const QString &command, const QString &text, int except = -1);
    // To the one connection in the slot, joining or seated.
    void sendTo(int slot, const QString &command, const QString &text);
    // What the last pass queued leaves now, in one write per reader.
    void flush();

  private:
    std::array<std::unique_ptr<Seat>, Slots> m_seats;
    PlayerTable m_table;
    std::array<QString, Slots> m_labels;
};

} // namespace zb
