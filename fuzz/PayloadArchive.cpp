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

// Extraction and folder entries work below the current directory; keep them in a folder of the run's own.
const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/tdl-fuzz-payload-XXXXXX";
        if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0)
            std::abort();
        return pattern;
    }();
    return folder;
}

// Entries past this many are not visited: a directory can claim 65,535 of them.
constexpr int kMostEntries = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string scratch = ScratchFolder() + "/scratch.out";
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
            unlink(scratch.c_str());
            ExtractArchiveItem(archive, i, scratch.c_str());
        }
    }
    ClosePayloadArchive(archive);
    return 0;
}
