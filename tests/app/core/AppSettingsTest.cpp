#include "app/core/settings/AppSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/app/core/ArchiveBytes.h"

namespace {

// Every field set, the sizes to codes of the table and one outside it.
CAppSettings& FillStored(CAppSettings& settings) {
    settings.CaptureOnceOnBoot = true;
    settings.AutoEnable = true;
    settings.CaptureBulk = false;
    settings.BulkMaxSize = 3;
    settings.CaptureCtrl = true;
    settings.CtrlMaxSize = 7;
    settings.CaptureIsoch = true;
    settings.IsochMaxSize = 0x01020304;
    settings.CaptureUrbs = true;
    settings.EnableMiniportHook = true;
    settings.CaptureHubInterface = false;
    settings.CaptureUsbportHook = true;
    settings.CaptureUsbIntern = true;
    settings.CaptureHubIoctl = false;
    settings.CaptureHcdIoctl = true;
    settings.CaptureHidIoctl = false;
    settings.CaptureHidIntern = true;
    settings.CapturePnp = false;
    settings.CapturePower = true;
    settings.MaxLogBuffer = 262144;
    settings.DetailsFontSize = 4;
    settings.HideDTOnLogging = true;
    settings.ContinuousLogging = false;
    settings.BackgroundLogging = true;
    // Not part of the stored layout.
    settings.MemlogFlags = 257;
    settings.AutoCloseProgress = true;
    settings.CheckForUpdate = true;
    return settings;
}

const std::vector<BYTE> kGolden = {
    0x01, 0x01, 0x00,                                     // CaptureOnceOnBoot, AutoEnable, CaptureBulk
    0x03, 0x00, 0x00, 0x00, 0x01,                         // BulkMaxSize, CaptureCtrl
    0x07, 0x00, 0x00, 0x00, 0x01,                         // CtrlMaxSize, CaptureIsoch
    0x04, 0x03, 0x02, 0x01, 0x01,                         // IsochMaxSize, CaptureUrbs
    0x01, 0x00, 0x01,                                     // EnableMiniportHook, CaptureHubInterface, CaptureUsbportHook
    0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01,             // CaptureUsbIntern .. CapturePower
    0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, // MaxLogBuffer, DetailsFontSize, HideDTOnLogging
    0x00, 0x01,                                           // ContinuousLogging, BackgroundLogging
};

using apptest::Load;
using apptest::Store;

TEST(AppSettings, ConstructedWithEverythingOffButTheBankSize) {
    CAppSettings current;
    EXPECT_EQ(current.GetSchema(), 12u);
    EXPECT_EQ(current.MaxLogBuffer, 262144u);
    EXPECT_FALSE(current.AutoEnable);
    EXPECT_EQ(current.DetailsFontSize, 0u);
    EXPECT_FALSE(current.CheckForUpdate);
    CAppSettings old(5);
    EXPECT_EQ(old.GetSchema(), 5u);

    std::unique_ptr<CObject> created(RUNTIME_CLASS(CAppSettings)->CreateObject());
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsKindOf(RUNTIME_CLASS(CAppSettings)));
}

TEST(AppSettings, StoresTheCurrentLayout) {
    CAppSettings settings;
    EXPECT_EQ(Store(FillStored(settings)), kGolden);

    // A schema-4 object still stores the current layout.
    CAppSettings old(4);
    EXPECT_EQ(Store(FillStored(old)), kGolden);
}

TEST(AppSettings, LoadsTheLayoutOfItsSchema) {
    struct Case {
        UINT schema;
        int bytes;
    };
    for (const Case row : {Case{4, 34}, Case{5, 35}, Case{6, 36}, Case{7, 39}, Case{12, 39}}) {
        SCOPED_TRACE(row.schema);
        // The layout of that schema: the boot switches from 7, then the two capture modes from 5 and 6.
        std::vector<BYTE> bytes(kGolden.begin(), kGolden.begin() + 18);
        if (row.schema >= 7) {
            bytes.insert(bytes.end(), kGolden.begin() + 18, kGolden.begin() + 21);
        }
        bytes.insert(bytes.end(), kGolden.begin() + 21, kGolden.begin() + 37);
        if (row.schema >= 5) {
            bytes.push_back(0x01); // ContinuousLogging
        }
        if (row.schema >= 6) {
            bytes.push_back(0x01); // BackgroundLogging
        }
        ASSERT_EQ(static_cast<int>(bytes.size()), row.bytes);
        bytes.insert(bytes.end(), {0xEE, 0xEE, 0xEE, 0xEE}); // whatever the file holds next

        CAppSettings loaded(row.schema);
        FillStored(loaded);
        loaded.ContinuousLogging = loaded.BackgroundLogging = true;
        EXPECT_EQ(Load(loaded, bytes), 4); // the layout's bytes and no more
        EXPECT_TRUE(loaded.CaptureOnceOnBoot);
        EXPECT_EQ(loaded.IsochMaxSize, 0x01020304u);
        EXPECT_TRUE(loaded.CaptureUsbIntern);
        EXPECT_FALSE(loaded.CaptureHubIoctl);
        EXPECT_TRUE(loaded.CapturePower);
        EXPECT_EQ(loaded.MaxLogBuffer, 262144u);
        EXPECT_EQ(loaded.DetailsFontSize, 4u);
        EXPECT_TRUE(loaded.HideDTOnLogging);
        EXPECT_EQ(loaded.EnableMiniportHook, row.schema >= 7);
        EXPECT_EQ(loaded.CaptureUsbportHook, row.schema >= 7);
        EXPECT_EQ(loaded.ContinuousLogging, row.schema >= 5);
        EXPECT_EQ(loaded.BackgroundLogging, row.schema >= 6);
    }
}

TEST(AppSettings, AnyNonZeroByteLoadsAsOnAndACutStreamIsAnError) {
    std::vector<BYTE> bytes = kGolden;
    bytes[2] = 0x7F; // CaptureBulk
    CAppSettings loaded;
    EXPECT_EQ(Load(loaded, bytes), 0);
    EXPECT_TRUE(loaded.CaptureBulk);

    for (size_t cut : {size_t{0}, size_t{5}, size_t{20}, size_t{38}}) {
        SCOPED_TRACE(cut);
        CAppSettings cutShort;
        EXPECT_EQ(Load(cutShort, std::vector<BYTE>(kGolden.begin(), kGolden.begin() + static_cast<long>(cut)),
                       CArchiveException::endOfFile),
                  -1);
    }
}

TEST(AppSettings, SizeCodesBothWays) {
    const DWORD sizes[] = {8, 64, 65536, 262144, 524288, 786432, 1048576};
    for (DWORD code = 1; code <= 7; ++code) {
        EXPECT_EQ(BytesOfSizeCode(code), sizes[code - 1]);
        EXPECT_EQ(SizeCodeOfBytes(sizes[code - 1]), code);
    }
    // Sizes the table lacks read as code 1; codes outside it send 8 bytes.
    for (DWORD bytes : {0u, 7u, 100u, 65535u, 2097152u, 0xFFFFFFFFu}) {
        EXPECT_EQ(SizeCodeOfBytes(bytes), 1u) << bytes;
    }
    for (DWORD code : {0u, 8u, 9u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(BytesOfSizeCode(code), 8u) << code;
    }
}

} // namespace
