#include "server/core/serversettings.h"

#include "server/texts/messages.h"
#include "shared/settingsstore.h"
#include "shared/textclean.h"

namespace zb {

ServerSettings ServerSettings::load()
{
    ServerSettings s;
    int port = 0;
    if (SettingsStore::readInt(QStringLiteral("ServerPort"), port)) s.port = QString::number(port);
    s.roomName = SettingsStore::read(QStringLiteral("ServerRoomName"));
    s.comment = SettingsStore::read(QStringLiteral("ServerComment"));
    int index = 0;
    if (SettingsStore::readInt16(QStringLiteral("RoundMax"), index) && index >= 0 && index <= 3)
        s.roundMaxIndex = index;
    if (SettingsStore::readInt16(QStringLiteral("PlayerMax"), index) && index >= 0 && index <= 5)
        s.playerMaxIndex = index;
    int control = 0;
    if (SettingsStore::readInt16(QStringLiteral("QuestionControl"), control))
        s.questionControl = control == 1;
    int allow = 0;
    if (SettingsStore::readInt16(QStringLiteral("AllowSameAddress"), allow)) s.allowSameAddress = allow == 1;
    return s;
}

void ServerSettings::save(int fields) const
{
    if (fields & Port) SettingsStore::write(QStringLiteral("ServerPort"), QString::number(parsePort(port)));
    if (fields & RoomName) SettingsStore::write(QStringLiteral("ServerRoomName"), roomName);
    if (fields & Comment) SettingsStore::write(QStringLiteral("ServerComment"), comment);
    if (fields & RoundMax) SettingsStore::write(QStringLiteral("RoundMax"), QString::number(roundMaxIndex));
    if (fields & PlayerMax)
        SettingsStore::write(QStringLiteral("PlayerMax"), QString::number(playerMaxIndex));
    if (fields & QuestionControl)
        SettingsStore::write(QStringLiteral("QuestionControl"),
                             questionControl ? QStringLiteral("1") : QStringLiteral("0"));
    if (fields & AllowSameAddress)
        SettingsStore::write(QStringLiteral("AllowSameAddress"),
                             allowSameAddress ? QStringLiteral("1") : QStringLiteral("0"));
}

void ServerSettings::take(const ServerSettings &from, int fields)
{
    if (fields & Port) port = from.port;
    if (fields & RoomName) roomName = from.roomName;
    if (fields & Comment) comment = from.comment;
    if (fields & Password) password = from.password;
    if (fields & LobbyRegister) lobbyRegister = from.lobbyRegister;
    if (fields & RoundMax) roundMaxIndex = from.roundMaxIndex;
    if (fields & PlayerMax) playerMaxIndex = from.playerMaxIndex;
    if (fields & QuestionControl) questionControl = from.questionControl;
    if (fields & DictionaryMode) dictionaryMode = from.dictionaryMode;
    if (fields & Dictionaries) tickedDictionaries = from.tickedDictionaries;
    if (fields & AllowSameAddress) allowSameAddress = from.allowSameAddress;
}

int ServerSettings::differingStoredFields(const ServerSettings &other) const
{
    int fields = 0;
    if (port != other.port) fields |= Port;
    if (roomName != other.roomName) fields |= RoomName;
    if (comment != other.comment) fields |= Comment;
    if (roundMaxIndex != other.roundMaxIndex) fields |= RoundMax;
    if (playerMaxIndex != other.playerMaxIndex) fields |= PlayerMax;
    if (questionControl != other.questionControl) fields |= QuestionControl;
    if (allowSameAddress != other.allowSameAddress) fields |= AllowSameAddress;
    return fields;
}

QString ServerSettings::settingsLine() const
{
    return msg::settingsLine(playerMax(), roundMax(), questionControl);
}

QString fixedText(const QString &text)
{
    return removeSeparators(text);
}

quint16 parsePort(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : 0;
}

} // namespace zb
