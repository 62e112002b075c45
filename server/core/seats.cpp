#include "server/core/seats.h"

#include "server/texts/messages.h"
#include "shared/linesocket.h"

namespace zb {

int Seats::freeSlot() const
{
    for (int i = 0; i < Slots; ++i) {
        if (!m_seats[i]) return i;
    }
    return -1;
}

int Seats::oldestJoining() const
{
    int oldest = -1;
    for (int i = 0; i < Slots; ++i) {
        if (m_seats[i] && m_seats[i]->state == Seat::State::Joining &&
            (oldest < 0 || m_seats[i]->order() < m_seats[oldest]->order()))
            oldest = i;
    }
    return oldest;
}

bool Seats::sameAddressElsewhere(int slot) const
{
    const Seat *seat = at(slot);
    for (int i = 0; i < Slots; ++i) {
        if (i != slot && seat && m_seats[i] && m_seats[i]->isOpen() && m_seats[i]->key() == seat->key())
            return true;
    }
    return false;
}

void Seats::clear()
{
    for (std::unique_ptr<Seat> &seat : m_seats)
        seat.reset();
}

void Seats::setJoiningLabel(int slot)
{
    m_labels[slot] = msg::JoiningLabel;
}

void Seats::updateLabels(const std::array<int, Slots> &scores)
{
    for (int i = 0; i < Slots; ++i)
        m_labels[i] = m_table.names[i] + QStringLiteral(" Score: ") + QString::number(scores[i]);
}

QString Seats::addressText(int slot) const
{
    const Seat *seat = at(slot);
    return seat ? seat->addressText() : QString();
}

void Seats::sendToSeated(const QByteArray &block, qsizetype offset, qsizetype size, int except)
{
    for (int i = 0; i < Slots; ++i) {
        if (i != except && seated(i) && m_seats[i]->isOpen())
            m_seats[i]->transport()->send(block, offset, size);
    }
}

void Seats::broadcast(const QString &command, const QString &text, int except)
{
    sendToSeated(LineSocket::encodeLine(command, text), except);
}

void Seats::sendTo(int slot, const QString &command, const QString &text)
{
    Seat *seat = at(slot);
    if (seat && seat->isOpen()) seat->transport()->send(LineSocket::encodeLine(command, text));
}

void Seats::flush()
{
    for (const std::unique_ptr<Seat> &seat : m_seats) {
        if (seat && seat->isOpen()) seat->transport()->flush();
    }
}

} // namespace zb
