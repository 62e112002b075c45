#pragma once

namespace zb {

// Raises the soft limit on open files to the hard limit, so that the lobby can
// hold as many connections as the system lets it. Returns the limit now in force,
// or -1 when it cannot be read or there is none.
long raiseFileLimit();

} // namespace zb
