#pragma once

#include <QByteArrayView>
#include <QLatin1String>

// The commands on the wire: three capital letters, then the payload, then CR LF.
// Every program names them through here, so that a command is spelled once.
namespace zb::cmd {

// Game protocol: client to server.
inline constexpr QLatin1String Password("PSW");
inline constexpr QLatin1String Version("VER");
inline constexpr QLatin1String Name("NAM");
inline constexpr QLatin1String Ready("RDY");

// Game protocol: both ways (the server relays them).
inline constexpr QLatin1String Chat("MSG");
inline constexpr QLatin1String Stroke("STK");
inline constexpr QLatin1String Fill("CLS");

// Game protocol: server to client.
inline constexpr QLatin1String System("SYM");
inline constexpr QLatin1String Names("NMS");
inline constexpr QLatin1String Scores("SCR");
inline constexpr QLatin1String SlotNumber("NUM");
inline constexpr QLatin1String Question("QST");
inline constexpr QLatin1String Correct("QOK");
inline constexpr QLatin1String WrongVersion("NST");
inline constexpr QLatin1String WrongPassword("NSP");
inline constexpr QLatin1String GameRunning("RST");
inline constexpr QLatin1String GameOver("RET");
inline constexpr QLatin1String Sound("SND");

// Lobby protocol (Chat, System and Names as above).
inline constexpr QLatin1String Status("STS");
inline constexpr QLatin1String Check("CHK");
inline constexpr QLatin1String PageHead("HDR");
inline constexpr QLatin1String PageFoot("FTR");
inline constexpr QLatin1String RoomList("SRV");

// A command as raw bytes, for code that looks at lines before decoding them.
constexpr QByteArrayView bytes(QLatin1String command)
{
    return QByteArrayView(command.data(), command.size());
}

} // namespace zb::cmd
