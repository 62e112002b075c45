#pragma once

#include "server/core/gameserver.h"
#include "server/core/roundengine.h"

namespace zb {

// What tests reach inside a room: its round engine, to step the round clock by
// hand and to set a game up, its reset, and its line handling, to feed a line
// straight in.
class RoomInternals {
  public:
    static RoundEngine &engine(GameServer &server) { return *server.m_engine; }
    // Back to an empty room, as when the last player leaves.
    static void reset(GameServer &server) { server.reset(); }
    // One line without its CR LF, as if it had arrived alone from the slot.
    static void receiveLine(GameServer &server, int slot, const QByteArray &line)
    {
        const QByteArray block = line + "\r\n";
        server.receiveLines(slot, block, {QByteArrayView(block.constData(), line.size())});
    }
};

} // namespace zb
