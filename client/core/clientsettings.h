#pragma once

#include <QString>

namespace zb {

// The player's preferences (application "ゼンブリル", section "Option").
struct ClientSettings {
    QString name;
    int port = 27064;
    int cost = 9;
    QString ipPort;
    int chatTextSize = 0;
    int autoSavePicture = 0;
    int colorChangeWidth = 0;
    int questionWindow = 0;
    QString lobbyServerAddress;
    int lobbyAutoConnect = 0;
    int lobbyAutoName = 0;
    int mousePointer = 0;
    int soundEffect = 1; // on unless the player turned it off
    void load();         // defaults, then each key on its own; bad values keep the default
    void save() const;   // every key except LobbyServerAddress
    // LobbyServerAddress alone, which the server console may set too: it is
    // written only when the player changes it in the options dialog.
    void saveLobbyServerAddress() const;

    bool operator==(const ClientSettings &other) const;
    bool operator!=(const ClientSettings &other) const { return !(*this == other); }
};

} // namespace zb
