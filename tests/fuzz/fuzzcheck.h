#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken invariant must stop the run loudly in both builds: libFuzzer then
// saves the input, and the corpus replay fails its test.
#define ZB_FUZZ_CHECK(cond)                                                                                  \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond);                \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace zb::fuzz {

// Splits fuzzer input into small decisions without running past its end.
class Input {
  public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    size_t remaining() const { return m_size - m_pos; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Up to n bytes (fewer at the end).
    const char *take(size_t n, size_t &got)
    {
        got = n < remaining() ? n : remaining();
        const char *p = reinterpret_cast<const char *>(m_data + m_pos);
        m_pos += got;
        return p;
    }
    const char *rest(size_t &got) { return take(remaining(), got); }
    // The bytes up to the next LF (which is consumed) or the end.
    QByteArray line()
    {
        QByteArray raw;
        while (!empty()) {
            const char c = static_cast<char>(byte());
            if (c == '\n') break;
            raw += c;
        }
        return raw;
    }

  private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace zb::fuzz
