#include "ProcessLocks.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WinMachineProfile.h"

namespace win32 {
namespace {

struct Folder {
    std::mutex lock;
    std::string path;
};

Folder& StateSetting() {
    static Folder folder;
    return folder;
}

std::string DefaultStateFolder() {
    if (const char* setting = std::getenv("TINDALOFT_STATE_DIR"); setting && *setting) {
        // "{pid}" gives each process a folder of its own (test processes that run side by side).
        std::string folder = setting;
        for (size_t at; (at = folder.find("{pid}")) != std::string::npos;)
            folder.replace(at, 5, std::to_string(getpid()));
        return folder;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/tindaloft";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/tindaloft";
}

bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// Object names may hold any character but "\"; the file name keeps letters, digits and a few marks and
// spells the rest as %XX.
std::string FileNameOf(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '{' || c == '}' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

} // namespace

void SetStateFolder(const std::string& hostPath) {
    Folder& f = StateSetting();
    std::lock_guard guard(f.lock);
    f.path = hostPath;
}

std::string StateFolder() {
    Folder& f = StateSetting();
    std::lock_guard guard(f.lock);
    return f.path.empty() ? DefaultStateFolder() : f.path;
}

namespace internal {

int LockAcrossProcesses(const char* kind, const std::string& name, bool& heldElsewhere) {
    heldElsewhere = false;
    const std::string folder = StateFolder() + "/objects";
    if (!MakeFolders(folder))
        return -1;
    const std::string path = folder + "/" + kind + "-" + FileNameOf(name) + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere = errno == EWOULDBLOCK;
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace internal
} // namespace win32
