// The URB decoders over a real capture of a file copied to the stick of the default machine, with bulk
// transfers captured whole (size code 4): the command and status wrappers decode as the stick ran them, the
// record list's wrapper columns agree with the decoder, and a 128 KiB READ(10) or WRITE(10) shows its data
// on the side it was captured, across the record and its continuation.
#include "tests/support/DecoderCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/RecordFormat.h"
#include "app/core/settings/AppSettings.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "platform/sim/MassStorage.h"
#include "tests/app/decoders/CutRecords.h"
#include "tests/app/decoders/LogDetailsWindow.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::DecoderCapture;

constexpr DWORD kWholeBulkTransfers = 4;
constexpr UCHAR kRead10 = 0x28;
constexpr UCHAR kWrite10 = 0x2A;

class StorageCaptureTest : public tdl::test::DecoderCaptureTest<StorageCaptureTest> {
protected:
    static void SetUpTestSuite() {
        DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::CopyToStick;
        options.settings = [](CAppSettings& settings) { settings.BulkMaxSize = kWholeBulkTransfers; };
        Capture(options);
    }

    static CUSBLog* Document() { return s_capture->Document(); }

    static std::vector<sim::BulkOnlyCommand> StickHistory() {
        auto stick = s_capture->Machine().Device("stick");
        auto* function = stick ? stick->FunctionAs<sim::BulkOnlyFunction>(0) : nullptr;
        return function ? function->History() : std::vector<sim::BulkOnlyCommand>{};
    }
};

const uint8_t* Bytes(const _LOGHDR* record) {
    return reinterpret_cast<const uint8_t*>(record);
}

// The calls of the record's whole mark-up body (mode 0), through the decoder the factory picks.
std::string Markup(const _LOGHDR* record, CUSBLog* document, bool* bulkOnly = nullptr) {
    tdl::test::RecordingOutputImp out;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&out, document, record));
    if (!decoder)
        return "no decoder";
    if (bulkOnly)
        *bulkOnly = dynamic_cast<MscBOTUrbOutputer*>(decoder.get()) != nullptr;
    decoder->OutputKindTitle(OUTPUT_MODE_XML);
    return out.Text();
}

// The value of the first "WriteValue|<name>|..." call after `from`, or "" when there is none.
std::string Value(const std::string& calls, const std::string& name, size_t from = 0) {
    const std::string key = "WriteValue|" + name + "|";
    const size_t at = calls.find(key, from);
    if (at == std::string::npos)
        return "";
    const size_t start = at + key.size();
    return calls.substr(start, calls.find('\n', start) - start);
}

ULONG HexValue(const std::string& calls, const std::string& name, size_t from = 0) {
    return static_cast<ULONG>(std::stoul("0" + Value(calls, name, from), nullptr, 16));
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A wrapper as the decoder showed it.
struct Shown {
    std::string calls;
    USHORT stack = 0;
};

// Every command the stick ran while the capture went on appears, on each stack that carries its traffic, as
// one command wrapper and one status wrapper, decoded with the values the stick saw and answered.
TEST_F(StorageCaptureTest, WrappersDecodeAsTheStickRanThem) {
    std::map<USHORT, std::vector<std::string>> commands;
    std::map<USHORT, std::vector<std::string>> statuses;
    for (const _LOGHDR* record : s_capture->Records()) {
        bool bulkOnly = false;
        const std::string calls = Markup(record, Document(), &bulkOnly);
        if (Has(calls, "BeginElement|CBW\n") || Has(calls, "BeginElement|CSW\n"))
            EXPECT_TRUE(bulkOnly) << "record #" << LogHdr::SequenceNumber(Bytes(record));
        if (Has(calls, "BeginElement|CBW\n"))
            commands[LogHdr::StackID(Bytes(record))].push_back(calls);
        if (Has(calls, "BeginElement|CSW\n"))
            statuses[LogHdr::StackID(Bytes(record))].push_back(calls);
    }
    const std::vector<sim::BulkOnlyCommand> history = StickHistory();
    ASSERT_FALSE(commands.empty());
    for (const auto& [stack, cbws] : commands) {
        SCOPED_TRACE(stack);
        const std::vector<std::string>& csws = statuses[stack];
        ASSERT_EQ(cbws.size(), csws.size());
        ASSERT_LE(cbws.size(), history.size());
        // The capture saw the history's last commands, in order.
        const size_t first = history.size() - cbws.size();
        for (size_t i = 0; i < cbws.size(); ++i) {
            const sim::BulkOnlyCommand& command = history[first + i];
            const std::string& cbw = cbws[i];
            EXPECT_EQ(HexValue(cbw, "dCBWTag"), command.tag) << cbw;
            EXPECT_EQ(HexValue(cbw, "CDB.OperationCode"), command.opcode) << cbw;
            EXPECT_EQ(HexValue(cbw, "dCBWDataTransferLength"), command.dataLength) << cbw;
            EXPECT_TRUE(Has(cbw, command.in ? "AddAttribute|Direction|Data-In\n" : "AddAttribute|Direction|Data-Out\n"))
                << cbw;
            const std::string title = "BeginElement|CDB" + std::to_string(HexValue(cbw, "bCBWCBLength")) + ".SPC-2\n";
            EXPECT_TRUE(Has(cbw, title)) << cbw;
            const std::string& csw = csws[i];
            EXPECT_EQ(HexValue(csw, "dCSWTag"), command.tag) << csw;
            EXPECT_EQ(HexValue(csw, "bCSWStatus"), command.cswStatus) << csw;
            EXPECT_EQ(HexValue(csw, "dCSWDataResidue"), command.residue) << csw;
        }
    }
}

// Each READ(10) and WRITE(10) names its first block and its block count in the Log Details pane; the count
// covers the bytes the wrapper announced.
TEST_F(StorageCaptureTest, ReadAndWriteShowTheirAddressAndBlockCount) {
    int shown = 0;
    for (const _LOGHDR* record : s_capture->Records()) {
        const CLogRecordDecode view(record, Document());
        const BYTE* cbw = view.FindCbw();
        // The same transfer passes the host controller's stack too, where no storage decoder applies.
        if (!cbw || !view.IsMassStorageBot() || (cbw[15] != kRead10 && cbw[15] != kWrite10))
            continue;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(Document(), record));
        const std::string text = pane.Shown("CBW");
        const ULONG address = (ULONG(cbw[17]) << 24) | (ULONG(cbw[18]) << 16) | (ULONG(cbw[19]) << 8) | cbw[20];
        const ULONG blocks = (ULONG(cbw[22]) << 8) | cbw[23];
        ULONG announced = 0;
        std::memcpy(&announced, cbw + 8, sizeof announced);
        EXPECT_EQ(blocks * 512, announced);
        char expected[128];
        std::snprintf(expected, sizeof expected, "LogicalBlockAddress = 0x%08x\n", address);
        EXPECT_TRUE(Has(text, expected)) << text;
        std::snprintf(expected, sizeof expected, "TransferBlocks = 0x%04x\n", blocks);
        EXPECT_TRUE(Has(text, expected)) << text;
        EXPECT_TRUE(Has(text, cbw[15] == kRead10 ? "OperationCode = READ(10) [28]" : "OperationCode = WRITE(10) [2a]"))
            << text;
        ++shown;
    }
    EXPECT_GE(shown, 2);
}

// The record list's CBW and CSW columns and the decoder find the same wrappers, on every record.
TEST_F(StorageCaptureTest, WrapperColumnsAgreeWithTheDecoder) {
    int wrappers = 0;
    for (const _LOGHDR* record : s_capture->Records()) {
        const CLogRecordDecode view(record, Document());
        CString cbwColumn;
        CString cswColumn;
        RecordFormat::Cbw(view, cbwColumn);
        RecordFormat::Csw(view, cswColumn);
        const std::string calls = Markup(record, Document());
        const ULONG sequence = LogHdr::SequenceNumber(Bytes(record));
        EXPECT_EQ(cbwColumn != "---", Has(calls, "BeginElement|CBW\n")) << sequence;
        EXPECT_EQ(cswColumn != "---", Has(calls, "BeginElement|CSW\n")) << sequence;
        if (cbwColumn != "---")
            EXPECT_EQ(std::string(cbwColumn.GetString()),
                      Value(calls, "dCBWTag") + "(" + Value(calls, "CDB.OperationCode") + ")");
        if (cswColumn != "---")
            EXPECT_EQ(std::string(cswColumn.GetString()),
                      Value(calls, "dCSWTag") + "(" + Value(calls, "bCSWStatus") + ")");
        wrappers += cbwColumn != "---" || cswColumn != "---";
    }
    EXPECT_GT(wrappers, 0);
}

// What the pane and its data bar show for a record.
struct PaneView {
    std::string urb;
    std::string title;
    std::vector<BYTE> bytes;
};

PaneView ShowInPane(const _LOGHDR* record, CUSBLog* document) {
    tdl::test::RecordingDataBar bar;
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(document, record));
    return {pane.Shown("URB"), bar.Title(), bar.Bytes()};
}

// A 128 KiB transfer is captured as a record with its first 64 KiB and a continuation with the rest. Both
// show their part of the buffer on the side it was captured: a read's on completion, a write's on the
// request.
TEST_F(StorageCaptureTest, LargeTransfersShowEachPieceOnItsSide) {
    const struct {
        ULONG tag;
        ULONG continuationTag;
        const char* side;
    } kinds[] = {
        {LogTag::urbC, LogTag::cCnt, "(Input)"},
        {LogTag::urbI, LogTag::iCnt, "(Output)"},
    };
    const std::vector<const _LOGHDR*>& records = s_capture->Records();
    for (const auto& kind : kinds) {
        int pairs = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            const uint8_t* first = Bytes(records[i]);
            if (LogHdr::LogType(first) != kind.tag || LogHdr::Function(first) != 9 ||
                LogHdr::Continuation(first) != LogTag::More ||
                !CLogRecordDecode(records[i], Document()).IsMassStorageBot())
                continue;
            // Each piece: its starting offset, its side and range in the data bar's title, and its bytes as
            // they lie behind the record's fixed part.
            const auto expectPiece = [&](const _LOGHDR* record, size_t dataOffset, const char* start,
                                         const char* range) {
                const PaneView piece = ShowInPane(record, Document());
                EXPECT_TRUE(Has(piece.urb, std::string("Starting Offset = ") + start + "\n")) << piece.urb;
                EXPECT_TRUE(Has(piece.title, kind.side)) << piece.title;
                EXPECT_TRUE(Has(piece.title, range)) << piece.title;
                ASSERT_EQ(piece.bytes.size(), 0x10000u);
                EXPECT_EQ(
                    0, std::memcmp(piece.bytes.data(), Bytes(record) + LOGHDR_SIZE + dataOffset, piece.bytes.size()));
            };
            expectPiece(records[i], sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER), "0x00000000",
                        "(0x0 - 0xFFFF / 0x20000)");

            // The continuation is the next record of the same stack.
            size_t next = i + 1;
            while (next < records.size() && LogHdr::StackID(Bytes(records[next])) != LogHdr::StackID(first))
                ++next;
            ASSERT_LT(next, records.size());
            ASSERT_EQ(LogHdr::LogType(Bytes(records[next])), kind.continuationTag);
            expectPiece(records[next], sizeof(URB_RECORD_CONTINUATION), "0x00010000", "(0x10000 - 0x1FFFF / 0x20000)");
            ++pairs;
        }
        EXPECT_GT(pairs, 0) << kind.side;
    }
}

// The storage stack's records, one of each kind (command and status wrappers, data, large pieces), cut at
// every length: a wrapper is decoded only from a whole record, and no cut reads past its bytes.
TEST_F(StorageCaptureTest, CapturedRecordsCutShortStayWithinTheirBytes) {
    std::map<std::string, const _LOGHDR*> kinds;
    for (const _LOGHDR* record : s_capture->Records()) {
        const CLogRecordDecode view(record, Document());
        const uint8_t* bytes = Bytes(record);
        const std::string kind = std::to_string(LogHdr::LogType(bytes)) + "/" +
                                 std::to_string(LogHdr::Function(bytes)) +
                                 (view.FindCbw()   ? "/CBW"
                                  : view.FindCsw() ? "/CSW"
                                                   : "") +
                                 (LogHdr::DataSize(bytes) > 0x10000 ? "/large" : "");
        if (view.IsMassStorageBot())
            kinds.emplace(kind, record);
    }
    ASSERT_GE(kinds.size(), 4u);
    for (const auto& [kind, record] : kinds) {
        SCOPED_TRACE(kind);
        cut_test::ExpectCutsStayWithinTheirBytes(record, Document(), 120);
        const ULONG full = LogHdr::DataSize(Bytes(record));
        cut_test::ForEachCut(record, 120, [&](const _LOGHDR* header, ULONG size) {
            const std::string calls = Markup(header, Document());
            if (size < full) {
                EXPECT_FALSE(Has(calls, "BeginElement|CBW\n")) << size;
                EXPECT_FALSE(Has(calls, "BeginElement|CSW\n")) << size;
            }
        });
    }
}

// The Log Details pane as a user sees it: the stick's READ(10) command wrapper with its command block, and a
// Get Max LUN on the same stack with the LUN count it brought back.
TEST_F(StorageCaptureTest, WrapperAndClassRequestAreDrawn) {
    const _LOGHDR* read = nullptr;
    for (const _LOGHDR* record : s_capture->Records()) {
        const CLogRecordDecode view(record, Document());
        const BYTE* cbw = view.FindCbw();
        if (cbw && cbw[15] == kRead10 && view.IsMassStorageBot()) {
            read = record;
            break;
        }
    }
    ASSERT_NE(read, nullptr);
    URB_RECORD_VENDOR_CLASS_REQUEST request{};
    request.Head.Length = 0x50;
    request.Head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    request.Request = 0xFE;
    request.TransferFlags = URB_RECORD_TRANSFER_DIRECTION_IN;
    request.TransferBufferLength = 1;
    std::vector<uint8_t> payload(sizeof request + 1, 0);
    std::memcpy(payload.data(), &request, sizeof request);
    const std::vector<uint8_t> getMaxLun = tdl::test::RecordBuilder(LogTag::urbC)
                                               .Function(URB_FUNCTION_CLASS_INTERFACE)
                                               .Sequence(9000)
                                               .StackId(LogHdr::StackID(Bytes(read)))
                                               .Part1(payload)
                                               .Build();

    decoder_test::LogDetailsWindow window(900);
    ASSERT_TRUE(window.Created());
    tdl::test::LogDetailsPane& pane = window.Pane();
    ASSERT_TRUE(pane.ShowRecord(Document(), read));
    EXPECT_TRUE(Has(pane.Shown("CBW"), "TransferBlocks = ")) << pane.Shown();
    EXPECT_TRUE(window.Save("log_details_read10_cbw.png"));
    ASSERT_TRUE(pane.ShowRecord(Document(), getMaxLun));
    EXPECT_EQ(pane.Shown("CBW"), "");
    EXPECT_TRUE(Has(pane.Shown("URB"), "Max LUN = 0x00 (zero-based)")) << pane.Shown();
    EXPECT_TRUE(window.Save("log_details_get_max_lun.png"));
}

} // namespace
