#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace zb {

class GameWindow;

// A room named on the command line: the link "zembrill://host:port" (as a
// browser or the desktop hands it over) or --connect host:port, and --name.
struct JoinRequest {
    QString address; // "host:port"; empty: nothing to join
    QString name;    // empty: the stored name, if any
};

// --connect HOST:PORT and --name NAME.
QList<QCommandLineOption> joinOptions();
// Takes --name NAME (or --name=NAME) out of argv and returns it for the
// parser: on X11 the application object would take it as the window's name.
QStringList takeNameOption(int &argc, char **argv);
// The join the arguments ask for; false with `error` set when they name one
// that cannot be used (then nothing is joined).
bool readJoinRequest(const QCommandLineParser &parser, JoinRequest &request, QString &error);
// Opens the connect dialog filled in, and joins at once when a name was given
// or is stored. Nothing of it is stored: the options are for this run.
void joinFromCommandLine(GameWindow &window, const JoinRequest &request);

} // namespace zb
