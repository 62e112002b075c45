#include "clientsettings.h"

#include "settingsstore.h"

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

void ClientSettings::LoadSettings()
{
    *this = ClientSettings();
    readText(QStringLiteral("Name"), Name);
    SettingsStore::readInt(QStringLiteral("Port"), Port);
    SettingsStore::readInt16(QStringLiteral("Cost"), Cost);
    readText(QStringLiteral("IPPort"), IPPort);
    SettingsStore::readInt16(QStringLiteral("ChatTextSize2"), ChatTextSize2);
    SettingsStore::readInt16(QStringLiteral("AutoSavePicture"), AutoSavePicture);
    SettingsStore::readInt16(QStringLiteral("ColorChangeWidth"), ColorChangeWidth);
    SettingsStore::readInt16(QStringLiteral("QuestionWindow"), QuestionWindow);
    readText(QStringLiteral("LobbyServerAddress"), LobbyServerAddress);
    SettingsStore::readInt16(QStringLiteral("LobbyAutoConnect"), LobbyAutoConnect);
    SettingsStore::readInt16(QStringLiteral("LobbyAutoName"), LobbyAutoName);
    SettingsStore::readInt16(QStringLiteral("MousePointer"), MousePointer);
    SettingsStore::readInt16(QStringLiteral("SoundEffect"), SoundEffect);
}

void ClientSettings::SaveSettings() const
{
    // LobbyServerAddress is only ever set by hand in the store, so it is never written back.
    SettingsStore::write(QStringLiteral("Name"), Name);
    writeInt(QStringLiteral("Port"), Port);
    writeInt(QStringLiteral("Cost"), Cost);
    SettingsStore::write(QStringLiteral("IPPort"), IPPort);
    writeInt(QStringLiteral("ChatTextSize2"), ChatTextSize2);
    writeInt(QStringLiteral("AutoSavePicture"), AutoSavePicture);
    writeInt(QStringLiteral("ColorChangeWidth"), ColorChangeWidth);
    writeInt(QStringLiteral("QuestionWindow"), QuestionWindow);
    writeInt(QStringLiteral("LobbyAutoConnect"), LobbyAutoConnect);
    writeInt(QStringLiteral("LobbyAutoName"), LobbyAutoName);
    writeInt(QStringLiteral("MousePointer"), MousePointer);
    writeInt(QStringLiteral("SoundEffect"), SoundEffect);
}

bool ClientSettings::operator==(const ClientSettings &o) const
{
    return Name == o.Name && Port == o.Port && Cost == o.Cost && IPPort == o.IPPort &&
           ChatTextSize2 == o.ChatTextSize2 && AutoSavePicture == o.AutoSavePicture &&
           ColorChangeWidth == o.ColorChangeWidth && QuestionWindow == o.QuestionWindow &&
           LobbyServerAddress == o.LobbyServerAddress && LobbyAutoConnect == o.LobbyAutoConnect &&
           LobbyAutoName == o.LobbyAutoName && MousePointer == o.MousePointer && SoundEffect == o.SoundEffect;
}

} // namespace zb
