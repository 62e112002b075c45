#include "client/core/clientsettings.h"

#include "shared/settingsstore.h"

namespace zb {

namespace {
void readText(const QString &key, QString &value)
{
    // A missing key reads as empty text, which is also the default of every text value.
    value = SettingsStore::read(key);
}

void writeInt(const QString &key, int value)
{
    SettingsStore::write(key, QString::number(value));
}
} // namespace

void ClientSettings::load()
{
    *this = ClientSettings();
    readText(QStringLiteral("Name"), name);
    SettingsStore::readInt(QStringLiteral("Port"), port);
    SettingsStore::readInt16(QStringLiteral("Cost"), cost);
    readText(QStringLiteral("IPPort"), ipPort);
    SettingsStore::readInt16(QStringLiteral("ChatTextSize2"), chatTextSize);
    SettingsStore::readInt16(QStringLiteral("AutoSavePicture"), autoSavePicture);
    SettingsStore::readInt16(QStringLiteral("ColorChangeWidth"), colorChangeWidth);
    SettingsStore::readInt16(QStringLiteral("QuestionWindow"), questionWindow);
    readText(QStringLiteral("LobbyServerAddress"), lobbyServerAddress);
    SettingsStore::readInt16(QStringLiteral("LobbyAutoConnect"), lobbyAutoConnect);
    SettingsStore::readInt16(QStringLiteral("LobbyAutoName"), lobbyAutoName);
    SettingsStore::readInt16(QStringLiteral("MousePointer"), mousePointer);
    SettingsStore::readInt16(QStringLiteral("SoundEffect"), soundEffect);
}

void ClientSettings::save() const
{
    // LobbyServerAddress has its own writer: saving the rest never overwrites it.
    SettingsStore::write(QStringLiteral("Name"), name);
    writeInt(QStringLiteral("Port"), port);
    writeInt(QStringLiteral("Cost"), cost);
    SettingsStore::write(QStringLiteral("IPPort"), ipPort);
    writeInt(QStringLiteral("ChatTextSize2"), chatTextSize);
    writeInt(QStringLiteral("AutoSavePicture"), autoSavePicture);
    writeInt(QStringLiteral("ColorChangeWidth"), colorChangeWidth);
    writeInt(QStringLiteral("QuestionWindow"), questionWindow);
    writeInt(QStringLiteral("LobbyAutoConnect"), lobbyAutoConnect);
    writeInt(QStringLiteral("LobbyAutoName"), lobbyAutoName);
    writeInt(QStringLiteral("MousePointer"), mousePointer);
    writeInt(QStringLiteral("SoundEffect"), soundEffect);
}

void ClientSettings::saveLobbyServerAddress() const
{
    SettingsStore::write(QStringLiteral("LobbyServerAddress"), lobbyServerAddress);
}

bool ClientSettings::operator==(const ClientSettings &o) const
{
    return name == o.name && port == o.port && cost == o.cost && ipPort == o.ipPort &&
           chatTextSize == o.chatTextSize && autoSavePicture == o.autoSavePicture &&
           colorChangeWidth == o.colorChangeWidth && questionWindow == o.questionWindow &&
           lobbyServerAddress == o.lobbyServerAddress && lobbyAutoConnect == o.lobbyAutoConnect &&
           lobbyAutoName == o.lobbyAutoName && mousePointer == o.mousePointer && soundEffect == o.soundEffect;
}

} // namespace zb
