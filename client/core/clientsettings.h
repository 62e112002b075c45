#pragma once

#include <QString>

namespace zb {

// The player's preferences (application "ゼンブリル", section "Option").
struct ClientSettings {
    QString Name;
    int Port = 27064;
    int Cost = 9;
    QString IPPort;
    int ChatTextSize2 = 0;
    int AutoSavePicture = 0;
    int ColorChangeWidth = 0;
    int QuestionWindow = 0;
    QString LobbyServerAddress;
    int LobbyAutoConnect = 0;
    int LobbyAutoName = 0;
    int MousePointer = 0;
    int SoundEffect = 1;       // on unless the player turned it off
    void LoadSettings();       // defaults, then each key on its own; bad values keep the default
    void SaveSettings() const; // every key except LobbyServerAddress

    bool operator==(const ClientSettings &other) const;
    bool operator!=(const ClientSettings &other) const { return !(*this == other); }
};

} // namespace zb
