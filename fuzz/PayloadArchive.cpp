// Random bytes as a set-up payload: the reader opens them, describes every entry and extracts each to one
// scratch file (folder entries make their folders, when they stay below the scratch folder). Every input must
// end in a handle or a result code: no crash, no read past the exact-size block, no leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "setup/PayloadArchive.h"

namespace {

// Extraction and folder entries work below the current directory: each input runs in a folder of the run's
// own, and the fuzzer's directory is given back afterwards (it writes its corpus relative to it).
class InScratchFolder {
public:
    InScratchFolder() {
        static const std::string folder = [] {
            std::string pattern = "/tmp/tdl-fuzz-payload-XXXXXX";
            if (!mkdtemp(pattern.data()))
                std::abort();
            return pattern;
        }();
        if (!getcwd(previous_, sizeof previous_) || chdir(folder.c_str()) != 0)
            std::abort();
    }
    ~InScratchFolder() {
        if (chdir(previous_) != 0)
            std::abort();
    }
    InScratchFolder(const InScratchFolder&) = delete;
    InScratchFolder& operator=(const InScratchFolder&) = delete;

private:
    char previous_[4096];
};

// Entries past this many are not visited: a directory can claim 65,535 of them.
constexpr int kMostEntries = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InScratchFolder scratchFolder;
    const char* const scratch = "scratch.out";
    std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(block.get(), data, size);
    HARCHIVE archive = OpenPayloadArchive(block.get(), static_cast<DWORD>(size));
    if (!archive)
        return 0;
    ArchiveItem item{};
    if (GetArchiveItem(archive, -1, &item) == ARCHIVE_OK) {
        for (int i = 0; i < item.index && i < kMostEntries; ++i) {
            ArchiveItem entry{};
            GetArchiveItem(archive, i, &entry);
            unlink(scratch);
            ExtractArchiveItem(archive, i, scratch);
        }
    }
    ClosePayloadArchive(archive);
    return 0;
}
