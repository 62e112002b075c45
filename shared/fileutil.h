#pragma once

#include <QByteArray>
#include <QString>

namespace zb {

// Where the programs find and keep their files. Run from the build folder,
// everything lives in one program folder beside the executable. Installed
// (the shipped data folder sits at its fixed place relative to the
// executable), the shipped files are read from there and whatever the
// programs write goes into the user's data folder, since /usr is not theirs.
struct FileLocations {
    QString writable; // pictures, ban list, added dictionaries, the room list page
    QString shipped;  // read-only: the built-in dictionary, sounds, images
    QString doc;      // the installed documentation
    bool installed = false;
};
FileLocations locateFiles(const QString &binFolder, const QString &userDataFolder);

// $XDG_DATA_HOME/zembrill, one folder for all the programs of the game.
QString userDataFolder();

// The folder the programs write into and read added files from: the one given
// on the command line, else the writable folder of locateFiles().
QString programFolder();
void setProgramFolder(const QString &folder);
// programFolder() joined with a relative name.
QString programFile(const QString &name);
// A shipped read-only file. From the build folder it is the program folder's,
// so a data folder given on the command line replaces all of them. Installed,
// a copy in programFolder() wins, so that a data folder or the user may bring
// their own, else the shipped one is used.
QString dataFile(const QString &name);
// A file of the installed documentation; empty when not installed.
QString docFile(const QString &name);

// Creates every missing folder of the path; returns false when one cannot be made.
bool makePath(const QString &path);

// The whole file: -1 when it cannot be opened, 0 when it is empty.
qint64 readFileBytes(const QString &path, QByteArray &bytes);

// The file read as code page 932 text, line ends kept; empty when missing or unreadable.
QString readTextFile(const QString &path);

// Writes text + CR LF in code page 932, replacing the file as a whole so that a
// crash never leaves half of it. False on any failure.
bool writeTextFile(const QString &path, const QString &text);

} // namespace zb
