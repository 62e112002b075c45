#pragma once

#include <QByteArray>
#include <QString>

namespace zb {

// The folder the programs keep their files in: the folder of the executable,
// unless a data folder was given on the command line.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);
// ProgramFolder() joined with a relative name.
QString ProgramFile(const QString &name);

// Creates every missing folder of the path; returns false when one cannot be made.
bool MakePath(const QString &path);

// The whole file: -1 when it cannot be opened, 0 when it is empty.
qint64 ReadFileBytes(const QString &path, QByteArray &bytes);

// The file read as code page 932 text, line ends kept; empty when missing or unreadable.
QString ReadTextFile(const QString &path);

// Writes text + CR LF in code page 932, replacing the file as a whole so that a
// crash never leaves half of it. False on any failure.
bool WriteTextFile(const QString &path, const QString &text);

} // namespace zb
