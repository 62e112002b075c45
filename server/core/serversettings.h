#pragma once

#include <QString>
#include <QStringList>

namespace zb {

// What the console's settings panels hold. The list indexes are those of the
// two combo boxes: rounds = index + 2 (2 to 5), seats = index + 3 (3 to 8).
struct ServerSettings {
    QString port = QStringLiteral("27064");
    QString password; // never stored
    QString roomName;
    QString comment;
    int roundMaxIndex = 1;
    int playerMaxIndex = 5;
    bool questionControl = false;
    int gameType = 0; // 0 "ゼンブリル", 1 "おぼろげ大会": only reported to the lobby
    bool lobbyRegister = true;
    int dictionaryMode = 0; // QuestionBank::Mode
    QStringList tickedDictionaries;
    // Off: one seated connection per address (two players behind one router
    // need it on).
    bool allowSameAddress = false;

    // One bit per value, for the values a command line gives and the keys
    // that are saved.
    enum Field {
        Port = 1 << 0,
        RoomName = 1 << 1,
        Comment = 1 << 2,
        Password = 1 << 3,
        LobbyRegister = 1 << 4,
        RoundMax = 1 << 5,
        PlayerMax = 1 << 6,
        QuestionControl = 1 << 7,
        DictionaryMode = 1 << 8,
        Dictionaries = 1 << 9,
        AllowSameAddress = 1 << 10,
    };
    // Every press of the start button applies the game fields; the others
    // only the first.
    static constexpr int GameFields = RoundMax | PlayerMax | QuestionControl | DictionaryMode | Dictionaries;
    static constexpr int AllFields =
        GameFields | Port | RoomName | Comment | Password | LobbyRegister | AllowSameAddress;
    static constexpr int StoredFields =
        Port | RoomName | Comment | RoundMax | PlayerMax | QuestionControl | AllowSameAddress;

    int roundMax() const { return roundMaxIndex + 2; }
    int playerMax() const { return playerMaxIndex + 3; }

    // The box lengths of the console: port 8, room name 12, comment 50, password 8.
    static constexpr int PortLength = 8;
    static constexpr int RoomNameLength = 12;
    static constexpr int CommentLength = 50;
    static constexpr int PasswordLength = 8;

    // Stored values over the defaults; a missing, unreadable or out-of-range
    // value keeps its default.
    static ServerSettings load();
    // Writes the keys of the given fields.
    void save(int fields = StoredFields) const;

    // Copies the given fields from `from`.
    void take(const ServerSettings &from, int fields);
    // The stored fields whose values differ from `other`'s.
    int differingStoredFields(const ServerSettings &other) const;

    // "プレイヤー上限:8人 ラウンド数:3回　乱数制御:OFF"
    QString settingsLine() const;
};

// Removes the separators of the lobby status record (":", ";", ",", "=", "&")
// and line breaks, then trims surrounding spaces.
QString fixedText(const QString &text);

// The port text as a listening port; 0 when it is not one.
quint16 parsePort(const QString &text);

} // namespace zb
