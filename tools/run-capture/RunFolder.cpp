#include "tools/run-capture/RunFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tdl::session {

namespace fs = std::filesystem;

RunFolder::RunFolder(fs::path folder) : m_folder(std::move(folder)) {}

RunFolder::~RunFolder() {
    if (m_lock >= 0)
        ::close(m_lock);
}

bool RunFolder::Claim(std::string& error) {
    std::error_code made;
    fs::create_directories(State(), made);
    if (made) {
        error = "cannot make " + State().string() + ": " + made.message();
        return false;
    }
    // The lock lies on the state folder itself: the program's named objects keep files of their own inside it.
    m_lock = ::open(State().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "another run is using the state folder " + State().string()
                                     : "cannot lock " + State().string() + ": " + std::strerror(errno);
        return false;
    }
    Discard();
    fs::create_directory(m_folder / kUnfinished, made);
    if (made) {
        error = "cannot make " + (m_folder / kUnfinished).string() + ": " + made.message();
        return false;
    }
    return true;
}

bool RunFolder::HoldsEarlierFiles() const {
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, ignored)) {
        const fs::path name = entry.path().filename();
        if (name != "state" && name != kUnfinished)
            return true;
    }
    return false;
}

bool RunFolder::Publish(std::string& error) {
    std::vector<fs::path> files;
    std::error_code failed;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder / kUnfinished, failed))
        files.push_back(entry.path());
    if (failed) {
        error = "cannot read " + (m_folder / kUnfinished).string() + ": " + failed.message();
        return false;
    }
    for (const fs::path& file : files) {
        fs::rename(file, m_folder / file.filename(), failed);
        if (failed) {
            error = "cannot move " + file.string() + " in place: " + failed.message();
            return false;
        }
    }
    Discard();
    return true;
}

void RunFolder::Discard() {
    std::error_code ignored;
    fs::remove_all(m_folder / kUnfinished, ignored);
}

} // namespace tdl::session
