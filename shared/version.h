#pragma once

namespace zb {
// The protocol version every peer sends and checks; also what --version prints.
inline constexpr char ProtocolVersion[] = "1.16";
inline constexpr int DefaultGamePort = 27064;
inline constexpr int DefaultLobbyPort = 29999;
inline constexpr char DefaultLobbyAddress[] = "localhost:29999";
} // namespace zb
