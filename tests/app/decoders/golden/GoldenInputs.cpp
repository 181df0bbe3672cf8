// The corpus's inputs: reading and writing its record files, the record sets the tests' builders make, the
// corpus document, and the capture of the simulated machine's workloads.
// The kernel's headers (through the capture's) come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/DecoderCapture.h"

#include "GoldenCorpus.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/app/decoders/RecordDecoderCases.h"
#include "tests/app/decoders/descriptors/DescTestSupport.h"
#include "tests/app/decoders/ioctl/HubTestRecords.h"
#include "tests/app/decoders/ioctl/IoctlTestRecords.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/RecordBuilder.h"
#include "usb.h"

namespace golden {

namespace fs = std::filesystem;

Update RequestedUpdate() {
    const char* value = std::getenv("TDL_GOLDEN_UPDATE");
    if (value == nullptr)
        return Update::None;
    if (std::strcmp(value, "texts") == 0)
        return Update::Texts;
    if (std::strcmp(value, "all") == 0)
        return Update::All;
    return Update::None;
}

fs::path Folder() {
    return TDL_GOLDEN_DIR;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadCompressed(const fs::path& path) {
    std::string text;
    gzFile in = gzopen(path.string().c_str(), "rb");
    if (in == nullptr)
        return text;
    char chunk[1 << 16];
    for (int got = 0; (got = gzread(in, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<size_t>(got));
    gzclose(in);
    return text;
}

void WriteCompressed(const fs::path& path, const std::string& text) {
    gzFile out = gzopen(path.string().c_str(), "wb9");
    ASSERT_NE(out, nullptr) << path;
    ASSERT_EQ(gzwrite(out, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size())) << path;
    ASSERT_EQ(gzclose(out), Z_OK) << path;
}

namespace {

const char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The header and the payload its DataSize counts: what a decoder is handed.
Bytes Framed(const Bytes& record) {
    const size_t size = LOGHDR_SIZE + LogHdr::DataSize(record.data());
    return Bytes(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(std::min(size, record.size())));
}

// The record whole; its cuts are decoded too.
void AddWithCuts(std::vector<Input>& inputs, Context context, const Bytes& record) {
    inputs.push_back({context, Framed(record), true});
}

void Add(std::vector<Input>& inputs, Context context, const Bytes& record) {
    inputs.push_back({context, Framed(record), false});
}

// Bytes counting in a pattern that sets high and low bits alike.
Bytes Pattern(size_t count, unsigned seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>((i * 37 + seed) & 0xFF);
    return bytes;
}

// Small numbers: counts, types and lengths a decoder follows without running out at once.
Bytes SmallNumbers(size_t count) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? 0x80 | (i & 0x0F) : i & 7);
    return bytes;
}

Bytes UrbPayload(ULONG usbdStatus, const Bytes& body) {
    URB_RECORD_HEAD head{};
    head.Length = 0x80;
    head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    head.UsbdStatus = usbdStatus;
    head.DeviceHandle = 0xFFFF800012345678;
    Bytes payload(sizeof head);
    std::memcpy(payload.data(), &head, sizeof head);
    payload.insert(payload.end(), body.begin(), body.end());
    return payload;
}

Bytes UrbRecord(ULONG tag, ULONG function, USHORT stack, ULONG status, const Bytes& payload, ULONG sequence) {
    return tdl::test::RecordBuilder(tag)
        .Function(function)
        .Status(status)
        .Sequence(sequence)
        .StackId(stack)
        .DeviceObject(tdl::test::DecoderDocument::kDeviceObjectBase + 0x100 * (stack ? stack - 1 : 0))
        .Irp(0xFFFFA80056780000 + sequence)
        .TimeStamp(1000 + sequence)
        .Part1(payload)
        .Build();
}

constexpr ULONG kUrbTags[] = {LogTag::urbI, LogTag::urbR, LogTag::urbC, LogTag::iCnt, LogTag::cCnt};

// A command block wrapper carrying the command block: 0x200 bytes to come, then the flags, LUN and length.
Bytes CommandWrapper(BYTE flags, BYTE cbLength, const Bytes& cdb) {
    Bytes wrapper(31, 0);
    std::memcpy(wrapper.data(), "USBC\x78\x56\x34\x12\x00\x02\x00\x00", 12);
    wrapper[12] = flags;
    wrapper[14] = cbLength;
    std::copy(cdb.begin(), cdb.begin() + std::min<size_t>(cdb.size(), 16), wrapper.begin() + 15);
    return wrapper;
}

// A bulk transfer record to the stack's bulk-out endpoint carrying `data`.
Bytes BulkRecord(ULONG tag, USHORT stack, const Bytes& data, ULONG sequence, UCHAR endpoint = 0x02) {
    Bytes part1 = tdl::test::UrbTransferPart1(9, 0, endpoint, endpoint & 0x80 ? 1 : 0);
    const auto count = static_cast<ULONG>(data.size());
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &count, 4);
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &count, 4);
    part1.insert(part1.end(), data.begin(), data.end());
    return UrbRecord(tag, 9, stack, 0, part1, sequence);
}

class CorpusDocumentHolder {
public:
    CorpusDocumentHolder() {
        CUSBLog* document = m_base.Get();
        const struct {
            USHORT stack;
            UCHAR subClass;
        } storage[] = {{kRbcStack, 1}, {kMmcStack, 2}, {kOtherCommandSetStack, 4}};
        for (const auto& s : storage) {
            auto* stack = new CDeviceStack;
            stack->StackID = s.stack;
            stack->UsbClass = 8;
            stack->UsbSubClass = s.subClass;
            stack->UsbProtocol = 0x50;
            document->GetStackTree()->m_StackMap.SetAt(stack->StackID, stack);
            DEVICE_NODE node{};
            std::snprintf(node.DeviceName, sizeof node.DeviceName, "\\Device\\USBPDO-%u", s.stack);
            node.DeviceObject = tdl::test::DecoderDocument::kDeviceObjectBase + 0x100 * (s.stack - 1);
            node.StackID = s.stack;
            CDeviceObject* object = nullptr;
            document->GetAttachedDevices()->AddDeviceObject(node, object);
        }
    }
    CUSBLog* Get() const { return m_base.Get(); }

private:
    tdl::test::DecoderDocument m_base;
};

} // namespace

CUSBLog* CorpusDocument() {
    static CorpusDocumentHolder* holder = new CorpusDocumentHolder;
    return holder->Get();
}

std::vector<Input> ReadInputs(const std::string& set) {
    std::vector<Input> inputs;
    std::istringstream lines(ReadText(Folder() / (set + ".records")));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t blank = line.find(' ');
        if (blank == std::string::npos || blank == 0)
            continue;
        Input input{static_cast<Context>(line[0]), {}, line[1] == '+'};
        for (size_t i = blank + 1; i + 1 < line.size(); i += 2)
            input.record.push_back(static_cast<uint8_t>(HexDigit(line[i]) << 4 | HexDigit(line[i + 1])));
        inputs.push_back(std::move(input));
    }
    return inputs;
}

void WriteInputs(const std::string& set, const std::vector<Input>& inputs) {
    std::string text;
    for (const Input& input : inputs) {
        text += static_cast<char>(input.context);
        if (input.withCuts)
            text += '+';
        text += ' ';
        for (uint8_t byte : input.record) {
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        }
        text += '\n';
    }
    WriteText(Folder() / (set + ".records"), text);
}

std::vector<Input> SampleInputs() {
    std::vector<Input> inputs;
    for (Context context : {Context::None, Context::Document})
        for (const Bytes& record : decoder_test::SampleRecords())
            AddWithCuts(inputs, context, record);
    return inputs;
}

std::vector<Input> IoctlInputs() {
    std::vector<Input> inputs;
    for (const auto& records : {ioctl_test::HidHcdWholeRecords(), ioctl_test::HubUsbintWholeRecords()}) {
        for (const Bytes& record : records) {
            AddWithCuts(inputs, Context::None, record);
            Add(inputs, Context::Document, record);
        }
    }
    return inputs;
}

std::vector<Input> CallInputs() {
    std::vector<Input> inputs;
    for (const Bytes& record : tdl::test::AllCallRecords()) {
        AddWithCuts(inputs, Context::Document, record);
        Add(inputs, Context::None, record);
    }
    return inputs;
}

std::vector<Input> UrbInputs() {
    std::vector<Input> inputs;
    ULONG sequence = 1;
    // Every function on every side, with the body's fields in small numbers and in a pattern, to a device of
    // no known class and without a document.
    std::vector<ULONG> functions;
    for (ULONG function = 0; function <= 52; ++function)
        functions.push_back(function);
    for (ULONG function = 0x1000; function <= 0x1002; ++function)
        functions.push_back(function);
    for (ULONG function : functions) {
        for (ULONG tag : kUrbTags) {
            const bool failed = (function + tag) % 3 == 0;
            Add(inputs, Context::Document,
                UrbRecord(tag, function, 5, failed ? 0xC0000001 : 0,
                          UrbPayload(failed ? 0xC0000004 : 0, SmallNumbers(160)), sequence++));
            Add(inputs, Context::None, UrbRecord(tag, function, 0, 0, UrbPayload(0, Pattern(160, 11)), sequence++));
        }
    }
    // The synchronous form of a few.
    for (ULONG function : {0u, 9u, 30u})
        Add(inputs, Context::Document,
            UrbRecord(LogTag::urbC, function | 0x2000, 5, 0, UrbPayload(0, SmallNumbers(160)), sequence++));
    // The functions the class decoders take over, to a device of each class kind.
    for (ULONG function : {8u, 9u, 23u, 24u, 25u, 26u, 27u, 28u, 31u, 32u, 50u}) {
        for (USHORT stack : {USHORT(1), USHORT(2), USHORT(3), USHORT(4), kRbcStack}) {
            for (ULONG tag : {LogTag::urbI, LogTag::urbC}) {
                Add(inputs, Context::Document,
                    UrbRecord(tag, function, stack, 0, UrbPayload(0, SmallNumbers(96)), sequence++));
            }
        }
    }
    // Class requests as the driver writes them, whole and cut.
    using classtest::ClassRecord;
    std::vector<ClassRecord> requests;
    for (USHORT stack : {1, 2, 3, 4}) {
        for (BYTE request : {0, 1, 2, 3, 6, 9, 10, 11, 0xFE, 0xFF}) {
            ClassRecord r;
            r.stack = stack;
            r.bmRequestType = stack == 1 ? 0xA3 : 0xA1;
            r.bRequest = request;
            r.wValue = 0x0301;
            r.wIndex = 1;
            r.wLength = 4;
            r.data = {0x01, 0x05, 0x03, 0x00};
            requests.push_back(r);
            r.tag = LogTag::urbI;
            r.bmRequestType = stack == 1 ? 0x23 : 0x21;
            r.data.clear();
            requests.push_back(r);
            r.function = URB_FUNCTION_CLASS_INTERFACE;
            r.transferFlags = 1;
            r.data = {0x12, 0x34};
            requests.push_back(r);
            r.function = URB_FUNCTION_CONTROL_TRANSFER;
            r.tag = LogTag::urbC;
            requests.push_back(r);
        }
    }
    for (ClassRecord& r : requests) {
        r.sequence = sequence++;
        Add(inputs, Context::Document, classtest::Build(r));
    }
    for (size_t i = 0; i < requests.size(); i += 7)
        AddWithCuts(inputs, Context::Document, classtest::Build(requests[i]));
    // Transfers with their data, a control transfer fetching a device descriptor, and continuations.
    const Bytes device = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
    for (ULONG function : {8u, 50u}) {
        Bytes part1 = tdl::test::UrbTransferPart1(function, 0xFF, 0x80, 1, 0x80);
        const size_t setup = function == 8 ? offsetof(URB_RECORD_CONTROL_TRANSFER, SetupPacket)
                                           : offsetof(URB_RECORD_CONTROL_TRANSFER_EX, SetupPacket);
        const UCHAR getDevice[8] = {0x80, 6, 0, 1, 0, 0, 18, 0};
        std::memcpy(&part1[setup], getDevice, 8);
        const ULONG count = 18;
        const size_t length = function == 8 ? offsetof(URB_RECORD_CONTROL_TRANSFER, TransferBufferLength)
                                            : offsetof(URB_RECORD_CONTROL_TRANSFER_EX, TransferBufferLength);
        const size_t captured = function == 8 ? offsetof(URB_RECORD_CONTROL_TRANSFER, CapturedLength)
                                              : offsetof(URB_RECORD_CONTROL_TRANSFER_EX, CapturedLength);
        std::memcpy(&part1[length], &count, 4);
        std::memcpy(&part1[captured], &count, 4);
        part1.insert(part1.end(), device.begin(), device.end());
        AddWithCuts(inputs, Context::Document, UrbRecord(LogTag::urbC, function, 5, 0, part1, sequence++));
    }
    AddWithCuts(inputs, Context::Document, BulkRecord(LogTag::urbC, 5, Pattern(40, 3), sequence++, 0x81));
    Bytes continuation = tdl::test::ContinuationPart1(0, 0x81, 1);
    const Bytes piece = Pattern(24, 5);
    continuation.insert(continuation.end(), piece.begin(), piece.end());
    for (ULONG tag : {LogTag::iCnt, LogTag::cCnt})
        AddWithCuts(inputs, Context::Document, UrbRecord(tag, 9, 5, 0, continuation, sequence++));
    return inputs;
}

std::vector<Input> CommandBlockInputs() {
    std::vector<Input> inputs;
    ULONG sequence = 1;
    for (USHORT stack : {USHORT(3), kRbcStack, kMmcStack, kOtherCommandSetStack}) {
        for (unsigned opcode = 0; opcode <= 0xFF; ++opcode) {
            Bytes cdb = Pattern(16, opcode);
            cdb[0] = static_cast<uint8_t>(opcode);
            const BYTE length = opcode < 0x20 ? 6 : opcode < 0x60 ? 10 : opcode >= 0xA0 && opcode < 0xC0 ? 12 : 16;
            Add(inputs, Context::Document,
                BulkRecord(LogTag::urbI, stack, CommandWrapper(0x80, length, cdb), sequence++));
        }
    }
    // A command block's service action variants, and the status wrapper.
    for (BYTE action = 0; action < 3; ++action) {
        Bytes cdb(16, 0);
        cdb[0] = 0xAB;
        cdb[1] = action;
        Add(inputs, Context::Document, BulkRecord(LogTag::urbI, 3, CommandWrapper(0, 12, cdb), sequence++));
    }
    Bytes status(13, 0);
    std::memcpy(status.data(), "USBS\x78\x56\x34\x12\x10\x00\x00\x00", 12);
    status[12] = 1;
    Add(inputs, Context::Document, BulkRecord(LogTag::urbC, 3, status, sequence++, 0x81));
    AddWithCuts(inputs, Context::Document,
                BulkRecord(LogTag::urbI, 3, CommandWrapper(0x80, 10, Pattern(16, 0x28)), sequence++));
    return inputs;
}

std::vector<Bytes> DescriptorInputs() {
    return desc_test::DescriptorSamples();
}

namespace {

const char kCaptureFile[] = "workloads.tdloft.gz";

// Captures every workload of the default machine one after the other, and keeps the saved document
// compressed.
void CaptureWorkloads() {
    tdl::test::DecoderCapture::Options options;
    options.workload = sim::WorkloadKind::RequestFamilies;
    options.settings = [](CAppSettings& settings) {
        // Every kind the driver writes, the transfers' data up to 64 bytes, and banks that hold the session.
        for (bool* capture :
             {&settings.CaptureUrbs, &settings.CaptureUsbIntern, &settings.CaptureHubIoctl, &settings.CaptureHcdIoctl,
              &settings.CaptureHidIoctl, &settings.CaptureHidIntern, &settings.CapturePnp, &settings.CapturePower,
              &settings.CaptureBulk, &settings.CaptureCtrl, &settings.CaptureIsoch})
            *capture = true;
        settings.CtrlMaxSize = 2;
        settings.BulkMaxSize = 2;
        settings.IsochMaxSize = 2;
        settings.MaxLogBuffer = 4u << 20;
    };
    options.alsoDuring = [](sim::Machine& machine) {
        for (sim::WorkloadKind kind : {sim::WorkloadKind::MouseMoving, sim::WorkloadKind::CopyToStick,
                                       sim::WorkloadKind::Printing, sim::WorkloadKind::PlugAndUnplug}) {
            sim::WorkloadOptions workload;
            workload.fileBytes = 16 * 1024;
            workload.transferBytes = 16 * 1024;
            workload.jobBytes = 2 * 1024;
            if (!sim::RunWorkload(machine, kind, workload).Succeeded())
                return false;
        }
        return true;
    };
    options.refreshModelAfterStop = true;
    tdl::test::DecoderCapture capture(options);
    ASSERT_EQ(capture.Failure(), "");
    const fs::path plain = fs::temp_directory_path() / ("tdl_golden_capture_" + std::to_string(::getpid()) + ".tdloft");
    {
        CFile file;
        ASSERT_TRUE(file.Open(plain.string().c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        CArchive archive(&file, CArchive::store);
        capture.Document()->Serialize(archive);
        archive.Close();
        file.Close();
    }
    const std::string bytes = ReadText(plain);
    fs::remove(plain);
    WriteCompressed(Folder() / kCaptureFile, bytes);
}

} // namespace

WorkloadCapture::WorkloadCapture(bool captureAgain) {
    if (captureAgain)
        CaptureWorkloads();
    const std::string bytes = ReadCompressed(Folder() / kCaptureFile);
    if (bytes.empty()) {
        ADD_FAILURE() << kCaptureFile << " is missing: make it with TDL_GOLDEN_UPDATE=all";
        return;
    }
    // The record part is mapped from the file while the document lives.
    m_file = fs::temp_directory_path() / ("tdl_golden_workloads_" + std::to_string(::getpid()) + ".tdloft");
    WriteText(m_file, bytes);
    auto document = std::make_unique<CUSBLog>();
    CFile file;
    if (!file.Open(m_file.string().c_str(), CFile::modeRead | CFile::typeBinary)) {
        ADD_FAILURE() << "the workload capture did not open";
        return;
    }
    CArchive archive(&file, CArchive::load);
    document->Serialize(archive);
    archive.Close();
    m_document = std::move(document);
}

WorkloadCapture::~WorkloadCapture() {
    m_document.reset();
    if (!m_file.empty())
        fs::remove(m_file);
}

} // namespace golden
