#pragma once

#include <QString>
#include <QStringList>

namespace zb {

// The longest player name: what the connect dialog lets a player type.
constexpr int MaxNameLength = 12;
// The longest chat line: what the chat box lets a player type.
constexpr int MaxChatLength = 100;

// True for U+0000..U+001F and U+007F, the characters that can break a line of
// the protocols or a line of a log.
bool isControlChar(QChar c);

// The text without any control character.
QString removeControlChars(const QString &text);

// The text with every control character (C0, DEL and C1) written as "\xHH", for
// a terminal that would otherwise act on escape sequences.
QString escapeControlChars(const QString &text);

// The most characters of text from the network that one log line carries.
constexpr int MaxLoggedText = 200;

// Text from the network as a log line may hold it: control characters escaped
// as escapeControlChars does, then cut to MaxLoggedText characters with a mark
// that says how much was left out.
QString loggedText(const QString &text);

// A field as it may travel in the ":"-separated lists and a status record:
// control characters and the separators ":", ";", ",", "=", "&" removed, blanks
// trimmed. Names, room names and comments all go through here.
QString removeSeparators(const QString &text);

// The name a player types, as the lobby and the game server receive it: no
// separators, and never the token that marks game servers in the lobby.
QString cleanPlayerName(const QString &name);

// A player name as it may travel in the ":"-separated lists and the lobby's
// status record: control characters and the separators ":", ";", ",", "=",
// "&" removed, blanks trimmed, cut to MaxNameLength. Empty means unusable.
QString cleanName(const QString &name);

// The name itself when nobody in taken has it, otherwise the first free
// "name(2)", "name(3)", …, with the name cut so that the result still fits
// MaxNameLength.
QString uniqueName(const QString &name, const QStringList &taken);

} // namespace zb
