// The record list's paint cost: rows per second, each row formatted as the list view draws it (the 13
// column texts and both colour pairs), over a capture of 100,000 mixed records of every family against a
// device model with a stack of each kind. Every column writes into its own string, kept across rows as
// the view keeps its text buffer; allocs_per_row counts the mallocs the formatting makes after the first
// rows, which must stay 0: a cell may allocate only its own text, and a text that fits keeps its buffer.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/core/LogRecords.h"
#include "app/core/USBLog.h"
#include "common/NodeEntries.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "common/RecordWriter.h"
#include "tests/support/StackKinds.h"

// Every malloc of the program's own libraries goes through here (the link wraps malloc).
namespace {
std::atomic<uint64_t> g_mallocs{0};
}
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
    g_mallocs.fetch_add(1, std::memory_order_relaxed);
    return __real_malloc(size);
}

namespace {

using LogRecords::CLogRecords;
using tdl::test::kBulkOnlyStack;
using tdl::test::kHidStack;
using tdl::test::kHubStack;
using tdl::test::kNamedDeviceObject;

constexpr INT_PTR kRecords = 100000;

template <class T> std::vector<uint8_t> Bytes(const T& part) {
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    return bytes;
}

struct Shape {
    ULONG tag;
    ULONG function;
    USHORT stackId;
    std::vector<uint8_t> part1;
    std::vector<uint8_t> part2;
};

// One of each kind of row a capture shows, cycled through the capture.
std::vector<Shape> Shapes() {
    URB_RECORD_BULK_OR_INTERRUPT_TRANSFER cbwRequest{};
    cbwRequest.Pipe.InterfaceNumber = 0;
    cbwRequest.Pipe.EndpointAddress = 0x02;
    cbwRequest.TransferBufferLength = cbwRequest.CapturedLength = 31;
    std::vector<uint8_t> cbw(31, 0);
    std::memcpy(cbw.data(), "USBC\x01\x00\x00\x00", 8);
    cbw[15] = 0x28;
    URB_RECORD_BULK_OR_INTERRUPT_TRANSFER cswCompletion = cbwRequest;
    cswCompletion.Pipe.EndpointAddress = 0x81;
    cswCompletion.TransferBufferLength = cswCompletion.CapturedLength = 13;
    std::vector<uint8_t> csw(13, 0);
    std::memcpy(csw.data(), "USBS\x01\x00\x00\x00", 8);
    URB_RECORD_CONTROL_TRANSFER_EX getDescriptor{};
    getDescriptor.Pipe.EndpointAddress = 0x80;
    getDescriptor.SetupPacket[0] = 0x80;
    getDescriptor.SetupPacket[1] = 6;
    URB_RECORD_ISOCH_TRANSFER isoch{};
    isoch.Pipe.EndpointAddress = 0x83;
    isoch.ErrorCount = 2;
    isoch.ZeroLengthPackets = 1;
    URB_RECORD_CONTINUATION piece{};
    piece.InterfaceNumber = 0xFF;
    piece.TransferFlags = 1;
    DEVSTK_NODE stack{};
    std::memcpy(stack.DeviceID, "USB\\VID_1234&PID_5678", 21);
    DRIVER_NODE driver{};
    std::memcpy(driver.DriverName, "usbhub", 6);
    return {
        {LogTag::urbI, 9, kBulkOnlyStack, Bytes(cbwRequest), cbw},
        {LogTag::urbC, 9, kBulkOnlyStack, Bytes(cswCompletion), csw},
        {LogTag::urbI, 50, kHubStack, Bytes(getDescriptor), {}},
        {LogTag::urbC, 10, kHidStack, Bytes(isoch), {}},
        {LogTag::urbR, UrbReturnFunctionWord(27, 0, 1, 1), kHidStack, {}, {}},
        {LogTag::iCnt, 9, kBulkOnlyStack, Bytes(piece), std::vector<uint8_t>(64, 0)},
        {LogTag::hidC, 0xB0192, kHidStack, std::vector<uint8_t>(16, 0), {}},
        {LogTag::uinI, 0x220013, kHubStack, {}, {}},
        {LogTag::pnpC, 0x17, kHubStack, {}, {}},
        {LogTag::powR, 2, kHidStack, {}, {}},
        {LogTag::ctlI, 0x2D1400, kBulkOnlyStack, {}, {}},
        {LogTag::buhI, 6, 0, std::vector<uint8_t>(24, 0), {}},
        {LogTag::khpC, 10, 0, std::vector<uint8_t>(16, 0), {}},
        {LogTag::ktsA, 0, 0, Bytes(stack), {}},
        {LogTag::vrdR, 0, 0, Bytes(driver), {}},
        {LogTag::atsL, 0, 0, {}, {}},
    };
}

// A document with the model and a bank holding the capture, indexed.
struct MixedCapture {
    MixedCapture() {
        tdl::test::AddStacksOfEveryKind(doc);
        const std::vector<Shape> shapes = Shapes();
        uint64_t bytes = 0;
        for (INT_PTR i = 0; i < kRecords; ++i) {
            const Shape& shape = shapes[static_cast<size_t>(i) % shapes.size()];
            bytes += RECORD_FRAME_SIZE + shape.part1.size() + shape.part2.size();
        }
        store.CreateBuffer(static_cast<DWORD>(bytes), 0);
        BYTE* pointer = nullptr;
        DWORD left = 0;
        store.GetWriteSpace(pointer, left);
        for (INT_PTR i = 0; i < kRecords; ++i) {
            const Shape& shape = shapes[static_cast<size_t>(i) % shapes.size()];
            RecordLayout layout;
            LayoutRecord(shape.part1.size(), shape.part2.size(), left, layout);
            const RecordFrameWriter writer(pointer, layout);
            _LOGHDR header{};
            header.SequenceNumber = static_cast<ULONG>(i + 1);
            header.TimeStamp = tdl::test::kDeviceObjectStart + i * 1237;
            header.LogType = shape.tag;
            header.Function = shape.function;
            header.StackID = shape.stackId;
            header.DeviceObject = i % 3 == 0 ? kNamedDeviceObject : 0xFFFF800000001000ULL + i;
            header.Irp = 0xFFFF800010000000ULL + static_cast<ULONG64>(i) * 0x40;
            header.Status = i % 5 == 0 ? 0xC0000001 : 0;
            header.Continuation = LogTag::Data;
            writer.WriteHeader(header);
            if (!shape.part1.empty())
                std::memcpy(writer.Part1(), shape.part1.data(), shape.part1.size());
            if (!shape.part2.empty())
                std::memcpy(writer.Part2(), shape.part2.data(), shape.part2.size());
            writer.WriteTrailer();
            store.Add(reinterpret_cast<_LOGHDR*>(pointer));
            pointer += layout.RecordSize();
            left -= layout.RecordSize();
        }
        store.AdvanceWrite(static_cast<DWORD>(bytes));
        store.SetLatestStart(tdl::test::kDeviceObjectStart);
    }

    CUSBLog doc;
    CLogRecords& store = *doc.GetLogRecords();
};

// One row as the list view paints it; the texts' lengths and the colours go to `sink`.
struct RowTexts {
    CString category, state, request, direction, elapsed, deviceObject, device, pipe, iso, cbw, csw, irp, status;

    void Format(const CLogRecords& store, CUSBLog* doc, INT_PTR row, uint64_t& sink) {
        BOOL boundary = FALSE;
        store.FormatCategory(doc, row, category, state);
        sink += store.FormatSequence(doc, row, boundary);
        store.FormatRequest(doc, row, request);
        store.FormatDirection(doc, row, direction);
        store.FormatElapsedTime(doc, row, elapsed);
        store.FormatTargetDeviceObject(doc, row, deviceObject);
        store.FormatTargetDevice(doc, row, device);
        store.FormatCfgIfcEp(doc, row, pipe);
        store.FormatIsoErrors(doc, row, iso);
        store.FormatCbw(doc, row, cbw);
        store.FormatCsw(doc, row, csw);
        store.FormatIrpAddress(doc, row, irp);
        store.FormatIrpStatus(doc, row, status);
        COLORREF text = 0, background = 0;
        store.GetRecordColours(doc, row, text, background);
        sink += text + background;
        store.GetRecordHighlight(doc, row, text, background);
        sink += text + background + request.GetLength() + elapsed.GetLength() + deviceObject.GetLength();
    }
};

void BM_FormatRows(benchmark::State& state) {
    static MixedCapture* capture = new MixedCapture; // built once for all runs
    RowTexts texts;
    uint64_t sink = 0;
    // The first pass sizes every column's buffer (and shows the count sees the libraries' mallocs); what
    // follows must not allocate.
    const uint64_t mallocsAtStart = g_mallocs.load();
    for (INT_PTR row = 0; row < kRecords; ++row)
        texts.Format(capture->store, &capture->doc, row, sink);
    const uint64_t firstPassMallocs = g_mallocs.load() - mallocsAtStart;
    INT_PTR row = 0;
    uint64_t rows = 0;
    const uint64_t mallocsBefore = g_mallocs.load();
    for (auto _ : state) {
        texts.Format(capture->store, &capture->doc, row, sink);
        row = row + 1 == kRecords ? 0 : row + 1;
        ++rows;
    }
    const uint64_t mallocs = g_mallocs.load() - mallocsBefore;
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(static_cast<int64_t>(rows));
    state.counters["rows_per_second"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    state.counters["allocs_per_row"] = rows ? static_cast<double>(mallocs) / static_cast<double>(rows) : 0.0;
    state.counters["first_pass_allocs"] = static_cast<double>(firstPassMallocs);
}
BENCHMARK(BM_FormatRows);

} // namespace
