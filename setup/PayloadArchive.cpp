#include "PayloadArchive.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <unzip.h>
#include <vector>

#include "ArchiveFileFunctions.h"
#include "ArchivePaths.h"
#include "ArchiveSource.h"
#include "ArchiveTimes.h"

struct PayloadArchive {
    PayloadArchive(const void* address, DWORD length) : source(address, length) {}

    ArchiveSource source;
    unzFile zip = nullptr;
    int currentIndex = -1; // the entry the reader stands on; -1: unknown, start again from the first
    int openIndex = -1;    // the entry open for reading
    ArchiveItem cachedItem{};
    int cachedIndex = -1;
    std::string baseFolder;
};

namespace {

constexpr DWORD kCopyBlock = 0x4000;

std::atomic<DWORD> g_lastResult{ARCHIVE_OK};

DWORD Result(DWORD code) {
    g_lastResult = code;
    return code;
}

// The archive behind a handle in reading mode, or the code that refuses it.
DWORD CheckHandle(HARCHIVE handle) {
    if (!handle || !handle->archive)
        return ARCHIVE_E_ARGUMENT;
    return handle->mode == ARCHIVE_MODE_READ ? ARCHIVE_OK : ARCHIVE_E_MODE;
}

int EntryCount(PayloadArchive& archive) {
    unz_global_info info{};
    if (unzGetGlobalInfo(archive.zip, &info) != UNZ_OK)
        return 0;
    return info.number_entry > INT_MAX ? INT_MAX : static_cast<int>(info.number_entry);
}

void CloseOpenEntry(PayloadArchive& archive) {
    if (archive.openIndex < 0)
        return;
    unzCloseCurrentFile(archive.zip);
    archive.openIndex = -1;
}

// Moves the reader to entry `index`: forward from where it stands, or from the first entry when it would
// have to go back.
bool PositionOn(PayloadArchive& archive, int index) {
    if (archive.currentIndex < 0 || index < archive.currentIndex) {
        archive.currentIndex = unzGoToFirstFile(archive.zip) == UNZ_OK ? 0 : -1;
        if (archive.currentIndex < 0)
            return false;
    }
    while (archive.currentIndex < index) {
        if (unzGoToNextFile(archive.zip) != UNZ_OK) {
            archive.currentIndex = -1;
            return false;
        }
        ++archive.currentIndex;
    }
    return true;
}

// Opening the entry checks its local header against the central directory.
bool OpenEntry(PayloadArchive& archive, int index) {
    if (unzOpenCurrentFile(archive.zip) != UNZ_OK)
        return false;
    archive.openIndex = index;
    return true;
}

DWORD AttributesOf(uLong external) {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (external & (0x40000000 | FILE_ATTRIBUTE_DIRECTORY)) // a Unix folder, or a DOS one
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (external & FILE_ATTRIBUTE_ARCHIVE)
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (external & FILE_ATTRIBUTE_HIDDEN)
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (!(external & 0x800000) || (external & FILE_ATTRIBUTE_READONLY)) // Unix owner-write bit clear
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (external & FILE_ATTRIBUTE_SYSTEM)
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    return attributes;
}

// Describes entry `index` into the cache and leaves it open for reading.
DWORD ReadItem(PayloadArchive& archive, int index) {
    if (!PositionOn(archive, index))
        return ARCHIVE_E_HEADER;
    unz_file_info info{};
    ArchiveItem item{};
    // One byte short of the buffer, so that a name that fills what it is given still ends in the NUL.
    if (unzGetCurrentFileInfo(archive.zip, &info, item.name, sizeof item.name - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ARCHIVE_E_HEADER;
    item.name[sizeof item.name - 1] = '\0';
    if (!OpenEntry(archive, index))
        return ARCHIVE_E_HEADER;
    const int extraSize = unzGetLocalExtrafield(archive.zip, nullptr, 0);
    std::vector<uint8_t> extra(extraSize > 0 ? static_cast<size_t>(extraSize) : 0);
    if (extraSize < 0 || (extraSize > 0 && unzGetLocalExtrafield(archive.zip, extra.data(),
                                                                 static_cast<unsigned>(extraSize)) != extraSize)) {
        CloseOpenEntry(archive);
        return ARCHIVE_E_EXTRA;
    }
    item.index = index;
    item.attributes = AttributesOf(info.external_fa);
    SetDosTimes(static_cast<uint32_t>(info.dosDate), item);
    ApplyExtendedTimes(extra.data(), extra.size(), item);
    item.compressedSize = static_cast<DWORD>(info.compressed_size);
    item.uncompressedSize = static_cast<DWORD>(info.uncompressed_size);
    archive.cachedItem = item;
    archive.cachedIndex = index;
    return ARCHIVE_OK;
}

// Stands the reader on entry `index`, opened, with its description in the cache.
DWORD OpenItem(PayloadArchive& archive, int index) {
    if (archive.cachedIndex != index)
        return ReadItem(archive, index);
    return PositionOn(archive, index) && OpenEntry(archive, index) ? ARCHIVE_OK : ARCHIVE_E_HEADER;
}

// A time of 0 was never known (an invalid DOS stamp) and is not applied.
const FILETIME* KnownTime(const FILETIME& time) {
    return time.dwLowDateTime || time.dwHighDateTime ? &time : nullptr;
}

// Copies the open entry into `file`; false when reading or writing failed or the entry gave fewer bytes than
// it declares.
bool CopyEntry(PayloadArchive& archive, HANDLE file, DWORD expectedSize) {
    std::vector<char> block(kCopyBlock);
    uint64_t total = 0;
    for (;;) {
        const int read = unzReadCurrentFile(archive.zip, block.data(), kCopyBlock);
        if (read < 0)
            return false;
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file, block.data(), static_cast<DWORD>(read), &written, nullptr) ||
            written != static_cast<DWORD>(read))
            return false;
        total += static_cast<DWORD>(read);
    }
    return total == expectedSize;
}

DWORD ExtractOpenItem(PayloadArchive& archive, const char* outputPath) {
    const ArchiveItem& item = archive.cachedItem;
    if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (StaysBelowBase(item.name))
            MakeDirectoryPath(archive.baseFolder, item.name);
        return ARCHIVE_OK;
    }
    const std::string output = outputPath;
    const size_t slash = output.find_last_of("/\\");
    if (slash != std::string::npos && StaysBelowBase(output.substr(0, slash)))
        MakeDirectoryPath(archive.baseFolder, output.substr(0, slash));

    HANDLE file = CreateFileA(outputPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, item.attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ARCHIVE_E_CREATE;
    bool ok = CopyEntry(archive, file, item.uncompressedSize);
    // Times are what the entry says it was; a file that does not take them is still the right file.
    if (ok && GetFileType(file) == FILE_TYPE_DISK)
        SetFileTime(file, KnownTime(item.creationTime), KnownTime(item.lastAccessTime), KnownTime(item.lastWriteTime));
    CloseHandle(file);
    // The CRC is checked when a fully read entry is closed.
    if (unzCloseCurrentFile(archive.zip) != UNZ_OK)
        ok = false;
    archive.openIndex = -1;
    return ok ? ARCHIVE_OK : ARCHIVE_E_COPY;
}

} // namespace

HARCHIVE OpenPayloadArchive(const void* address, DWORD length) {
    if (!address && length) {
        Result(ARCHIVE_E_ARGUMENT);
        return nullptr;
    }
    static const char kEmpty = 0;
    auto archive = std::make_unique<PayloadArchive>(address ? address : &kEmpty, length);
    char folder[MAX_PATH];
    const DWORD folderLength = GetCurrentDirectoryA(MAX_PATH, folder);
    // Without a current directory relative paths still resolve against whatever the host's is.
    if (folderLength > 0 && folderLength < MAX_PATH - 1)
        archive->baseFolder = std::string(folder) + "\\";
    zlib_filefunc_def functions = ArchiveFileFunctions(archive->source);
    archive->zip = unzOpen2("payload", &functions);
    if (!archive->zip) {
        Result(ARCHIVE_E_HEADER);
        return nullptr;
    }
    Result(ARCHIVE_OK);
    return new ArchiveHandle{ARCHIVE_MODE_READ, archive.release()};
}

DWORD GetArchiveItem(HARCHIVE handle, int index, ArchiveItem* item) {
    if (DWORD refused = CheckHandle(handle))
        return Result(refused);
    PayloadArchive& archive = *handle->archive;
    const int count = EntryCount(archive);
    if (!item || index < -1 || index >= count)
        return Result(ARCHIVE_E_ARGUMENT);
    CloseOpenEntry(archive);
    if (index == -1) {
        *item = ArchiveItem{};
        item->index = count;
        return Result(ARCHIVE_OK);
    }
    if (index != archive.cachedIndex) {
        if (DWORD failed = ReadItem(archive, index))
            return Result(failed);
        CloseOpenEntry(archive);
    }
    std::memcpy(item, &archive.cachedItem, sizeof *item);
    return Result(ARCHIVE_OK);
}

DWORD ExtractArchiveItem(HARCHIVE handle, int index, const char* outputPath) {
    if (DWORD refused = CheckHandle(handle))
        return Result(refused);
    PayloadArchive& archive = *handle->archive;
    CloseOpenEntry(archive);
    if (!outputPath || index < 0 || index >= EntryCount(archive))
        return Result(ARCHIVE_E_ARGUMENT);
    if (DWORD failed = OpenItem(archive, index))
        return Result(failed);
    const DWORD result = ExtractOpenItem(archive, outputPath);
    CloseOpenEntry(archive);
    return Result(result);
}

DWORD ClosePayloadArchive(HARCHIVE handle) {
    if (DWORD refused = CheckHandle(handle))
        return Result(refused);
    PayloadArchive* archive = handle->archive;
    CloseOpenEntry(*archive);
    unzClose(archive->zip);
    delete archive;
    delete handle;
    return Result(ARCHIVE_OK);
}

DWORD ArchiveLastResult() {
    return g_lastResult;
}
