// Random bytes as an HTTP server's answer: the WinHTTP stand-in reads its head and then its body to the end.
// Every input must end in a response or an error code: no crash, no read past what arrived, no hang (the
// server's end is closed, so no wait outlasts the input).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "internal/HttpWire.h"
#include "winerror.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A socket's buffer takes a few hundred kilobytes before a write would block.
    if (size > 64 * 1024) {
        return 0;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        std::abort();
    }
    for (size_t written = 0; written < size;) {
        const ssize_t n = ::write(ends[1], data + written, size - written);
        if (n <= 0) {
            std::abort();
        }
        written += static_cast<size_t>(n);
    }
    ::close(ends[1]);

    win32::internal::HttpConnection connection(ends[0]);
    win32::internal::HttpResponse response(connection, 1000, size > 0 && (data[0] & 1) != 0);
    if (response.ReadHead() != ERROR_SUCCESS) {
        return 0;
    }
    (void)response.RawHeaders().size();
    char buffer[257];
    for (;;) {
        DWORD available = 0;
        if (response.Available(available) != ERROR_SUCCESS || available == 0) {
            break;
        }
        DWORD read = 0;
        if (response.Read(buffer, sizeof buffer, read) != ERROR_SUCCESS || read == 0 || read > sizeof buffer) {
            break;
        }
    }
    return 0;
}
