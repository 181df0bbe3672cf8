// How the Log Details pane runs a record's decoder, watched through a recording back-end and a spy decoder:
// every category hidden in order, then the decoder's grid form in its order, then the decoder deleted; no
// decoder, nothing done.
#include "app/ui/panes/LogDetailsGrid.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/decoders/framework/LogOutputer.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

// Each call, with how many back-end calls came before it.
std::vector<std::string> g_calls;

class SpyDecoder : public LogOutputer {
public:
    SpyDecoder(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
        : LogOutputer(pImp, pDocument, pRecord), m_pImp(static_cast<tdl::test::RecordingOutputImp*>(pImp)) {}
    ~SpyDecoder() override { Note("deleted"); }

    void OutputLogEntry() override { Note("OutputLogEntry"); }
    void OutputTarget() override { Note("OutputTarget"); }
    void OutputIrpFields() override { Note("OutputIrpFields"); }
    void OutputKindTitle(int mode) override { Note("OutputKindTitle " + std::to_string(mode)); }

private:
    void Note(const std::string& call) { g_calls.push_back(call + " after " + std::to_string(m_pImp->Lines().size())); }

    tdl::test::RecordingOutputImp* m_pImp;
};

LogOutputer* MakeSpy(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    return new SpyDecoder(pImp, pDocument, pRecord);
}

LogOutputer* MakeNothing(OutputerImp*, CUSBLog*, const _LOGHDR*) {
    return nullptr;
}

TEST(LogDetailsProtocol, HidesEveryCategoryThenRunsTheGridFormAndDeletesTheDecoder) {
    const std::vector<uint8_t> record = tdl::test::RecordBuilder(LogTag::urbC).Function(9).Build();
    tdl::test::RecordingOutputImp backEnd;
    g_calls.clear();
    ASSERT_TRUE(DecodeLogRecord(backEnd, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()), &MakeSpy));

    const std::vector<std::string> hides = {
        "HideCategory|Log Entry", "HideCategory|Target", "HideCategory|IRP",  "HideCategory|URB",  "HideCategory|CBW",
        "HideCategory|CSW",       "HideCategory|USBINT", "HideCategory|PNP",  "HideCategory|PWR",  "HideCategory|HCD",
        "HideCategory|HID",       "HideCategory|HUB",    "HideCategory|IHUB", "HideCategory|MPORT"};
    EXPECT_EQ(backEnd.Lines(), hides);
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{"OutputLogEntry after 14", "OutputTarget after 14", "OutputIrpFields after 14",
                                        "OutputKindTitle 1 after 14", "deleted after 14"}));
}

TEST(LogDetailsProtocol, WithoutADecoderNothingIsDone) {
    const std::vector<uint8_t> record = tdl::test::RecordBuilder(LogTag::urbC).Function(9).Build();
    tdl::test::RecordingOutputImp backEnd;
    EXPECT_FALSE(DecodeLogRecord(backEnd, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()), &MakeNothing));
    EXPECT_TRUE(backEnd.Lines().empty());
}

} // namespace
