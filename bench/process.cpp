#include "bench/process.h"

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zbbench {

namespace {

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

} // namespace

bool ServerProcess::start(std::vector<std::string> argv, const std::string &logFile,
                          const std::vector<std::string> &env)
{
    std::mt19937 rng(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int port = 20000 + static_cast<int>(rng() % 30000);
        if (accepts(port)) continue;
        std::vector<std::string> args = argv;
        for (std::string &a : args) {
            const size_t at = a.find("{port}");
            if (at != std::string::npos) a.replace(at, 6, std::to_string(port));
        }
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(out, 1);
            dup2(out, 2);
            // Not the tool's sockets nor run_all.sh's lock.
            closefrom(3);
            for (const std::string &e : env)
                putenv(const_cast<char *>(e.c_str()));
            std::vector<char *> cargv;
            for (std::string &a : args)
                cargv.push_back(a.data());
            cargv.push_back(nullptr);
            execv(cargv[0], cargv.data());
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) break;
            if (accepts(port)) {
                m_pid = pid;
                m_port = port;
                // The probe connection must leave the server's slot before players arrive.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                return true;
            }
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return false;
}

void ServerProcess::stop()
{
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

long statusKiB(pid_t pid, const char *field)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (f >> key) {
        if (key == std::string(field) + ":") {
            long v = -1;
            f >> v;
            return v;
        }
        std::getline(f, key);
    }
    return -1;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(f, stat);
    // The name in parentheses may hold spaces; the fields after it do not.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return NAN;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // utime and stime are fields 14 and 15; the state (field 3) comes first here.
    for (int i = 3; i < 14 && fields >> field; ++i) {
    }
    long long user = -1;
    long long system = -1;
    if (!(fields >> user >> system)) return NAN;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long pssKiB(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    while (f >> key) {
        if (key == "Pss:") {
            long v = -1;
            f >> v;
            return v;
        }
        std::getline(f, key);
    }
    return -1;
}

} // namespace zbbench
