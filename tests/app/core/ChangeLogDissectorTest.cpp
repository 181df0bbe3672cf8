// The capture document's reading of change-log blocks, and what its tear-down asks of the driver.
#include "app/core/changelog/ChangeLogDissector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "common/RecordTags.h"
#include "tests/app/core/TraceCapture.h"
#include "tests/support/FakeControlDevice.h"
#include "tests/support/RecordBuilder.h"

namespace {

std::vector<uint8_t> ChangeRecord(ULONG tag, size_t payload) {
    tdl::test::RecordBuilder builder(tag);
    builder.Part1(std::vector<uint8_t>(payload, 0x5A));
    return builder.Build();
}

// The traces of one dissection between its opening and closing rules.
std::vector<std::string> Dissect(const std::vector<uint8_t>& block) {
    apptest::TraceCapture traces;
    CUSBLog doc;
    auto exact = std::make_unique<BYTE[]>(block.size());
    std::copy(block.begin(), block.end(), exact.get());
    doc.DissectChangeLogFragment(exact.get(), static_cast<DWORD>(block.size()));
    std::vector<std::string> texts = traces.Texts();
    EXPECT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), "--CUSBLog::DissectChangeLogFragment");
    // The dispatch's own lines; the handlers' traces between them are theirs to test.
    std::vector<std::string> own;
    for (auto it = texts.begin() + 2; it != texts.end() - 1; ++it)
        if (it->rfind("--- ", 0) == 0 || it->rfind("Missing ", 0) == 0 ||
            it->find("short; skipped") != std::string::npos || it->find("Record cut") != std::string::npos)
            own.push_back(*it);
    return own;
}

TEST(ChangeLogDissector, DispatchesEachKindWithItsNode) {
    struct Case {
        ULONG tag;
        size_t node;
        std::string trace;
    };
    const Case cases[] = {
        {LogTag::vedA, DEVICE_NODE_SIZE, "--- LOG_DEVOBJ_ARRIVAL ---"},
        {LogTag::vedR, DEVICE_NODE_SIZE, "--- LOG_DEVOBJ_REMOVAL ---"},
        {LogTag::vrdA, DRIVER_NODE_SIZE, "--- LOG_DRVOBJ_ARRIVAL ---"},
        {LogTag::vrdR, DRIVER_NODE_SIZE, "--- LOG_DRVOBJ_REMOVAL ---"},
        {LogTag::ktsA, DEVSTK_NODE_SIZE, "--- LOG_DEVSTK_ARRIVAL ---"},
        {LogTag::ktsR, DEVSTK_NODE_SIZE, "--- LOG_DEVSTK_REMOVAL ---"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trace);
        ASSERT_NE(ChangeLog::FindChangeKind(c.tag), nullptr);
        EXPECT_EQ(ChangeLog::FindChangeKind(c.tag)->nodeSize, c.node);
        EXPECT_EQ(Dissect(ChangeRecord(c.tag, c.node)), std::vector<std::string>{c.trace});
        // One byte short of the node: skipped, never handed on.
        const std::vector<std::string> shortOne = Dissect(ChangeRecord(c.tag, c.node - 1));
        ASSERT_EQ(shortOne.size(), 1u);
        EXPECT_NE(shortOne[0].find("short; skipped"), std::string::npos);
    }
}

TEST(ChangeLogDissector, BadMarkersAreTracedAndTheRecordStillDispatched) {
    std::vector<uint8_t> record = ChangeRecord(LogTag::vrdA, DRIVER_NODE_SIZE);
    std::copy_n("XXXX", 4, record.begin());
    std::copy_n("ZZZZ", 4, record.begin() + 60);
    std::copy_n("NONE", 4, record.end() - 4);
    EXPECT_EQ(Dissect(record),
              (std::vector<std::string>{"Missing ####", "Missing DATA", "Missing FINI", "--- LOG_DRVOBJ_ARRIVAL ---"}));
}

TEST(ChangeLogDissector, LogStartAndEndAreIgnoredUnknownTagsTracedCutRecordsEndTheWalk) {
    std::vector<uint8_t> block;
    tdl::test::AppendRecord(block, ChangeRecord(LogTag::atsL, 0));
    tdl::test::AppendRecord(block, ChangeRecord(LogTag::urbI, 8));
    tdl::test::AppendRecord(block, ChangeRecord(LogTag::dneL, 0));
    const std::vector<uint8_t> cut = ChangeRecord(LogTag::vedA, DEVICE_NODE_SIZE);
    block.insert(block.end(), cut.begin(), cut.end() - 1);
    const std::vector<std::string> texts = Dissect(block);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "--- UNKNOWN LogType ---");
    EXPECT_NE(texts[1].find("Record cut"), std::string::npos);
}

class DeleteContentsTest : public testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        RegisterAppResources();
        m_fake = std::make_unique<tdl::test::FakeControlDevice>();
    }
    void TearDown() override {
        m_fake.reset();
        nt::pnp::Shutdown();
    }
    std::vector<ULONG> CodesFor(UINT nTemplate) {
        CMultiDocTemplate docTemplate(nTemplate, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        auto* doc = new CUSBLog;
        docTemplate.AddDocument(doc);
        m_fake->ClearRequests();
        doc->DeleteContents();
        std::vector<ULONG> codes;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            codes.push_back(request.code);
        docTemplate.RemoveDocument(doc);
        delete doc;
        return codes;
    }
    std::unique_ptr<tdl::test::FakeControlDevice> m_fake;
};

TEST_F(DeleteContentsTest, LiveDocumentStopsAndEmptiesTheChangeLogALogFileAsksNothing) {
    EXPECT_EQ(CodesFor(IDR_TDLOFT_REALTIME),
              (std::vector<ULONG>{IOCTL_TINDALOFT_DISABLE_CLOG, IOCTL_TINDALOFT_CLEAR_CLOG}));
    EXPECT_TRUE(CodesFor(IDR_TDLOFT_TYPE).empty());
}

TEST(USBLogDeviceModel, DeviceTreeModifiedFlagStartsClear) {
    CUSBLog doc;
    EXPECT_FALSE(doc.IsDeviceTreeModified());
    doc.SetDeviceTreeModified(TRUE);
    EXPECT_TRUE(doc.IsDeviceTreeModified());
}

} // namespace
