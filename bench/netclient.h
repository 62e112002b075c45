#pragma once

// A tiny non-blocking line client for the load generator: one socket bound to
// its own loopback address, a receive buffer split at CR LF, and an output
// queue. Plain POSIX so that the generator costs as little as possible and
// measures the server, not itself.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zbbench {

using Clock = std::chrono::steady_clock;

class NetClient {
  public:
    using LineHandler = std::function<void(const char *line, size_t size, Clock::time_point at)>;

    NetClient() = default;
    NetClient(const NetClient &) = delete;
    NetClient &operator=(const NetClient &) = delete;
    ~NetClient();

    // Blocking connect from bindAddress (dotted) to 127.0.0.1:port; false on failure.
    bool connectTo(const char *bindAddress, int port);
    void close();
    bool connected() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    void queue(const std::string &bytes) { m_out += bytes; }
    bool hasOutput() const { return m_outPos < m_out.size(); }
    // Writes what the socket takes; returns true when the queue is empty afterwards.
    bool flush();
    // When the last queued byte went into the socket.
    Clock::time_point drainedAt() const { return m_drainedAt; }
    // Reads what has arrived and hands every complete line to the handler.
    // Returns false when the peer closed. Under a level-triggered epoll one
    // read is enough (drain = false): what is left is reported again, and
    // the read that would only say EAGAIN is saved.
    bool readAvailable(bool drain = true);
    void setHandler(LineHandler handler) { m_handler = std::move(handler); }
    uint64_t bytesRead() const { return m_bytesRead; }

  private:
    int m_fd = -1;
    std::string m_out;
    size_t m_outPos = 0;
    std::string m_in;
    size_t m_scan = 0;
    uint64_t m_bytesRead = 0;
    Clock::time_point m_drainedAt{};
    LineHandler m_handler;
};

// Waits on every client at once: reads all, writes those with output.
// Returns false when the deadline passed first.
bool pump(std::vector<NetClient *> &clients, const std::function<bool()> &done, Clock::duration timeout);

} // namespace zbbench
