#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/filters/FilterMatch.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::BuildRecord;
using tdl::test::ContinuationPart1;
using tdl::test::RecordBuilder;
using tdl::test::UrbTransferPart1;

constexpr ULONG kSuccess = 0;
constexpr ULONG kWarning = 0x80000005;
constexpr ULONG kError = 0xC0000001;

FILTER_BLOCK Block(std::initializer_list<size_t> on) {
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    for (size_t offset : on)
        block.Bytes[offset] = 1;
    return block;
}

FILTER_BLOCK AllOn() {
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    std::fill(block.Bytes + 2, block.Bytes + FILTER_BLOCK_SIZE, 1);
    return block;
}

bool Matches(const FILTER_BLOCK& block, const std::vector<uint8_t>& record) {
    return FilterMatchRecord(block, CLogRecordDecode(record.data(), record.size()), 12);
}

std::string Name(const std::vector<uint8_t>& record) {
    char tag[5] = {};
    std::memcpy(tag, record.data() + 16, 4);
    char code[16];
    std::snprintf(code, sizeof code, " %#x", LogHdr::Function(record.data()));
    return tag + std::string(code);
}

// Records that an all-on block accepts, so that each one shows that the default block selects nothing.
std::vector<std::vector<uint8_t>> SampleRecords() {
    return {
        BuildRecord(LogTag::urbI, 0, kSuccess),
        BuildRecord(LogTag::urbC, 0x1001, kError),
        BuildRecord(LogTag::uinI, 0x220007, kSuccess),
        BuildRecord(LogTag::hcdC, 0x2203FC, kSuccess),
        BuildRecord(LogTag::hubR, 0x22040C, kSuccess),
        BuildRecord(LogTag::hidI, 0xB0193, kSuccess),
        BuildRecord(LogTag::pnpI, 0, kSuccess),
        BuildRecord(LogTag::powC, 2, kSuccess),
        BuildRecord(LogTag::buhI, 3, kSuccess),
        BuildRecord(LogTag::khpC, 79, kSuccess),
        RecordBuilder(LogTag::cCnt).Function(9).Part1(ContinuationPart1(0, 0x81, 0)).Build(),
    };
}

TEST(FilterMatch, DefaultBlockAndStatusOnlyBlockMatchNothing) {
    const FILTER_BLOCK all = AllOn();
    for (const auto& record : SampleRecords()) {
        ASSERT_TRUE(Matches(all, record)) << Name(record);
        EXPECT_FALSE(Matches(Block({}), record)) << Name(record);
        EXPECT_FALSE(Matches(Block({294, 293}), record)) << Name(record);
    }
    EXPECT_FALSE(FilterMatchRecord(all, CLogRecordDecode(), 12));
}

// One row per tag family, phase and code boundary: the bytes a record needs, and whether it matches.
TEST(FilterMatch, FamiliesPhasesAndCodeBoundaries) {
    const struct {
        ULONG tag, function;
        std::initializer_list<size_t> on;
        bool match;
    } rows[] = {
        // URBs: I and R records and "iCnt" take byte 2, C records and "cCnt" byte 3.
        {LogTag::urbI, 0, {2, 4, 294}, true},
        {LogTag::urbR, 0, {2, 4, 294}, true},
        {LogTag::urbC, 0, {2, 4, 294}, false},
        {LogTag::urbC, 0, {3, 4, 294}, true},
        {LogTag::urbI, 0, {3, 4, 294}, false},
        {LogTag::iCnt, 5, {2, 9, 294}, true},
        {LogTag::cCnt, 5, {3, 9, 294}, true},
        {LogTag::cCnt, 5, {2, 9, 294}, false},
        {LogTag::urbI, 52, {2, 56, 294}, true},
        {LogTag::urbI, 53, {2, 56, 57, 294}, false},
        {LogTag::urbI, 0x1000, {2, 58, 294}, true},
        {LogTag::urbI, 0x1002, {2, 60, 294}, true},
        {LogTag::urbI, 0x1003, {2, 58, 59, 60, 294}, false},
        {LogTag::urbI, 0x2005, {2, 9, 294}, true},      // synchronous: byte 57 is the driver's only
        {LogTag::urbR, 0x01A1001B, {2, 31, 294}, true}, // R function word: code in the low bits
        // Internal USB IOCTLs: function numbers 0-10 and 264-275.
        {LogTag::uinI, 0x22002B, {181, 193, 294}, true}, // function 10
        {LogTag::uinR, 0x22002B, {181, 193, 294}, true},
        {LogTag::uinC, 0x22002B, {181, 193, 294}, false},
        {LogTag::uinC, 0x22002B, {182, 193, 294}, true},
        {LogTag::uinI, 0x22002F, {181, 193, 194, 294}, false}, // function 11
        {LogTag::uinI, 0x220420, {181, 194, 294}, true},       // function 264
        {LogTag::uinI, 0x22044F, {181, 205, 294}, true},       // function 275
        {LogTag::uinI, 0x220453, {181, 205, 294}, false},      // function 276
        // Host-controller IOCTLs: 255-270.
        {LogTag::hcdI, 0x2203FC, {206, 208, 294}, true},
        {LogTag::hcdC, 0x220438, {207, 223, 294}, true},
        {LogTag::hcdI, 0x2203F8, {206, 208, 294}, false},
        {LogTag::hcdI, 0x22043C, {206, 223, 294}, false},
        // Hub IOCTLs: 258-276.
        {LogTag::hubI, 0x220408, {224, 226, 294}, true},
        {LogTag::hubC, 0x220450, {225, 244, 294}, true},
        {LogTag::hubR, 0x220450, {225, 244, 294}, false},
        {LogTag::hubI, 0x220404, {224, 226, 294}, false},
        {LogTag::hubI, 0x220454, {224, 244, 294}, false},
        // HID IOCTLs: each transfer method in its own group.
        {LogTag::hidI, 0xB0190, {245, 247, 294}, true},
        {LogTag::hidC, 0xB01A8, {246, 253, 294}, true},
        {LogTag::hidI, 0xB0193, {245, 254, 294}, true},
        {LogTag::hidI, 0xB0197, {245, 255, 294}, true},
        {LogTag::hidI, 0xB020B, {245, 256, 294}, true},
        {LogTag::hidI, 0xB020F, {245, 257, 294}, true},
        {LogTag::hidI, 0xB0191, {245, 258, 294}, true},
        {LogTag::hidI, 0xB0192, {245, 260, 294}, true},
        {LogTag::hidI, 0xB01E6, {245, 281, 294}, true},
        {LogTag::hidI, 0xB0190, {245, 254, 258, 260, 294}, false}, // bytes of other methods' codes
        {LogTag::hidI, 0xB0193, {245, 247, 258, 260, 294}, false},
        {LogTag::hidI, 0xB0213, {245, 256, 257, 294}, false}, // neither, function 132
        // PnP minors 0-2, power minors 0-3.
        {LogTag::pnpI, 2, {282, 286, 294}, true},
        {LogTag::pnpR, 0, {282, 284, 294}, true},
        {LogTag::pnpC, 0, {283, 284, 294}, true},
        {LogTag::pnpI, 3, {282, 284, 285, 286, 294}, false},
        {LogTag::powI, 3, {287, 292, 294}, true},
        {LogTag::powC, 0, {288, 289, 294}, true},
        {LogTag::powI, 4, {287, 289, 290, 291, 292, 294}, false},
        // Hub-interface calls 0-35, port-driver hook calls 0-79; neither has a returned phase.
        {LogTag::buhI, 35, {61, 98, 294}, true},
        {LogTag::buhC, 0, {62, 63, 294}, true},
        {LogTag::buhI, 36, {61, 98, 99, 294}, false},
        {FourCC("buhR"), 0, {61, 62, 63, 294}, false},
        {LogTag::khpI, 79, {99, 180, 294}, true},
        {LogTag::khpC, 0, {100, 101, 294}, true},
        {LogTag::khpI, 80, {99, 180, 181, 294}, false},
    };
    for (const auto& r : rows) {
        const auto record = BuildRecord(r.tag, r.function, kSuccess);
        EXPECT_EQ(Matches(Block(r.on), record), r.match) << Name(record);
    }
}

TEST(FilterMatch, TagsNoFilterSelects) {
    const FILTER_BLOCK all = AllOn();
    for (ULONG tag : {LogTag::ctlC, LogTag::ctlI, LogTag::intC, LogTag::atsL, LogTag::dneL, LogTag::vedA, LogTag::vedR,
                      LogTag::vrdA, LogTag::vrdR, LogTag::ktsA, LogTag::ktsR, FourCC("urbX"), FourCC("abcd")}) {
        const auto record = BuildRecord(tag, 0, kSuccess);
        EXPECT_FALSE(Matches(all, record)) << Name(record);
    }
}

TEST(FilterMatch, StatusGate) {
    const struct {
        ULONG status;
        std::initializer_list<size_t> gates;
        bool match;
    } rows[] = {
        {kSuccess, {294}, true}, {kSuccess, {293}, false}, {0x00000103, {294}, true},
        {kWarning, {293}, true}, {kWarning, {294}, false}, // every negative status counts as an error here
        {kError, {293}, true},   {kError, {294}, false},   {0xFFFFFFFF, {293}, true},
    };
    for (const auto& r : rows) {
        FILTER_BLOCK block = Block({282, 284});
        for (size_t g : r.gates)
            block.Bytes[g] = 1;
        EXPECT_EQ(Matches(block, BuildRecord(LogTag::pnpI, 0, r.status)), r.match) << std::hex << r.status;
    }
}

std::vector<uint8_t> Transfer(ULONG tag, ULONG function, bool in) {
    // Known pipe: the endpoint's bit 7 decides; for 50 the setup packet's bmRequestType.
    const UCHAR endpoint = in ? 0x81 : 0x01;
    return RecordBuilder(tag)
        .Function(function)
        .Part1(UrbTransferPart1(function, 0, endpoint, in ? 1 : 0, in ? 0x80 : 0x00))
        .Build();
}

TEST(FilterMatch, DirectionBytesOfDataTransfers) {
    for (ULONG function : {8u, 9u, 10u, 50u}) {
        for (ULONG tag : {LogTag::urbI, LogTag::urbC}) {
            const size_t phase = tag == LogTag::urbI ? 2 : 3;
            const size_t code = 4 + function;
            const auto in = Transfer(tag, function, true);
            const auto out = Transfer(tag, function, false);
            EXPECT_TRUE(Matches(Block({phase, code, 294, 295}), in)) << Name(in);
            EXPECT_FALSE(Matches(Block({phase, code, 294, 295}), out)) << Name(out);
            EXPECT_TRUE(Matches(Block({phase, code, 294, 296}), out)) << Name(out);
            EXPECT_FALSE(Matches(Block({phase, code, 294, 296}), in)) << Name(in);
            EXPECT_TRUE(Matches(Block({phase, code, 294, 295, 296}), in)) << Name(in);
            EXPECT_TRUE(Matches(Block({phase, code, 294, 295, 296}), out)) << Name(out);
            EXPECT_FALSE(Matches(Block({phase, code, 294}), in)) << Name(in);
            EXPECT_FALSE(Matches(Block({phase, 294, 295, 296}), in)) << Name(in) << " without its code byte";
        }
    }
    // Function 50 reads the setup packet, not the pipe: an IN request on an OUT-looking pipe is IN.
    const auto ex = RecordBuilder(LogTag::urbC).Function(50).Part1(UrbTransferPart1(50, 0, 0x01, 0, 0xC0)).Build();
    EXPECT_TRUE(Matches(Block({3, 54, 294, 295}), ex));
    // A control transfer whose pipe is unknown (interface 0xFF) goes by its transfer flags.
    const auto unknownPipe =
        RecordBuilder(LogTag::urbC).Function(8).Part1(UrbTransferPart1(8, 0xFF, 0, 1, 0x00)).Build();
    EXPECT_TRUE(Matches(Block({3, 12, 294, 295}), unknownPipe));
}

TEST(FilterMatch, DirectionOfRecordsWithoutAPipeBlock) {
    // "urbR" of a control transfer carries bmRequestType in its function word.
    EXPECT_TRUE(Matches(Block({2, 12, 294, 295}), BuildRecord(LogTag::urbR, 0x06800008, kSuccess)));
    EXPECT_FALSE(Matches(Block({2, 12, 294, 295}), BuildRecord(LogTag::urbR, 0x09000008, kSuccess)));
    EXPECT_TRUE(Matches(Block({2, 54, 294, 296}), BuildRecord(LogTag::urbR, 0x09000032, kSuccess)));
    // A bulk "urbR" does not say its direction: only a filter that takes both directions keeps it.
    EXPECT_FALSE(Matches(Block({2, 13, 294, 295}), BuildRecord(LogTag::urbR, 9, kSuccess)));
    EXPECT_TRUE(Matches(Block({2, 13, 294, 295, 296}), BuildRecord(LogTag::urbR, 9, kSuccess)));
    // Continuations carry the pipe's bytes of the record they continue.
    const auto cCntIn = RecordBuilder(LogTag::cCnt).Function(9).Part1(ContinuationPart1(0xFF, 0xFF, 1)).Build();
    EXPECT_TRUE(Matches(Block({3, 13, 294, 295}), cCntIn));
    EXPECT_FALSE(Matches(Block({3, 13, 294, 296}), cCntIn));
    const auto iCntOut = RecordBuilder(LogTag::iCnt).Function(50).Part1(ContinuationPart1(0, 0x02, 0)).Build();
    EXPECT_TRUE(Matches(Block({2, 54, 294, 296}), iCntOut));
    // A record cut short of its pipe block does not match a one-direction filter.
    EXPECT_FALSE(Matches(Block({3, 13, 294, 295}), BuildRecord(LogTag::urbC, 9, kSuccess)));
}

} // namespace
