// The bulk-only transport's wrappers on built records: which transfers are wrappers, the wrapper rows in
// each medium, the command block section inside the command wrapper, and wrappers the record holds only in
// part. Records are exact-size copies, so AddressSanitizer catches a read past the captured data.
#include "app/decoders/urb/MscBOTUrbOutputer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/app/decoders/CutRecords.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using tdl::test::RecordBuilder;
using tdl::test::UrbTransferPart1;

// The pipe's interface byte is the marker of a record without pipe information.
constexpr size_t kMarkerOffset =
    offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, Pipe) + offsetof(URB_RECORD_PIPE, InterfaceNumber);

struct Transfer {
    ULONG tag = LogTag::urbI;
    UCHAR endpoint = 0x02;
    ULONG transferFlags = 0;
    bool noPipeInformation = false;
    std::vector<uint8_t> data;
    ULONG length = 0; // TransferBufferLength; 0 takes the data's size
    ULONG captured = 0;
    USHORT stack = 0;
};

std::vector<uint8_t> Build(const Transfer& t) {
    auto part1 = UrbTransferPart1(9, 0, t.endpoint, t.transferFlags);
    const ULONG length = t.length ? t.length : static_cast<ULONG>(t.data.size());
    const ULONG captured = t.captured ? t.captured : static_cast<ULONG>(t.data.size());
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &length, 4);
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &captured, 4);
    if (t.noPipeInformation)
        part1[kMarkerOffset] = 0xFF;
    return RecordBuilder(t.tag).Function(9).StackId(t.stack).Part1(part1).Part2(t.data).Build();
}

// A command wrapper: tag 0x12345678, 0x200 bytes to come, then the flags, LUN, length and command block.
std::vector<uint8_t> Cbw(BYTE flags, BYTE lun, BYTE cbLength, std::vector<uint8_t> cdb) {
    std::vector<uint8_t> w(31, 0);
    std::memcpy(w.data(), "USBC\x78\x56\x34\x12\x00\x02\x00\x00", 12);
    w[12] = flags;
    w[13] = lun;
    w[14] = cbLength;
    std::copy(cdb.begin(), cdb.end(), w.begin() + 15);
    return w;
}

std::vector<uint8_t> Csw(BYTE status) {
    std::vector<uint8_t> w(13, 0);
    std::memcpy(w.data(), "USBS\x78\x56\x34\x12\x10\x00\x00\x00", 12);
    w[12] = status;
    return w;
}

// What OutputBulkPayload emits for the record.
std::string Emit(const std::vector<uint8_t>& record, int mode) {
    std::vector<uint8_t> copy(record);
    tdl::test::RecordingOutputImp out;
    MscBOTUrbOutputer decoder(&out, nullptr, reinterpret_cast<const _LOGHDR*>(copy.data()));
    const ULONG payloadLength = LogHdr::DataSize(copy.data());
    decoder.OutputBulkPayload(mode, payloadLength, copy.data() + LOGHDR_SIZE);
    return out.Text();
}

const std::vector<uint8_t> kRead10 = {0x28, 0, 0, 0, 0x10, 0, 0, 0, 0x08, 0};

TEST(MscBOTUrbOutputer, CommandWrapperFillsItsCategoryWithTheCommandBlockInside) {
    const auto record = Build({.data = Cbw(0x80, 0x00, 10, kRead10)});
    EXPECT_EQ(Emit(record, OUTPUT_MODE_GRID), "ShowCategory|CBW\n"
                                              "AddDescribedItem|Command Block Wrapper||-|1\n"
                                              "AddItem|dCBWSignature|0x43425355|-\n"
                                              "AddItem|dCBWTag|0x12345678|-\n"
                                              "AddItem|dCBWDataTransferLength|0x00000200|-\n"
                                              "AddItem|bmCBWFlags|0x80|-\n"
                                              "AddItem|bCBWLUN|0x00|-\n"
                                              "AddItem|bCBWCBLength|0x0a|-\n"
                                              "AddItem|CDB.OperationCode|0x28|-\n"
                                              "AddItem|CBWCB|28000000100000000800|-\n"
                                              "BeginCategory|CDB10.???\n"
                                              "AddItem|OperationCode|READ(10) [28]|-\n"
                                              "AddItem|LogicalBlockAddress|0x00001000|-\n"
                                              "AddItem|TransferBlocks|0x0008|-\n"
                                              "AddItem|Control|0x00|-\n"
                                              "ExpandCurrent\n"
                                              "EndGroup\n"
                                              "ExpandCurrent\n"
                                              "EndGroup\n");
    EXPECT_EQ(Emit(record, OUTPUT_MODE_XML), "BeginElement|CBW\n"
                                             "WriteValue|dCBWSignature|43425355\n"
                                             "WriteValue|dCBWTag|12345678\n"
                                             "WriteValue|dCBWDataTransferLength|00000200\n"
                                             "WriteValue|bmCBWFlags|80\n"
                                             "AddAttribute|Direction|Data-In\n"
                                             "WriteValue|bCBWLUN|00\n"
                                             "WriteValue|bCBWCBLength|0a\n"
                                             "WriteValue|CDB.OperationCode|28\n"
                                             "AddAttribute|Name|READ(10)\n"
                                             "WriteValue|CBWCB|28000000100000000800\n"
                                             "BeginElement|CDB10.Unknown\n"
                                             "WriteValue|OperationCode|READ(10).[28]\n"
                                             "WriteValue|LogicalBlockAddress|00001000\n"
                                             "WriteValue|TransferBlocks|0008\n"
                                             "WriteValue|Control|00\n"
                                             "EndElement\n"
                                             "EndGroup\n"
                                             "EndElement\n"
                                             "EndGroup\n");
    EXPECT_EQ(Emit(record, OUTPUT_MODE_HTML), "");
}

// The name of the element a record of the mark-up document stands for.
std::string ElementName(const CMarkup& markup, int i) {
    const std::string text = markup_test::Text(markup);
    const size_t begin = static_cast<size_t>(markup.GetPosition(i).StartTagBegin) + 1;
    return text.substr(begin, text.find_first_of(" />", begin) - begin);
}

// A command wrapper of every command set in an XML report: the document parses back to the elements it was
// made of, the command block's element among them, and the transfer's pipe information stays inside its URB
// element, after the wrapper.
TEST(MscBOTUrbOutputer, CommandWrappersOfEveryCommandSetKeepTheReportWhole) {
    const tdl::test::DecoderDocument document;
    CDeviceStack* stack = document.Get()->GetStackTree()->FindStackById(3);
    ASSERT_NE(nullptr, stack);
    const auto record = Build({.data = Cbw(0x80, 0x00, 10, kRead10), .stack = 3});
    for (BYTE subclass = 0; subclass <= 7; ++subclass) {
        SCOPED_TRACE(subclass);
        stack->UsbSubClass = subclass;
        CXmlOutput writer;
        ASSERT_TRUE(writer.BeginDocument("Records"));
        XmlOutputImp xml(&writer);
        std::unique_ptr<LogOutputer>(
            LogOutputer::Create(&xml, document.Get(), reinterpret_cast<const _LOGHDR*>(record.data())))
            ->OutputMarkupRecord(OUTPUT_MODE_XML);
        const CMarkup& markup = writer.GetMarkup();
        EXPECT_TRUE(markup_test::SameRecordsAsParsed(markup));
        int urb = 0, pipe = 0, cbw = 0, cdb = 0;
        for (int i = 1; i < markup.GetPositionCount(); ++i) {
            const std::string name = ElementName(markup, i);
            urb = name == "URB-BulkInterruptTransfer" ? i : urb;
            pipe = name == "PipeInformation" ? i : pipe;
            cbw = name == "CBW" ? i : cbw;
            cdb = name.rfind("CDB10.", 0) == 0 ? i : cdb;
        }
        ASSERT_TRUE(urb != 0 && pipe != 0 && cbw != 0 && cdb != 0) << markup_test::Text(markup);
        EXPECT_EQ(urb, markup.GetPosition(pipe).Parent);
        EXPECT_EQ(urb, markup.GetPosition(cbw).Parent);
        EXPECT_EQ(cbw, markup.GetPosition(cdb).Parent);
        EXPECT_EQ(pipe, markup.GetPosition(cbw).NextSibling);
    }
}

TEST(MscBOTUrbOutputer, StatusWrapperFillsItsCategory) {
    const auto record = Build({.tag = LogTag::urbC, .endpoint = 0x81, .data = Csw(1)});
    EXPECT_EQ(Emit(record, OUTPUT_MODE_GRID), "ShowCategory|CSW\n"
                                              "AddDescribedItem|Command Status Wrapper||-|1\n"
                                              "AddItem|dCSWSignature|0x53425355|-\n"
                                              "AddItem|dCSWTag|0x12345678|-\n"
                                              "AddItem|dCSWDataResidue|0x00000010|-\n"
                                              "AddItem|bCSWStatus|0x01|-\n"
                                              "ExpandCurrent\n"
                                              "EndGroup\n");
    EXPECT_EQ(Emit(record, OUTPUT_MODE_XML), "BeginElement|CSW\n"
                                             "WriteValue|dCSWSignature|53425355\n"
                                             "WriteValue|dCSWTag|12345678\n"
                                             "WriteValue|dCSWDataResidue|00000010\n"
                                             "WriteValue|bCSWStatus|01\n"
                                             "EndElement\n"
                                             "EndGroup\n");
}

TEST(MscBOTUrbOutputer, OnlyWholeWrappersInTheirDirectionAreDecoded) {
    const auto cbw = Cbw(0, 0, 10, kRead10);
    const struct {
        Transfer transfer;
        const char* firstLine; // empty: nothing shown
        const char* what;
    } cases[] = {
        {{.data = cbw}, "ShowCategory|CBW", "command wrapper sent"},
        {{.tag = LogTag::urbC, .data = cbw}, "", "command wrapper in a completed record"},
        {{.endpoint = 0x82, .data = cbw}, "", "command wrapper on an IN pipe"},
        {{.endpoint = 0x82, .transferFlags = 0, .noPipeInformation = true, .data = cbw},
         "ShowCategory|CBW",
         "no pipe information: the transfer flags say OUT"},
        {{.endpoint = 0x02, .transferFlags = 1, .noPipeInformation = true, .data = cbw},
         "",
         "no pipe information: the transfer flags say IN"},
        {{.data = std::vector<uint8_t>(cbw.begin(), cbw.begin() + 8), .length = 31, .captured = 8},
         "",
         "command wrapper captured with 8 bytes"},
        {{.data = cbw, .captured = 30}, "", "captured length short of the wrapper"},
        {{.tag = LogTag::urbC, .endpoint = 0x81, .data = Csw(0)}, "ShowCategory|CSW", "status wrapper received"},
        {{.tag = LogTag::urbI, .endpoint = 0x81, .data = Csw(0)}, "", "status wrapper in an initiated record"},
        {{.tag = LogTag::urbC, .endpoint = 0x81, .data = std::vector<uint8_t>(13, 0)}, "", "no signature"},
    };
    for (const auto& c : cases) {
        const std::string text = Emit(Build(c.transfer), OUTPUT_MODE_GRID);
        EXPECT_EQ(text.substr(0, text.find('\n')), c.firstLine) << c.what;
    }
}

TEST(MscBOTUrbOutputer, WrapperFieldsKeepTheirOwnBits) {
    // The LUN is four bits, the length five; a length beyond the 16-byte field is shown but never read past.
    const auto lun = Emit(Build({.data = Cbw(0x00, 0x12, 0x2A, kRead10)}), OUTPUT_MODE_XML);
    EXPECT_NE(lun.find("WriteValue|bCBWLUN|02\n"), std::string::npos) << lun;
    EXPECT_NE(lun.find("WriteValue|bCBWCBLength|0a\n"), std::string::npos) << lun;
    EXPECT_NE(lun.find("AddAttribute|Direction|Data-Out\n"), std::string::npos) << lun;
    EXPECT_NE(lun.find("WriteValue|CBWCB|28000000100000000800\n"), std::string::npos) << lun;

    std::vector<uint8_t> cdb(16, 0x11);
    cdb[0] = 0x28;
    const auto longer = Emit(Build({.data = Cbw(0x00, 0, 31, cdb)}), OUTPUT_MODE_GRID);
    EXPECT_NE(longer.find("AddItem|CBWCB|28111111111111111111111111111111|-\n"
                          "AddReadOnlyItem|Malformed|bCBWCBLength 31 > 16\n"),
              std::string::npos)
        << longer;
    EXPECT_NE(longer.find("BeginCategory|CDB31.???\n"), std::string::npos) << longer;
}

TEST(MscBOTUrbOutputer, StatedLengthTitlesTheCommandSectionWithoutItsTopBits) {
    // The top three bits of bCBWCBLength are reserved: 0xEA is a ten-byte block. A length of 0 still gets
    // the command decoded from the field as it stands.
    const struct {
        BYTE cbLength;
        const char* lines;
    } cases[] = {
        {0xEA, "AddItem|bCBWCBLength|0x0a|-\n"
               "AddItem|CDB.OperationCode|0x28|-\n"
               "AddItem|CBWCB|28000000100000000800|-\n"
               "BeginCategory|CDB10.???\n"
               "AddItem|OperationCode|READ(10) [28]|-\n"},
        {0x00, "AddItem|bCBWCBLength|0x00|-\n"
               "AddItem|CDB.OperationCode|0x28|-\n"
               "AddItem|CBWCB||-\n"
               "BeginCategory|CDB0.???\n"
               "AddItem|OperationCode|READ(10) [28]|-\n"
               "AddItem|LogicalBlockAddress|0x00001000|-\n"},
    };
    for (const auto& c : cases) {
        const std::string text = Emit(Build({.data = Cbw(0x80, 0, c.cbLength, kRead10)}), OUTPUT_MODE_GRID);
        EXPECT_NE(text.find(c.lines), std::string::npos) << text;
        EXPECT_EQ(text.find("Malformed"), std::string::npos) << text;
    }
}

TEST(MscBOTUrbOutputer, RecordsCutShortShowNoWrapperAndStayWithinTheirBytes) {
    // Every shorter DataSize of each wrapper record, alone on the heap: only the whole record is a wrapper.
    std::vector<uint8_t> longCdb(16, 0xEE);
    const std::vector<uint8_t> records[] = {
        Build({.data = Cbw(0x80, 0x0F, 10, kRead10)}),
        Build({.data = Cbw(0x00, 0x00, 0xFF, longCdb)}),
        Build({.tag = LogTag::urbC, .endpoint = 0x81, .data = Csw(2)}),
    };
    for (const auto& record : records) {
        const ULONG full = LogHdr::DataSize(record.data());
        for (ULONG size = 0; size <= full; ++size) {
            std::unique_ptr<uint8_t[]> cut(new uint8_t[LOGHDR_SIZE + size]);
            std::memcpy(cut.get(), record.data(), LOGHDR_SIZE + size);
            tdl::StoreLe<ULONG>(cut.get() + offsetof(_LOGHDR, DataSize), size);
            for (int mode : {OUTPUT_MODE_XML, OUTPUT_MODE_GRID, OUTPUT_MODE_HTML}) {
                tdl::test::RecordingOutputImp out;
                MscBOTUrbOutputer decoder(&out, nullptr, reinterpret_cast<const _LOGHDR*>(cut.get()));
                decoder.OutputBulkPayload(mode, size, cut.get() + LOGHDR_SIZE);
                EXPECT_EQ(out.Lines().empty(), size < full || mode == OUTPUT_MODE_HTML) << size << " " << mode;
            }
        }
    }
}

TEST(MscBOTUrbOutputer, WrappersFillThePanesHiddenCategories) {
    tdl::test::LogDetailsPane pane;
    const auto show = [&pane](const std::vector<uint8_t>& record) {
        GridOutputImp grid(&pane);
        for (const char* caption : tdl::test::LogDetailsPane::kCategories)
            grid.HideCategory(caption);
        MscBOTUrbOutputer decoder(&grid, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()));
        decoder.OutputBulkPayload(OUTPUT_MODE_GRID, LogHdr::DataSize(record.data()), record.data() + LOGHDR_SIZE);
    };
    show(Build({.data = Cbw(0x80, 0, 10, kRead10)}));
    const std::string cbw = pane.Shown("CBW");
    EXPECT_NE(cbw.find("Command Block Wrapper"), std::string::npos) << cbw;
    EXPECT_NE(cbw.find("CDB10.???"), std::string::npos) << cbw;
    EXPECT_NE(cbw.find("OperationCode = READ(10) [28]"), std::string::npos) << cbw;
    EXPECT_EQ(pane.Shown("CSW"), "");

    // The next record's wrapper replaces the last one's rows.
    show(Build({.tag = LogTag::urbC, .endpoint = 0x81, .data = Csw(0)}));
    EXPECT_EQ(pane.Shown("CBW"), "");
    const std::string csw = pane.Shown("CSW");
    EXPECT_NE(csw.find("bCSWStatus = 0x00"), std::string::npos) << csw;
    show(Build({.tag = LogTag::urbC, .endpoint = 0x81, .data = Csw(1)}));
    EXPECT_EQ(pane.Shown("CSW").find("bCSWStatus = 0x00"), std::string::npos);
}

TEST(MscBOTUrbOutputer, BulkTransferShowsTheWrapperAndThenItsPipe) {
    // Through the pane's protocol: the wrapper goes to its own category between the transfer's data rows and
    // its pipe information, and the pipe block still lands in "URB".
    tdl::test::LogDetailsPane pane;
    const auto record = Build({.data = Cbw(0x80, 0, 10, kRead10)});
    GridOutputImp grid(&pane);
    for (const char* caption : tdl::test::LogDetailsPane::kCategories)
        grid.HideCategory(caption);
    MscBOTUrbOutputer decoder(&grid, nullptr, reinterpret_cast<const _LOGHDR*>(record.data()));
    decoder.OutputLogEntry();
    decoder.OutputTarget();
    decoder.OutputIrpFields();
    decoder.OutputKindTitle(OUTPUT_MODE_GRID);
    const std::string cbw = pane.Shown("CBW");
    EXPECT_NE(cbw.find("OperationCode = READ(10) [28]"), std::string::npos) << cbw;
    const std::string urb = pane.Shown("URB");
    EXPECT_NE(urb.find("Pipe Information"), std::string::npos) << urb;
    EXPECT_EQ(urb.find("dCBWTag"), std::string::npos) << urb;
    EXPECT_EQ(pane.Shown().find("Pipe Information"), pane.Shown().rfind("Pipe Information"));
}

// --- class requests ----------------------------------------------------------------------------------

constexpr USHORT kMscBotStack = 3; // the decoder document's bulk-only mass-storage stack

std::vector<uint8_t> RecordOn(ULONG tag, ULONG function, const std::vector<uint8_t>& payload) {
    return RecordBuilder(tag).Function(function).Sequence(5).StackId(kMscBotStack).Part1(payload).Build();
}

template <class T> std::vector<uint8_t> WithData(const T& part, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// A class-interface URB (function 27) with its request, direction and the data the record carries.
std::vector<uint8_t> ClassInterface(ULONG tag, BYTE request, ULONG flags, const std::vector<uint8_t>& data,
                                    ULONG length = 1, ULONG status = 0) {
    URB_RECORD_VENDOR_CLASS_REQUEST part{};
    part.Head.Length = 0x50;
    part.Head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    part.Head.UsbdStatus = status;
    part.Request = request;
    part.Index = 0x0002;
    part.TransferFlags = flags;
    part.TransferBufferLength = length;
    return RecordOn(tag, 27, WithData(part, data));
}

// A control-ex URB (function 50) on the default pipe with its setup packet and data.
std::vector<uint8_t> ControlEx(ULONG tag, const std::vector<uint8_t>& setup, const std::vector<uint8_t>& data) {
    URB_RECORD_CONTROL_TRANSFER_EX part{};
    part.Head.Length = 0x50;
    part.Head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    part.Pipe.EndpointAddress = 0x80;
    part.TransferFlags = setup[0] >> 7;
    part.Timeout = 5000;
    part.TransferBufferLength = setup[6];
    part.CapturedLength = static_cast<ULONG>(data.size());
    std::memcpy(part.SetupPacket, setup.data(), sizeof part.SetupPacket);
    return RecordOn(tag, 50, WithData(part, data));
}

// What the Log Details pane shows in "URB" for the record on the bulk-only stack.
std::string ShownUrb(const std::vector<uint8_t>& record) {
    const tdl::test::DecoderDocument document;
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(document.Get(), record));
    return pane.Shown("URB");
}

std::string Markup(const std::vector<uint8_t>& record) {
    const tdl::test::DecoderDocument document;
    tdl::test::RecordingOutputImp out;
    std::unique_ptr<LogOutputer> decoder(
        LogOutputer::Create(&out, document.Get(), reinterpret_cast<const _LOGHDR*>(record.data())));
    EXPECT_NE(decoder, nullptr);
    if (decoder)
        decoder->OutputKindTitle(OUTPUT_MODE_XML);
    return out.Text();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(MscBOTUrbOutputer, GetMaxLunShowsTheLunCountOfOneByteOnly) {
    const std::string one = ShownUrb(ClassInterface(LogTag::urbC, 0xFE, 1, {0x01}));
    EXPECT_TRUE(Has(one, "Setup Packet = MSC-BOT request from interface\n"
                         "  bmRequestType = 0xa1 (calculated)\n"
                         "  Request = 0xfe (GET_MAX_LUN)\n"
                         "  wValue = 0x0000\n"
                         "  Interface.wIndex = 0x0002\n"
                         "  Length = 0x00000001\n"
                         "  Data =\n"
                         "    Max LUN = 0x01 (zero-based)\n"))
        << one;
    EXPECT_FALSE(Has(one, "TransferBuffer")) << "the transport's requests show no buffer block\n" << one;

    const std::string two = ShownUrb(ClassInterface(LogTag::urbC, 0xFE, 1, {0x01, 0x02}, 2));
    EXPECT_TRUE(Has(two, "  Data =\n")) << two;
    EXPECT_FALSE(Has(two, "Max LUN")) << two;

    // The request itself, a failed one and one that is not from the device carry no answer.
    for (const auto& record :
         {ClassInterface(LogTag::urbI, 0xFE, 1, {}), ClassInterface(LogTag::urbC, 0xFE, 1, {0x01}, 1, 0xC0000004),
          ClassInterface(LogTag::urbC, 0xFE, 0, {0x01})}) {
        const std::string shown = ShownUrb(record);
        EXPECT_TRUE(Has(shown, "Request = 0xfe (GET_MAX_LUN)")) << shown;
        EXPECT_FALSE(Has(shown, "Data =")) << shown;
    }

    const std::string markup = Markup(ClassInterface(LogTag::urbC, 0xFE, 1, {0x01}));
    EXPECT_TRUE(Has(markup, "BeginElement|URB-MscBotClassInterface\n")) << markup;
    EXPECT_TRUE(Has(markup, "BeginSection|GetMaxLUN|Description|MSC-BOT request from interface\n"
                            "WriteValue|bmRequestType|a1\n"
                            "AddAttribute|Note|Calculated value\n"
                            "WriteValue|Request|fe\n"
                            "AddAttribute|Name|GET_MAX_LUN\n"
                            "WriteValue|wValue|0000\n"
                            "WriteValue|Interface.wIndex|0002\n"
                            "WriteValue|Length|00000001\n"
                            "WriteValue|MaxLUN|01\n"
                            "EndElement\n"
                            "EndGroup\n"
                            "EndElement\n"))
        << markup;
}

TEST(MscBOTUrbOutputer, ResetAndUnknownRequestsAreNamedAndShowNoLunCount) {
    const std::string reset = ShownUrb(ClassInterface(LogTag::urbC, 0xFF, 1, {0x01}));
    EXPECT_TRUE(Has(reset, "Request = 0xff (MSC_BOT_RESET)\n  wValue = 0x0000\n  Interface.wIndex = 0x0002\n"))
        << reset;
    EXPECT_FALSE(Has(reset, "Max LUN")) << reset;
    EXPECT_TRUE(Has(Markup(ClassInterface(LogTag::urbI, 0xFF, 0, {}, 0)),
                    "BeginSection|MSC-BOT-Reset|Description|MSC-BOT request to interface\n"));

    const std::string unknown = ShownUrb(ClassInterface(LogTag::urbC, 0x01, 1, {0x00}));
    EXPECT_TRUE(Has(unknown, "Request = 0x01 (Unknown)\n  wValue = 0x0000\n  wIndex = 0x0002\n")) << unknown;
    EXPECT_FALSE(Has(unknown, "Max LUN")) << unknown;
    const std::string markup = Markup(ClassInterface(LogTag::urbC, 0x01, 1, {0xAB, 0xCD}, 2));
    EXPECT_TRUE(Has(markup, "BeginSection|MscBotUnknown|Description|MSC-BOT request from interface\n")) << markup;
    EXPECT_TRUE(Has(markup, "AddAttribute|Name|Unknown\n")) << markup;
    EXPECT_TRUE(Has(markup, "WriteValue|wIndex|0002\n")) << markup;
    EXPECT_TRUE(Has(markup, "WriteValue|MaxLUN|abcd\n")) << markup;
}

TEST(MscBOTUrbOutputer, ControlExClassRequestShowsTheSetupFieldsAndThePipe) {
    const std::vector<uint8_t> getMaxLun = {0xA1, 0xFE, 0, 0, 0, 0, 1, 0};
    const std::string shown = ShownUrb(ControlEx(LogTag::urbC, getMaxLun, {0x00}));
    EXPECT_TRUE(Has(shown, "Timeout (msec) = 0x00001388\n"
                           "TransferBufferLength = 0x00000001\n"
                           "bmRequestType = 0xa1 (IN,CLASS,INTERFACE)\n"
                           "Setup Packet = MSC-BOT request from interface\n"
                           "  bmRequestType = 0xa1\n"
                           "  Request = 0xfe (GET_MAX_LUN)\n"
                           "  wValue = 0x0000\n"
                           "  Interface.wIndex = 0x0000\n"
                           "  Length = 0x00000001\n"
                           "  Data =\n"
                           "    Max LUN = 0x00 (zero-based)\n"
                           "Pipe Information =\n"))
        << shown;

    const std::string markup = Markup(ControlEx(LogTag::urbI, {0x21, 0xFF, 0, 0, 0, 0, 0, 0}, {}));
    EXPECT_TRUE(Has(markup, "WriteValue|bmRequestType|21\n"
                            "AddAttribute|Description|(OUT,CLASS,INTERFACE)\n"
                            "BeginSection|MSC-BOT-Reset|Description|MSC-BOT request to interface\n"
                            "WriteValue|bmRequestType|21\n"
                            "WriteValue|Request|ff\n"))
        << markup;
    EXPECT_TRUE(Has(markup, "BeginElement|PipeInformation\n")) << markup;
}

// The class records at every shorter size, alone on the heap, in each medium: fields the record does not
// hold read "???" after a single truncation row, and every element opened is closed.
TEST(MscBOTUrbOutputer, ClassRequestsCutShortStayWithinTheirBytes) {
    const std::vector<uint8_t> records[] = {
        ClassInterface(LogTag::urbC, 0xFE, 1, {0x01}),
        ControlEx(LogTag::urbC, {0xA1, 0xFE, 0, 0, 0, 0, 1, 0}, {0x03}),
    };
    const tdl::test::DecoderDocument document;
    for (const auto& record : records) {
        const ULONG full = LogHdr::DataSize(record.data());
        cut_test::ForEachCut(
            reinterpret_cast<const _LOGHDR*>(record.data()), full, [&](const _LOGHDR* header, ULONG size) {
                for (int mode : {OUTPUT_MODE_XML, OUTPUT_MODE_GRID, OUTPUT_MODE_HTML}) {
                    tdl::test::RecordingOutputImp out;
                    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&out, document.Get(), header));
                    ASSERT_NE(decoder, nullptr);
                    decoder->OutputKindTitle(mode);
                    const std::string text = out.Text();
                    EXPECT_EQ(text.find("Truncated"), text.rfind("Truncated")) << size << " " << mode;
                    EXPECT_EQ(Has(text, "Max LUN"), size == full && mode == OUTPUT_MODE_GRID) << size << " " << mode;
                    if (mode == OUTPUT_MODE_XML)
                        EXPECT_TRUE(MarkupBalanced(text)) << size << "\n" << text;
                }
            });
    }
}

} // namespace
