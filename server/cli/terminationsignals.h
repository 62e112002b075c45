#pragma once

namespace zb {

// SIGINT and SIGTERM end the event loop rather than the process, so that the
// way out removes the port mapping; a second signal ends the process at once.
void quitOnTerminationSignals();

} // namespace zb
