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

} // namespace zbbench
