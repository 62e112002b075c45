#pragma once

// Starting and watching the servers under test.

#include <string>
#include <sys/types.h>
#include <vector>

namespace zbbench {

class ServerProcess {
  public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;
    ~ServerProcess() { stop(); }

    // Starts argv (with "{port}" replaced) on a free port and waits until it
    // accepts connections; false after a few attempts. Output goes to logFile.
    bool start(std::vector<std::string> argv, const std::string &logFile,
               const std::vector<std::string> &env);
    void stop();
    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }

  private:
    pid_t m_pid = -1;
    int m_port = 0;
};

// VmRSS / VmHWM of a process in KiB; -1 when unreadable.
long statusKiB(pid_t pid, const char *field);
// CPU seconds the process has spent, user and system, from /proc/PID/stat
// (in clock ticks, usually 10 ms); NaN when unreadable.
double cpuSeconds(pid_t pid);
// Proportional set size in KiB from /proc/PID/smaps_rollup: shared pages
// divided among the processes that map them; -1 when unreadable.
long pssKiB(pid_t pid);

} // namespace zbbench
