// The plain URB decoder over a real capture of one round of every request family on the default machine:
// each URB function the class drivers sent reaches its own decoder and is whole as the driver wrote it, the
// loopback device's interface selection walks the 64-bit entries, and every captured record cut short at any
// length stays within its bytes.
#include "tests/support/DecoderCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/app/decoders/CutRecords.h"
#include "tests/app/decoders/UrbMarkup.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace {

using tdl::test::DecoderCapture;

class RequestFamilyCaptureTest : public tdl::test::DecoderCaptureTest<RequestFamilyCaptureTest> {
protected:
    static void SetUpTestSuite() {
        DecoderCapture::Options options;
        options.workload = sim::WorkloadKind::RequestFamilies;
        Capture(options);
    }
};

const uint8_t* Bytes(const _LOGHDR* record) {
    return reinterpret_cast<const uint8_t*>(record);
}

USHORT FunctionCode(const _LOGHDR* record) {
    return static_cast<USHORT>(LogHdr::Function(Bytes(record)) & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS);
}

bool IsUrb(const _LOGHDR* record) {
    const ULONG tag = LogHdr::LogType(Bytes(record));
    return tag == LogTag::urbI || tag == LogTag::urbC;
}

// Codes the driver writes as a header alone: whole records whose head reads unknown.
bool IsHeaderOnly(USHORT code) {
    return code == 22 || code == 29 || (code >= 43 && code <= 47);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The plain decoder's mark-up form of the record (slots 1 to 5 around the body).
std::string PlainMarkup(const _LOGHDR* record, CUSBLog* document) {
    tdl::test::RecordingOutputImp out;
    UrbOutputer decoder(&out, document, record);
    decoder.OutputMarkupRecord(OUTPUT_MODE_XML);
    return out.Text();
}

TEST_F(RequestFamilyCaptureTest, EveryFunctionSentReachesItsOwnDecoderWhole) {
    std::set<USHORT> seen;
    for (const _LOGHDR* record : s_capture->Records()) {
        if (!IsUrb(record))
            continue;
        const USHORT code = FunctionCode(record);
        seen.insert(code);
        const ULONG sequence = LogHdr::SequenceNumber(Bytes(record));
        const std::string calls = PlainMarkup(record, s_capture->Document());
        EXPECT_TRUE(Has(calls, "BeginElement|" + UrbElementOf(code) + "\n")) << code << " #" << sequence << "\n"
                                                                             << calls;
        EXPECT_TRUE(MarkupBalanced(calls)) << code << " #" << sequence << "\n" << calls;
        EXPECT_FALSE(Has(calls, "Truncated")) << code << " #" << sequence << "\n" << calls;
        // The mark-up leaves an unknown pipe's rows out; anything else unknown in the body is a field the record
        // lacks. (A device that arrived during the capture is not in the model, so its name is unknown.)
        const size_t body = calls.find("BeginElement|URB-");
        if (!IsHeaderOnly(code) && body != std::string::npos)
            EXPECT_FALSE(Has(calls.substr(body), "???")) << code << " #" << sequence << "\n" << calls;

        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(s_capture->Document(), record));
        EXPECT_FALSE(Has(pane.Shown(), "Truncated")) << code << " #" << sequence << "\n" << pane.Shown();
    }
    // The round sends the transfers, the selections, the requests and the endpoint functions.
    for (USHORT code : {0, 1, 2, 8, 9, 10, 11, 27, 42, 50, 51, 0x1000, 0x1001, 0x1002})
        EXPECT_TRUE(seen.count(code)) << code;
}

// The class drivers' requests start out with the status their IRPs were allocated with, success; the
// standard, class and vendor requests complete as the control transfers the port driver made of them, and
// decode as such.
TEST_F(RequestFamilyCaptureTest, RequestsStartSucceededAndCompleteAsControlTransfers) {
    std::map<ULONG64, USHORT> sent; // IRP -> the function of its latest request record
    std::set<USHORT> completedAsControl;
    for (const _LOGHDR* record : s_capture->Records()) {
        const ULONG tag = LogHdr::LogType(Bytes(record));
        const ULONG64 irp = LogHdr::Irp(Bytes(record));
        if (tag == LogTag::urbI) {
            EXPECT_EQ(0u, LogHdr::Status(Bytes(record))) << "#" << LogHdr::SequenceNumber(Bytes(record));
            sent[irp] = FunctionCode(record);
        } else if (tag == LogTag::urbC && sent.count(irp)) {
            const USHORT function = sent[irp];
            // 11 to 42 are the standard, class and vendor requests, but for the reserved codes and RESET_PIPE.
            if (function >= 11 && function <= 42 && function != 22 && function != 29 && function != 30) {
                EXPECT_EQ(URB_FUNCTION_CONTROL_TRANSFER, FunctionCode(record)) << function;
                completedAsControl.insert(function);
            }
        }
    }
    for (USHORT function : {11, 27})
        EXPECT_TRUE(completedAsControl.count(function)) << function;
}

// The loopback device's alternate setting 1: one interface entry of the 64-bit layout with its four pipes.
TEST_F(RequestFamilyCaptureTest, LoopbackSelectInterfaceShowsItsFourPipes) {
    int found = 0;
    for (const _LOGHDR* record : s_capture->Records(LogTag::urbC, URB_FUNCTION_SELECT_INTERFACE)) {
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(s_capture->Document(), record));
        const std::string shown = pane.Shown("URB");
        if (!Has(shown, "NumberOfPipes = 0x00000004\n"))
            continue;
        ++found;
        EXPECT_TRUE(Has(shown, "Interface-0 = USBD_INTERFACE_INFORMATION\n  Length = 0x0078\n")) << shown;
        for (const char* pipe : {"Pipe-0", "Pipe-1", "Pipe-2", "Pipe-3"})
            EXPECT_TRUE(Has(shown, std::string("  ") + pipe + " = USBD_PIPE_INFORMATION\n")) << shown;
        EXPECT_FALSE(Has(shown, "Pipe-4")) << shown;
        EXPECT_TRUE(Has(shown, "EndpointAddress = 0x83 (IN,3)\n    Interval = 0x01\n    PipeType = Isochronous (1)\n"))
            << shown;
        EXPECT_TRUE(Has(shown, "MaximumTransferSize = 0x00400000\n")) << shown;
        EXPECT_FALSE(Has(shown, "???")) << shown;
    }
    EXPECT_GT(found, 0);
}

// One captured record of each type and function, cut at every length (past 200 bytes, every fixed part,
// interface entries and descriptor heads are behind; a longer cut only shortens data).
TEST_F(RequestFamilyCaptureTest, CapturedRecordsCutShortStayWithinTheirBytes) {
    std::map<std::pair<ULONG, ULONG>, const _LOGHDR*> kinds;
    for (const _LOGHDR* record : s_capture->Records())
        kinds.emplace(std::make_pair(LogHdr::LogType(Bytes(record)), LogHdr::Function(Bytes(record))), record);
    for (const auto& [kind, record] : kinds)
        cut_test::ExpectCutsStayWithinTheirBytes(record, s_capture->Document(), 200);
}

} // namespace
