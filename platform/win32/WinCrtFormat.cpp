#include "WinCrtFormat.h"

#include "NtFormat.h"

namespace {

class SinkAdapter final : public nt::format::Sink<char> {
public:
    explicit SinkAdapter(win32::crt::FormatSink& target) : m_target(target) {}
    void Put(const char* text, size_t n) override { m_target.Put(text, n); }
    void PutRepeat(char c, size_t n) override { m_target.PutRepeat(c, n); }

private:
    win32::crt::FormatSink& m_target;
};

} // namespace

void win32::crt::FormatTo(FormatSink& sink, const char* format, va_list args) {
    SinkAdapter adapter(sink);
    nt::format::FormatTo(adapter, nt::format::Runtime::User, format, args);
}
