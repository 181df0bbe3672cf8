// A small raw ZIP writer for the tests: it writes exactly the headers it is told, including wrong ones, so
// that broken archives are made on purpose rather than found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace setup::test {

// 12:00:00 on 17 May 2020.
constexpr uint16_t kDosDate = ((2020 - 1980) << 9) | (5 << 5) | 17;
constexpr uint16_t kDosTime = (12 << 11) | (0 << 5) | 0;
// A regular Unix file, rw-r--r--, with the DOS archive bit.
constexpr uint32_t kUnixFile = (0100644u << 16) | 0x20;

struct ZipEntry {
    std::string name;
    std::string data;
    bool deflate = true;
    uint16_t dosDate = kDosDate;
    uint16_t dosTime = kDosTime;
    uint32_t external = kUnixFile;
    std::string localExtra;
    std::optional<uint32_t> crc;           // in place of the data's CRC, in both headers
    std::optional<std::string> compressed; // in place of the compressed data
};

// Where the writer put things, for tests that break a header afterwards.
struct ZipLayout {
    std::vector<size_t> localHeaders;
    std::vector<size_t> centralHeaders;
    size_t endRecord = 0;
};

std::string BuildZip(const std::vector<ZipEntry>& entries, ZipLayout* layout = nullptr);
// Raw deflate of `data`, as a ZIP entry stores it.
std::string Deflate(const std::string& data);
// An extended-timestamp ("UT") block with the flag byte and the times given, its size field counting them
// unless `declaredSize` says otherwise.
std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times, std::optional<uint16_t> declaredSize = {});
// A block of another kind.
std::string ExtraBlock(char id0, char id1, const std::string& data);

} // namespace setup::test
