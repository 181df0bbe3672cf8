// The range checks over pool blocks: a range is valid only when every byte lies in the block, and the
// readable prefix stops exactly where the block ends, whatever page the end falls in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NtControl.h"
#include "common/FourCC.h"
#include "driver/capture/AddressCheck.h"

namespace {

constexpr ULONG kTag = FourCC("AdrT");

class AddressCheck : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }
    void TearDown() override {
        for (PUCHAR block : m_blocks) {
            ExFreePoolWithTag(block, kTag);
        }
        nt::ResetKernelState();
    }

    PUCHAR Block(SIZE_T size) {
        m_blocks.push_back(static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTag)));
        return m_blocks.back();
    }

private:
    std::vector<PUCHAR> m_blocks;
};

TEST_F(AddressCheck, ARangeIsValidWholeOnlyInsideItsBlockAndItsReadablePrefixEndsWithTheBlock) {
    struct Case {
        const char* what;
        SIZE_T offset; // from the block's start
        SIZE_T length;
        bool valid;
        SIZE_T prefix;
    };
    // Sizes whose ends fall early in a page, at a page's end and several pages on.
    for (SIZE_T n : {SIZE_T{1}, SIZE_T{100}, SIZE_T{4096}, SIZE_T{10000}}) {
        PUCHAR block = Block(n);
        const SIZE_T k = n < 8 ? n : 8;
        const Case cases[] = {
            {"whole block", 0, n, true, n},
            {"block plus one", 0, n + 1, false, n},
            {"straddling the end", n - k, 2 * k, false, k},
            {"the last byte", n - 1, 1, true, 1},
            {"the second half", n / 2, n - n / 2, true, n - n / 2},
            {"just past the end", n, 1, false, 0},
            {"on over the guard into later pages", 0, n + 3 * PAGE_SIZE, false, n},
            {"zero length", 0, 0, true, 0},
            {"zero length past the end", n, 0, true, 0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", block of " + std::to_string(n));
            const PUCHAR start = block + c.offset;
            EXPECT_EQ(AddressRangeIsValid(start, c.length) != FALSE, c.valid);
            EXPECT_EQ(AddressReadablePrefix(start, static_cast<ULONG>(c.length)), c.prefix);
            if (c.offset < n) { // the head known valid, as a caller that has read it knows it
                EXPECT_EQ(AddressRangeIsValidAfterHead(start, c.length) != FALSE, c.valid);
            }
        }
    }
}

TEST_F(AddressCheck, NullAndWrappingRangesAreNeverValid) {
    PUCHAR block = Block(64);
    const auto top = reinterpret_cast<PUCHAR>(~ULONG_PTR{0} - 15);
    EXPECT_FALSE(AddressRangeIsValid(nullptr, 0));
    EXPECT_FALSE(AddressRangeIsValid(nullptr, 16));
    EXPECT_EQ(AddressReadablePrefix(nullptr, 16), 0u);
    EXPECT_FALSE(AddressRangeIsValid(block, ~SIZE_T{0})) << "a length that wraps round the address space";
    EXPECT_FALSE(AddressRangeIsValid(top, 32));
    EXPECT_EQ(AddressReadablePrefix(top, 32), 0u);
}

} // namespace
