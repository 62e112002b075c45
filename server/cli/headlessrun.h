#pragma once

#include <QString>

namespace zb {

class ServerCommandLine;

// The server without a window: starts the room with the stored settings and
// the command line's options, writes the log to standard output and takes
// operator commands from standard input until the process is ended.
// Returns the exit code.
int runHeadless(const ServerCommandLine &commandLine);

// One log line of the server on standard output.
void printLogLine(const QString &line);

} // namespace zb
