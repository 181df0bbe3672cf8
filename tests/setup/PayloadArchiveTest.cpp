#include "setup/PayloadArchive.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "ZipWriter.h"
#include "tests/platform/win32/Win32TestSupport.h"

namespace {

using setup::test::BuildZip;
using setup::test::ExtraBlock;
using setup::test::UtBlock;
using setup::test::ZipEntry;
using setup::test::ZipLayout;
namespace fs = std::filesystem;

constexpr int64_t kDosUnixTime = 1589716800; // 2020-05-17 12:00:00 UTC, the writer's DOS stamp
constexpr int32_t kTime1 = 1000000000, kTime2 = 1200000000, kTime3 = 1400000000;

int64_t UnixTimeOf(const FILETIME& time) {
    const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return ticks == 0 ? 0 : static_cast<int64_t>(ticks / 10000000) - 11644473600;
}

std::string Text(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the payload\n";
    text.resize(size);
    return text;
}

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The base folder of an archive is the current directory when it is opened: every test works in a folder of
// its own.
class PayloadArchiveTest : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_.Path());
    }
    void TearDown() override { fs::current_path(previous_); }

    HARCHIVE Open(const std::string& zip) { return OpenPayloadArchive(zip.data(), static_cast<DWORD>(zip.size())); }
    fs::path Here(const std::string& name) const { return fs::path(folder_.Path()) / name; }

    win32::test::TempFolder folder_;
    fs::path previous_;
};

TEST_F(PayloadArchiveTest, WhatIsNotAnArchiveGivesNoHandle) {
    const std::string valid = BuildZip({{.name = "a", .data = "x"}});
    // The end record alone points at a directory before the block's start.
    const std::string blocks[] = {"", "garbage, not an archive at all", valid.substr(valid.size() - 22),
                                  std::string(22, '\0')};
    for (const std::string& block : blocks) {
        EXPECT_EQ(Open(block), nullptr) << block.size();
        EXPECT_EQ(ArchiveLastResult(), ARCHIVE_E_HEADER);
    }
    EXPECT_EQ(OpenPayloadArchive(nullptr, 10), nullptr);
    EXPECT_EQ(ArchiveLastResult(), ARCHIVE_E_ARGUMENT);
}

TEST_F(PayloadArchiveTest, DescribesEveryEntry) {
    const std::string stored = Text(1000);
    const std::string zip = BuildZip({
        {.name = "a.txt", .data = "hello"},
        {.name = "ro.bin", .data = "r", .external = 0100444u << 16},
        {.name = "dosflags", .data = "d", .external = 0x27},
        {.name = "dir/", .data = "", .deflate = false, .external = (040755u << 16) | 0x10},
        {.name = "unixdir", .data = "", .deflate = false, .external = 040755u << 16},
        {.name = "stored.dat", .data = stored, .deflate = false},
        {.name = std::string(300, 'n'), .data = "long"},
    });
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ArchiveLastResult(), ARCHIVE_OK);

    ArchiveItem item;
    std::memset(&item, 0x5A, sizeof item);
    ASSERT_EQ(GetArchiveItem(archive, -1, &item), ARCHIVE_OK);
    EXPECT_EQ(item.index, 7);
    EXPECT_STREQ(item.name, "");
    EXPECT_EQ(item.attributes | item.compressedSize | item.uncompressedSize | item.lastWriteTime.dwLowDateTime, 0u);

    struct Expected {
        std::string name;
        DWORD attributes;
        DWORD compressed;
        DWORD uncompressed;
    };
    const Expected expected[] = {
        {"a.txt", 0xA0, static_cast<DWORD>(setup::test::Deflate("hello").size()), 5},
        {"ro.bin", 0x81, static_cast<DWORD>(setup::test::Deflate("r").size()), 1},
        {"dosflags", 0xA7, static_cast<DWORD>(setup::test::Deflate("d").size()), 1},
        {"dir/", 0x90, 0, 0},
        {"unixdir", 0x90, 0, 0},
        {"stored.dat", 0xA0, 1000, 1000},
        {std::string(259, 'n'), 0xA0, static_cast<DWORD>(setup::test::Deflate("long").size()), 4},
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(GetArchiveItem(archive, i, &item), ARCHIVE_OK);
        EXPECT_EQ(item.index, i);
        EXPECT_EQ(std::string(item.name), expected[i].name) << "a name longer than the buffer is cut and ended";
        EXPECT_EQ(item.attributes, expected[i].attributes);
        EXPECT_EQ(item.compressedSize, expected[i].compressed);
        EXPECT_EQ(item.uncompressedSize, expected[i].uncompressed);
        EXPECT_EQ(UnixTimeOf(item.lastWriteTime), kDosUnixTime);
        EXPECT_EQ(UnixTimeOf(item.lastAccessTime), kDosUnixTime);
        EXPECT_EQ(UnixTimeOf(item.creationTime), kDosUnixTime);
    }
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
}

TEST_F(PayloadArchiveTest, ExtendedTimesAreReadOnlyInsideTheirBlockAndField) {
    const int64_t D = kDosUnixTime;
    struct Case {
        const char* what;
        std::string extra;
        uint16_t dosDate;
        int64_t write, access, creation;
    };
    const uint16_t badDate = (40 << 9) | (0 << 5) | 17; // month 0
    const Case cases[] = {
        {"write only", UtBlock(1, {kTime1}), setup::test::kDosDate, kTime1, D, D},
        {"all three in flag order", UtBlock(7, {kTime1, kTime2, kTime3}), setup::test::kDosDate, kTime1, kTime2,
         kTime3},
        {"access and creation", UtBlock(6, {kTime2, kTime3}), setup::test::kDosDate, D, kTime2, kTime3},
        {"another block only", ExtraBlock('x', 'y', "abcdefgh"), setup::test::kDosDate, D, D, D},
        {"after another block", ExtraBlock('x', 'y', "ab") + UtBlock(1, {kTime1}), setup::test::kDosDate, kTime1, D, D},
        {"block shorter than its flags", UtBlock(7, {kTime1, kTime2, kTime3}, 5), setup::test::kDosDate, kTime1, D, D},
        {"block past the field's end", UtBlock(3, {kTime1}, 9), setup::test::kDosDate, kTime1, D, D},
        {"first block runs past the field",
         ExtraBlock('x', 'y', "ab").substr(0, 2) +
             "\xFF\x00"
             "ab" +
             UtBlock(1, {kTime1}),
         setup::test::kDosDate, D, D, D},
        {"a time before 1970", UtBlock(3, {-5, kTime2}), setup::test::kDosDate, D, kTime2, D},
        {"four bytes are not walked", std::string("UT\0\0", 4), setup::test::kDosDate, D, D, D},
        {"invalid DOS date", "", badDate, 0, 0, 0},
        {"invalid DOS date with UT", UtBlock(1, {kTime1}), badDate, kTime1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string zip = BuildZip({{.name = "t", .data = "time", .dosDate = c.dosDate, .localExtra = c.extra}});
        HARCHIVE archive = Open(zip);
        ASSERT_NE(archive, nullptr);
        ArchiveItem item{};
        ASSERT_EQ(GetArchiveItem(archive, 0, &item), ARCHIVE_OK);
        EXPECT_EQ(UnixTimeOf(item.lastWriteTime), c.write);
        EXPECT_EQ(UnixTimeOf(item.lastAccessTime), c.access);
        EXPECT_EQ(UnixTimeOf(item.creationTime), c.creation);
        ClosePayloadArchive(archive);
    }
}

TEST_F(PayloadArchiveTest, AskingAgainCopiesTheCachedItemAndGoingBackStartsOver) {
    std::string zip =
        BuildZip({{.name = "zero", .data = "0"}, {.name = "one", .data = "1"}, {.name = "two", .data = "2"}});
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    ArchiveItem item{};
    ASSERT_EQ(GetArchiveItem(archive, 2, &item), ARCHIVE_OK);
    EXPECT_STREQ(item.name, "two");
    ASSERT_EQ(GetArchiveItem(archive, 0, &item), ARCHIVE_OK);
    EXPECT_STREQ(item.name, "zero");
    ASSERT_EQ(GetArchiveItem(archive, 1, &item), ARCHIVE_OK);
    EXPECT_STREQ(item.name, "one");

    // The archive is read in place: with its bytes gone only the cached description can still be given.
    std::fill(zip.begin(), zip.end(), '\0');
    ArchiveItem again{};
    ASSERT_EQ(GetArchiveItem(archive, 1, &again), ARCHIVE_OK);
    EXPECT_EQ(std::memcmp(&again, &item, sizeof item), 0);
    EXPECT_NE(GetArchiveItem(archive, 0, &again), ARCHIVE_OK);
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
}

TEST_F(PayloadArchiveTest, ExtractsByteIdenticalFilesWithTheirTimes) {
    const std::string big = Text(100000); // several 16 KB blocks
    const std::string zip = BuildZip({
        {.name = "big.txt", .data = big, .localExtra = UtBlock(3, {kTime1, kTime2})},
        {.name = "stored.bin", .data = std::string("\0\1\2\3", 4), .deflate = false},
        {.name = "empty", .data = ""},
    });
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ExtractArchiveItem(archive, 0, "big.out"), ARCHIVE_OK);
    EXPECT_EQ(ExtractArchiveItem(archive, 1, folder_.WinPath("stored.out").c_str()), ARCHIVE_OK);
    EXPECT_EQ(ExtractArchiveItem(archive, 2, "sub\\deeper\\empty.out"), ARCHIVE_OK) << "its folders are made";
    // Extracting the same entry again replaces the file; the cached description serves the second time.
    EXPECT_EQ(ExtractArchiveItem(archive, 0, "big.out"), ARCHIVE_OK);
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);

    struct stat st;
    ASSERT_EQ(stat(Here("big.out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, kTime1);
    EXPECT_EQ(st.st_atim.tv_sec, kTime2);
    ASSERT_EQ(stat(Here("stored.out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, kDosUnixTime);
    // Read last: reading moves the access time.
    EXPECT_EQ(ReadHostFile(Here("big.out")), big);
    EXPECT_EQ(ReadHostFile(Here("stored.out")), std::string("\0\1\2\3", 4));
    EXPECT_TRUE(fs::is_regular_file(Here("sub/deeper/empty.out")));
}

TEST_F(PayloadArchiveTest, AnInvalidDosDateIsNotApplied) {
    const std::string zip = BuildZip({{.name = "t", .data = "x", .dosDate = (40 << 9) | (13 << 5) | 1}});
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ExtractArchiveItem(archive, 0, "t.out"), ARCHIVE_OK);
    ClosePayloadArchive(archive);
    struct stat st;
    ASSERT_EQ(stat(Here("t.out").c_str(), &st), 0);
    EXPECT_GT(st.st_mtim.tv_sec, kDosUnixTime) << "the file keeps the time it was written";
}

TEST_F(PayloadArchiveTest, FailuresGiveTheirCodes) {
    const std::string data = Text(5000);
    struct Case {
        const char* what;
        ZipEntry entry;
        void (*breakIt)(std::string& zip, const ZipLayout& layout);
        DWORD describe;
        DWORD extract;
    };
    auto none = [](std::string&, const ZipLayout&) {};
    const Case cases[] = {
        {"bad deflate",
         {.name = "e", .data = data, .compressed = std::string(64, '\xFF')},
         none,
         ARCHIVE_OK,
         ARCHIVE_E_COPY},
        {"bad CRC", {.name = "e", .data = data, .crc = 0x12345678}, none, ARCHIVE_OK, ARCHIVE_E_COPY},
        {"stream shorter than declared",
         {.name = "e", .data = data, .compressed = setup::test::Deflate(data.substr(0, 100))},
         none,
         ARCHIVE_OK,
         ARCHIVE_E_COPY},
        {"local signature",
         {.name = "e", .data = data},
         [](std::string& zip, const ZipLayout& layout) { zip[layout.localHeaders[0]] ^= 0x20; },
         ARCHIVE_E_HEADER,
         ARCHIVE_E_HEADER},
        {"local name length",
         {.name = "e", .data = data},
         [](std::string& zip, const ZipLayout& layout) { zip[layout.localHeaders[0] + 26] = 5; },
         ARCHIVE_E_HEADER,
         ARCHIVE_E_HEADER},
        {"local extra field past the end",
         {.name = "e", .data = data, .localExtra = UtBlock(1, {kTime1})},
         [](std::string& zip, const ZipLayout& layout) {
             zip[layout.localHeaders[0] + 28] = '\xFF';
             zip[layout.localHeaders[0] + 29] = '\xFF';
         },
         ARCHIVE_E_EXTRA,
         ARCHIVE_E_EXTRA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipLayout layout;
        std::string zip = BuildZip({c.entry}, &layout);
        c.breakIt(zip, layout);
        HARCHIVE archive = Open(zip);
        ASSERT_NE(archive, nullptr);
        ArchiveItem item{};
        EXPECT_EQ(GetArchiveItem(archive, 0, &item), c.describe);
        EXPECT_EQ(ArchiveLastResult(), c.describe);
        EXPECT_EQ(ExtractArchiveItem(archive, 0, "e.out"), c.extract);
        EXPECT_EQ(ArchiveLastResult(), c.extract);
        EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
    }
}

TEST_F(PayloadArchiveTest, BadArgumentsAndHandlesAreRefused) {
    const std::string zip = BuildZip({{.name = "a", .data = "x"}, {.name = "b", .data = "y"}});
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    ArchiveItem item{};
    EXPECT_EQ(GetArchiveItem(archive, -2, &item), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(GetArchiveItem(archive, 2, &item), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(GetArchiveItem(archive, 0, nullptr), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(GetArchiveItem(nullptr, 0, &item), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ExtractArchiveItem(archive, -1, "x.out"), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ExtractArchiveItem(archive, 2, "x.out"), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ExtractArchiveItem(archive, 0, nullptr), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ExtractArchiveItem(nullptr, 0, "x.out"), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ClosePayloadArchive(nullptr), ARCHIVE_E_ARGUMENT);
    EXPECT_EQ(ArchiveLastResult(), ARCHIVE_E_ARGUMENT);
    EXPECT_FALSE(fs::exists(Here("x.out")));

    archive->mode = 2;
    EXPECT_EQ(GetArchiveItem(archive, 0, &item), ARCHIVE_E_MODE);
    EXPECT_EQ(ExtractArchiveItem(archive, 0, "x.out"), ARCHIVE_E_MODE);
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_E_MODE);
    archive->mode = ARCHIVE_MODE_READ;

    EXPECT_EQ(ExtractArchiveItem(archive, 0, folder_.WinPath("no/such/folder/x.out").c_str()), ARCHIVE_E_CREATE)
        << "an absolute output path gets no folders made";
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
}

TEST_F(PayloadArchiveTest, FoldersAreMadeOnlyBelowTheBaseFolder) {
    const std::string outside = "tdl-escape-" + std::to_string(getpid());
    const uint32_t folder = (040755u << 16) | 0x10;
    const std::string zip = BuildZip({
        {.name = "../" + outside + "/", .data = "", .external = folder},
        {.name = "..\\" + outside + "\\", .data = "", .external = folder},
        {.name = "/" + outside + "/", .data = "", .external = folder},
        {.name = "C:" + outside + "/", .data = "", .external = folder},
        {.name = "inner/../../" + outside + "/", .data = "", .external = folder},
        {.name = "made/here/", .data = "", .external = folder},
        {.name = "file", .data = "f"},
    });
    HARCHIVE archive = Open(zip);
    ASSERT_NE(archive, nullptr);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ExtractArchiveItem(archive, i, "ignored"), ARCHIVE_OK) << i;
    EXPECT_TRUE(fs::is_directory(Here("made/here")));
    EXPECT_FALSE(fs::exists(fs::path(folder_.Path()).parent_path() / outside));
    EXPECT_FALSE(fs::exists(fs::path("/") / outside));
    EXPECT_FALSE(fs::exists(Here("C:" + outside)));
    EXPECT_FALSE(fs::exists(Here("inner")));

    // An output path that climbs gets no folders made, but its file lands where its folder exists.
    EXPECT_EQ(ExtractArchiveItem(archive, 6, "nested\\..\\made\\x.out"), ARCHIVE_E_CREATE);
    EXPECT_FALSE(fs::exists(Here("nested")));
    const std::string self = fs::path(folder_.Path()).filename().string();
    EXPECT_EQ(ExtractArchiveItem(archive, 6, ("..\\" + self + "\\made\\y.out").c_str()), ARCHIVE_OK);
    EXPECT_EQ(ReadHostFile(Here("made/y.out")), "f");
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
}

// Whatever the bytes, every operation ends with a handle or a code, and nothing reads outside the block: the
// block is an exact-size heap copy, so AddressSanitizer sees any over-read.
void DescribeAndExtractAll(const std::string& bytes) {
    static const std::set<DWORD> allowed = {ARCHIVE_OK, ARCHIVE_E_CREATE, ARCHIVE_E_COPY, ARCHIVE_E_HEADER,
                                            ARCHIVE_E_EXTRA};
    std::unique_ptr<char[]> block(new char[bytes.size() + 1]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    HARCHIVE archive = OpenPayloadArchive(block.get(), static_cast<DWORD>(bytes.size()));
    if (!archive) {
        EXPECT_NE(ArchiveLastResult(), ARCHIVE_OK);
        return;
    }
    ArchiveItem item{};
    ASSERT_EQ(GetArchiveItem(archive, -1, &item), ARCHIVE_OK);
    const int count = std::min(item.index, 8);
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(allowed.count(GetArchiveItem(archive, i, &item))) << i;
        fs::remove("scratch.out");
        EXPECT_TRUE(allowed.count(ExtractArchiveItem(archive, i, "scratch.out"))) << i;
    }
    EXPECT_EQ(ClosePayloadArchive(archive), ARCHIVE_OK);
}

TEST_F(PayloadArchiveTest, EveryTruncationAndFlippedByteEndsInAHandleOrACode) {
    const std::string zip = BuildZip({
        {.name = "first.txt", .data = Text(300), .localExtra = UtBlock(7, {kTime1, kTime2, kTime3})},
        {.name = "second.bin", .data = "stored bytes", .deflate = false},
    });
    for (size_t length = 0; length < zip.size(); ++length) {
        SCOPED_TRACE(length);
        DescribeAndExtractAll(zip.substr(0, length));
    }
    for (size_t at = 0; at < zip.size(); ++at) {
        for (char mask : {'\xFF', '\x01', '\x80'}) {
            SCOPED_TRACE(testing::Message() << at << " ^ " << int(mask));
            std::string flipped = zip;
            flipped[at] ^= mask;
            DescribeAndExtractAll(flipped);
        }
    }
}

} // namespace
