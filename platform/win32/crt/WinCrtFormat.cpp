#include "WinCrtFormat.h"

#include <cstring>

#include "NtFormat.h"

namespace {

// Collects the engine's pieces, so that the sink is called once per buffer rather than once per piece.
class BufferedSink final : public nt::format::Sink<char> {
public:
    explicit BufferedSink(win32::crt::FormatSink& target) : m_target(target) {}
    void Put(const char* text, size_t n) override {
        while (n > 0) {
            const size_t chunk = Room(n);
            std::memcpy(m_buffer + m_used, text, chunk);
            m_used += chunk;
            text += chunk;
            n -= chunk;
        }
    }
    void PutRepeat(char c, size_t n) override {
        while (n > 0) {
            const size_t chunk = Room(n);
            std::memset(m_buffer + m_used, c, chunk);
            m_used += chunk;
            n -= chunk;
        }
    }
    void Flush() {
        if (m_used != 0)
            m_target.Write(m_buffer, m_used);
        m_used = 0;
    }

private:
    // How much of n fits now; a full buffer is written on first.
    size_t Room(size_t n) {
        if (m_used == sizeof m_buffer)
            Flush();
        const size_t room = sizeof m_buffer - m_used;
        return n < room ? n : room;
    }

    win32::crt::FormatSink& m_target;
    char m_buffer[512];
    size_t m_used = 0;
};

} // namespace

void win32::crt::FormatTo(FormatSink& sink, const char* format, va_list args) {
    BufferedSink buffered(sink);
    nt::format::FormatTo(buffered, nt::format::Runtime::User, format, args);
    buffered.Flush();
}
