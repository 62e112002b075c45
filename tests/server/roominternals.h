#pragma once

#include "gameserver.h"
#include "roundengine.h"

namespace zb {

// What tests reach inside a room: its round engine, to step the round clock by
// hand and to set a game up.
class RoomInternals {
  public:
    static RoundEngine &engine(GameServer &server) { return *server.m_engine; }
};

} // namespace zb
