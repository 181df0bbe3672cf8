#include "WinEnvironment.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <strings.h>

#include "WinHandles.h"
#include "winerror.h"

extern char** environ;

namespace {

// The host's environment is not thread-safe to change; one lock orders this layer's readers and writers.
std::mutex& EnvironmentLock() {
    static std::mutex lock;
    return lock;
}

std::optional<std::string> Lookup(const std::string& name) {
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals && static_cast<size_t>(equals - *entry) == name.size() &&
            strncasecmp(*entry, name.c_str(), name.size()) == 0)
            return std::string(equals + 1);
    }
    return std::nullopt;
}

// The host's spelling of a variable that is already set, so that setting "path" changes "PATH".
std::string HostName(const std::string& name) {
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals && static_cast<size_t>(equals - *entry) == name.size() &&
            strncasecmp(*entry, name.c_str(), name.size()) == 0)
            return std::string(*entry, name.size());
    }
    return name;
}

} // namespace

DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size) {
    if (!source) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string out;
    {
        std::lock_guard guard(EnvironmentLock());
        for (const char* p = source; *p;) {
            const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
            if (close && close > p + 1) {
                if (auto value = Lookup(std::string(p + 1, close))) {
                    out += *value;
                    p = close + 1;
                    continue;
                }
                out.append(p, close); // the unknown reference stays; its closing '%' may open the next
                p = close;
                continue;
            }
            out += *p++;
        }
    }
    const auto needed = static_cast<DWORD>(out.size() + 1);
    if (destination && size >= needed)
        std::memcpy(destination, out.c_str(), needed);
    return needed;
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::string> value;
    {
        std::lock_guard guard(EnvironmentLock());
        value = Lookup(name);
    }
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    if (!buffer || size <= value->size())
        return static_cast<DWORD>(value->size() + 1);
    std::memcpy(buffer, value->c_str(), value->size() + 1);
    return static_cast<DWORD>(value->size());
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
    if (!name || !*name || std::strchr(name, '=')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(EnvironmentLock());
    const std::string hostName = HostName(name);
    int result = value ? setenv(hostName.c_str(), value, 1) : unsetenv(hostName.c_str());
    if (result != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}
