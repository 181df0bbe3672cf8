// Class-request URB records for the class decoders' tests, shaped as the capture driver writes them: a
// class-device, class-interface or class-other URB (30-byte fixed part), a control-ex (54 bytes) or a control
// transfer (50 bytes, as the port driver completes every class request), with the captured data behind the
// fixed part; and what the Log Details pane and the mark-up form show of them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/decoders/framework/LogOutputer.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"
#include "usb.h"

namespace classtest {

struct ClassRecord {
    ULONG tag = LogTag::urbC;
    USHORT function = URB_FUNCTION_CONTROL_TRANSFER_EX; // or CONTROL_TRANSFER, or a class function
    USHORT stack = 0;
    BYTE bmRequestType = 0; // control transfers: the setup packet's; class URBs: the reserved bits at +16
    BYTE bRequest = 0;
    USHORT wValue = 0;
    USHORT wIndex = 0;
    USHORT wLength = 0;
    ULONG transferFlags = 0;     // class URBs; bit 0 is the direction
    ULONG length = 0xFFFFFFFF;   // TransferBufferLength; the default is the data's size
    ULONG captured = 0xFFFFFFFF; // a control transfer's count of bytes carried; the default is the data's size
    ULONG status = 0;
    std::vector<uint8_t> data;
    ULONG sequence = 42;
};

inline std::vector<uint8_t> Payload(const ClassRecord& r) {
    const ULONG size = static_cast<ULONG>(r.data.size());
    const ULONG length = r.length == 0xFFFFFFFF ? size : r.length;
    std::vector<uint8_t> payload;
    URB_RECORD_HEAD head{};
    head.Length = 0x88;
    head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    head.UsbdStatus = r.status;
    head.DeviceHandle = 0xFFFF800012345678;
    const uint8_t setup[8] = {r.bmRequestType,
                              r.bRequest,
                              static_cast<uint8_t>(r.wValue),
                              static_cast<uint8_t>(r.wValue >> 8),
                              static_cast<uint8_t>(r.wIndex),
                              static_cast<uint8_t>(r.wIndex >> 8),
                              static_cast<uint8_t>(r.wLength),
                              static_cast<uint8_t>(r.wLength >> 8)};
    const ULONG captured = r.captured == 0xFFFFFFFF ? size : r.captured;
    if (r.function == URB_FUNCTION_CONTROL_TRANSFER_EX) {
        URB_RECORD_CONTROL_TRANSFER_EX part{};
        part.Head = head;
        part.Pipe.InterfaceNumber = 0xFF;
        part.TransferFlags = (r.bmRequestType & 0x80) ? 1 : 0;
        part.Timeout = 5000;
        part.TransferBufferLength = length;
        part.CapturedLength = captured;
        std::memcpy(part.SetupPacket, setup, 8);
        payload.resize(sizeof part);
        std::memcpy(payload.data(), &part, sizeof part);
    } else if (r.function == URB_FUNCTION_CONTROL_TRANSFER) {
        URB_RECORD_CONTROL_TRANSFER part{};
        part.Head = head;
        part.Pipe.InterfaceNumber = 0xFF;
        part.TransferFlags = (r.bmRequestType & 0x80) ? 1 : 0;
        part.TransferBufferLength = length;
        part.CapturedLength = captured;
        std::memcpy(part.SetupPacket, setup, 8);
        payload.resize(sizeof part);
        std::memcpy(payload.data(), &part, sizeof part);
    } else {
        URB_RECORD_VENDOR_CLASS_REQUEST part{};
        part.Head = head;
        part.RequestTypeReservedBits = r.bmRequestType;
        part.Request = r.bRequest;
        part.Value = r.wValue;
        part.Index = r.wIndex;
        part.TransferFlags = r.transferFlags;
        part.TransferBufferLength = length;
        payload.resize(sizeof part);
        std::memcpy(payload.data(), &part, sizeof part);
    }
    payload.insert(payload.end(), r.data.begin(), r.data.end());
    return payload;
}

inline std::vector<uint8_t> Build(const ClassRecord& r) {
    return tdl::test::RecordBuilder(r.tag)
        .Function(r.function)
        .Sequence(r.sequence)
        .StackId(r.stack)
        .Part1(Payload(r))
        .Build();
}

inline const _LOGHDR* Header(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const _LOGHDR*>(record.data());
}

// What the Log Details pane shows in its "URB" category.
inline std::string Shown(const std::vector<uint8_t>& record, CUSBLog* document) {
    tdl::test::LogDetailsPane pane;
    if (!pane.ShowRecord(document, Header(record)))
        return "no decoder";
    return pane.Shown("URB");
}

// The calls of the record's body in a mode.
inline std::string Calls(const std::vector<uint8_t>& record, int mode, CUSBLog* document) {
    tdl::test::RecordingOutputImp imp;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&imp, document, Header(record)));
    if (!decoder)
        return "no decoder";
    decoder->OutputKindTitle(mode);
    return imp.Text();
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A class decoder's test: a document with a stack of each class kind (hub 1, HID 2, printer 4), and what
// the pane and the mark-up form show of a record built for it.
class ClassDecoderTest : public testing::Test {
protected:
    std::string Grid(const ClassRecord& r) { return Shown(Build(r), m_document.Get()); }
    std::string Markup(const ClassRecord& r) { return Calls(Build(r), OUTPUT_MODE_XML, m_document.Get()); }

    // A record and a piece of what it must show.
    struct Shows {
        ClassRecord record;
        const char* text;
    };
    // Each record's grid holds its text.
    void ExpectGrid(std::initializer_list<Shows> cases) {
        for (const Shows& c : cases) {
            const std::string grid = Grid(c.record);
            EXPECT_TRUE(Has(grid, c.text)) << c.text << "\n---\n" << grid;
        }
    }
    // Each record's mark-up holds its text and closes every element it opens.
    void ExpectMarkup(std::initializer_list<Shows> cases) {
        for (const Shows& c : cases) {
            const std::string calls = Markup(c.record);
            EXPECT_TRUE(Has(calls, c.text)) << c.text << "\n---\n" << calls;
            EXPECT_TRUE(tdl::test::MarkupBalanced(calls)) << calls;
        }
    }

    tdl::test::DecoderDocument m_document;
};

// The record cut at every shorter size, each an exact-size heap copy whose DataSize says so, through the
// pane, the mark-up form and the HTML mode: AddressSanitizer catches a read past the bytes; every element
// opened is closed, and at most one "Truncated" row is shown.
inline void CheckEveryCut(const std::vector<uint8_t>& record, CUSBLog* document) {
    const ULONG full = LogHdr::DataSize(record.data());
    for (ULONG size = 0; size <= full; ++size) {
        std::vector<uint8_t> cut(record.begin(), record.begin() + LOGHDR_SIZE + size);
        cut.shrink_to_fit();
        tdl::StoreLe<ULONG>(cut.data() + offsetof(_LOGHDR, DataSize), size);
        const std::string shown = Shown(cut, document);
        EXPECT_EQ(shown.find("Truncated"), shown.rfind("Truncated")) << shown;
        EXPECT_TRUE(tdl::test::MarkupBalanced(Calls(cut, OUTPUT_MODE_XML, document))) << "size " << size;
        Calls(cut, OUTPUT_MODE_HTML, document);
    }
}

} // namespace classtest
