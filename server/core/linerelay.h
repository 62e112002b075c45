#pragma once

#include "server/core/seats.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <array>

namespace zb {

class RoomLog;
class RoundEngine;

// What a connection sends, sorted on its bytes. Every line meets the sender's
// flood budget first. Strokes and fills from whoever may draw, and only those
// a player's program sends, go to the other players as the bytes received: a
// run of them in one write per reader, the bytes shared by every reader.
// Every other line is decoded and handed to the room.
class LineRelay : public QObject {
    Q_OBJECT
  public:
    LineRelay(Seats &seats, const RoundEngine &round, RoomLog &log, QObject *parent = nullptr);

    // The slot's connection has lines waiting. They are taken in one step
    // with every other connection's, the drawer's last, so a guess that came
    // with the drawer's strokes is judged before them.
    void linesWaiting(int slot);
    // The slot's connection is gone: nothing of it waits any longer.
    void forget(int slot);
    // Something came from the slot's connection, a piece of a line perhaps.
    void arrived(int slot) { emit dataArrived(slot); }

    // The complete lines of one read: `block` holds them back to back with
    // their CR LF, each of `lines` views one without it.
    void relay(int slot, const QByteArray &block, const QList<QByteArrayView> &lines);
    // A line the room drops without a word to anybody: the first of a
    // connection is logged, the rest only counted.
    void ignore(int slot, const QString &what);

  signals:
    // A stroke passed on, as the bytes received (code page 932). Nothing is
    // copied while nobody listens.
    void strokeRelayed(const QByteArray &payload);
    // A fill passed on (a valid palette index).
    void fillRelayed(int paletteIndex);
    // A slot's connection delivered data (the console's lamp lights up).
    void dataArrived(int slot);
    // Any other line, decoded. It may close the connection.
    void lineReceived(int slot, const QString &command, const QString &payload);

  private:
    void step();
    void take(int slot);
    // Whether a stroke or fill from the slot reaches the room.
    bool mayDraw(int slot) const;
    // Whether it is one a player's program sends; counted otherwise.
    bool acceptable(int slot, bool stroke, QByteArrayView line);
    void show(bool stroke, QByteArrayView payload);

    Seats &m_seats;
    const RoundEngine &m_round;
    RoomLog &m_log;
    // Connections with lines waiting, and whether the step that takes them is due.
    std::array<bool, Seats::Slots> m_waiting{};
    bool m_stepDue = false;
};

} // namespace zb
