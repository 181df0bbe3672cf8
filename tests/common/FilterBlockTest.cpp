#include "common/FilterBlock.h"

#include <gtest/gtest.h>

namespace {

FILTER_BLOCK Default() {
    FILTER_BLOCK block;
    InitLoggingOptions(block);
    return block;
}

TEST(FilterBlock, DefaultIsTheMarkerAndZeros) {
    FILTER_BLOCK block;
    std::fill(std::begin(block.Bytes), std::end(block.Bytes), 0x5A);
    InitLoggingOptions(block);
    EXPECT_EQ(block.Bytes[0], 0x02);
    EXPECT_EQ(block.Bytes[1], 0x02);
    for (size_t i = 2; i < FILTER_BLOCK_SIZE; ++i)
        ASSERT_EQ(block.Bytes[i], 0) << i;
}

// One row per group boundary: the first and last code of each group and the codes just outside it.
TEST(FilterBlock, CodeBytesAtGroupBoundaries) {
    const struct {
        FilterFamily family;
        ULONG code;
        size_t byte;
    } rows[] = {
        {FilterFamily::Urb, 0, 4},
        {FilterFamily::Urb, 52, 56},
        {FilterFamily::Urb, 53, FILTER_NO_BYTE},
        {FilterFamily::Urb, 0xFFF, FILTER_NO_BYTE},
        {FilterFamily::Urb, 0x1000, 58},
        {FilterFamily::Urb, 0x1002, 60},
        {FilterFamily::Urb, 0x1003, FILTER_NO_BYTE},
        {FilterFamily::HubInterface, 35, 98},
        {FilterFamily::HubInterface, 36, FILTER_NO_BYTE},
        {FilterFamily::PortHook, 0, 101},
        {FilterFamily::PortHook, 79, 180},
        {FilterFamily::PortHook, 80, FILTER_NO_BYTE},
        {FilterFamily::Internal, 0x220003, 183},            // function 0
        {FilterFamily::Internal, 0x22002B, 193},            // function 10
        {FilterFamily::Internal, 0x22002F, FILTER_NO_BYTE}, // function 11
        {FilterFamily::Internal, 0x22041C, FILTER_NO_BYTE}, // function 263
        {FilterFamily::Internal, 0x220420, 194},            // function 264
        {FilterFamily::Internal, 0x22044F, 205},            // function 275
        {FilterFamily::Internal, 0x220450, FILTER_NO_BYTE}, // function 276
        {FilterFamily::Hcd, 0x2203F8, FILTER_NO_BYTE},      // function 254
        {FilterFamily::Hcd, 0x2203FC, 208},                 // function 255
        {FilterFamily::Hcd, 0x220438, 223},                 // function 270
        {FilterFamily::Hcd, 0x22043C, FILTER_NO_BYTE},      // function 271
        {FilterFamily::Hub, 0x220404, FILTER_NO_BYTE},      // function 257
        {FilterFamily::Hub, 0x220408, 226},                 // function 258
        {FilterFamily::Hub, 0x220450, 244},                 // function 276
        {FilterFamily::Hub, 0x220454, FILTER_NO_BYTE},      // function 277
        {FilterFamily::Pnp, 2, 286},
        {FilterFamily::Pnp, 3, FILTER_NO_BYTE},
        {FilterFamily::Power, 3, 292},
        {FilterFamily::Power, 4, FILTER_NO_BYTE},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FilterCodeByte(r.family, r.code), r.byte) << int(r.family) << " code " << std::hex << r.code;
}

// HID codes: each transfer method has its own group, so a code's byte is the one of its own method.
TEST(FilterBlock, HidCodesUseTheGroupOfTheirMethod) {
    const struct {
        ULONG code;
        size_t byte;
    } rows[] = {
        {0xB0190, 247},            // buffered, function 100
        {0xB01A8, 253},            // buffered, function 106
        {0xB01AC, FILTER_NO_BYTE}, // buffered, function 107
        {0xB0193, 254},            // neither, function 100
        {0xB0197, 255},            // neither, function 101
        {0xB019B, FILTER_NO_BYTE}, // neither, function 102
        {0xB020B, 256},            // neither, function 130
        {0xB020F, 257},            // neither, function 131
        {0xB0213, FILTER_NO_BYTE}, // neither, function 132
        {0xB0191, 258},            // in-direct, function 100
        {0xB0195, 259},            // in-direct, function 101
        {0xB0199, FILTER_NO_BYTE}, // in-direct, function 102
        {0xB0192, 260},            // out-direct, function 100
        {0xB01E6, 281},            // out-direct, function 121
        {0xB01EA, FILTER_NO_BYTE}, // out-direct, function 122
        {0xB018C, FILTER_NO_BYTE}, // buffered, function 99
    };
    for (const auto& r : rows)
        EXPECT_EQ(FilterCodeByte(FilterFamily::Hid, r.code), r.byte) << std::hex << r.code;

    // Enabling GET_PHYSICAL_DESCRIPTOR (out-direct, function 102) does not enable the buffered code of the
    // same function number (GET_POLL_FREQUENCY_MSEC).
    FILTER_BLOCK block = Default();
    block.Bytes[FilterCodeByte(FilterFamily::Hid, 0xB019A)] = 1;
    EXPECT_TRUE(FilterCodeEnabled(block, FilterFamily::Hid, 0xB019A));
    EXPECT_FALSE(FilterCodeEnabled(block, FilterFamily::Hid, 0xB0198));
}

TEST(FilterBlock, StatusGateOfTheApplicationAndTheDriver) {
    const struct {
        ULONG status;
        bool error, success; // block bytes 293, 294
        bool application, driver;
    } rows[] = {
        {0x00000000, false, true, true, true},   {0x00000103, false, true, true, true},
        {0x7FFFFFFF, false, true, true, true},   {0x00000000, true, false, false, false},
        {0x80000005, true, false, true, false},  {0x80000005, false, true, false, false},
        {0xBFFFFFFF, true, true, true, false},   {0xC0000000, true, false, true, true},
        {0xC0000001, false, true, false, false}, {0xFFFFFFFF, true, false, true, true},
    };
    for (const auto& r : rows) {
        FILTER_BLOCK block = Default();
        block.Bytes[FilterByte::AcceptError] = r.error;
        block.Bytes[FilterByte::AcceptSuccess] = r.success;
        EXPECT_EQ(FilterStatusPasses(block, r.status, FilterStatusRule::Application), r.application)
            << std::hex << r.status;
        EXPECT_EQ(FilterStatusPasses(block, r.status, FilterStatusRule::Driver), r.driver) << std::hex << r.status;
    }
}

TEST(FilterBlock, AcceptsNeedsPhaseStatusAndCodeAndReadsAnyNonZeroAsOn) {
    FILTER_BLOCK block = Default();
    EXPECT_FALSE(FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Request, 0, 0, FilterStatusRule::Driver));
    block.Bytes[FilterByte::PnpRequest] = 7;
    block.Bytes[FilterByte::AcceptSuccess] = 0x80;
    EXPECT_FALSE(FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Request, 0, 0, FilterStatusRule::Driver));
    block.Bytes[FilterByte::PnpMinors + 0] = 2;
    EXPECT_TRUE(FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Request, 0, 0, FilterStatusRule::Driver));
    EXPECT_FALSE(FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Completion, 0, 0, FilterStatusRule::Driver));
    EXPECT_FALSE(FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Request, 2, 0, FilterStatusRule::Driver));
    EXPECT_FALSE(
        FilterAccepts(block, FilterFamily::Pnp, FilterPhase::Request, 0, 0xC0000001, FilterStatusRule::Driver));
}

TEST(FilterBlock, DriverTestsTheSynchronousByteOnlyForSynchronousUrbs) {
    FILTER_BLOCK block = Default();
    EXPECT_TRUE(FilterUrbSyncPasses(block, 9));
    EXPECT_FALSE(FilterUrbSyncPasses(block, 0x2009));
    block.Bytes[FilterByte::UrbSynchronous] = 1;
    EXPECT_TRUE(FilterUrbSyncPasses(block, 0x2009));
}

TEST(FilterBlock, DirectionGate) {
    FILTER_BLOCK block = Default();
    block.Bytes[FilterByte::AcceptIn] = 1;
    EXPECT_TRUE(FilterDirectionPasses(block, true));
    EXPECT_FALSE(FilterDirectionPasses(block, false));
    EXPECT_FALSE(FilterAcceptsBothDirections(block));
    block.Bytes[FilterByte::AcceptOut] = 1;
    EXPECT_TRUE(FilterAcceptsBothDirections(block));
}

} // namespace
