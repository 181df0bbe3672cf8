// What decoding one record costs, over a mixed capture of every record kind the framework decodes: the Log
// Details pane's protocol through the property-grid back-end, the mark-up form (slots 1 to 5 around the
// kind's body) through the HTML back-end, and the factory with the record view alone as the floor.
//
// The capture is synthetic: records built with the tests' record builder in the proportions a busy machine
// writes them (mostly URBs, then power, PnP and device-control requests), a few thousand in a debug build
// and 120,000 in a release build. Its document is the context, so target look-ups run as they do for a user.
//
// URB records and their continuation records are measured apart as well, over records shaped as the capture
// driver writes them (transfers with their data, selections, class requests; continuation pieces of a large
// read), in the pane and in their mark-up form through the XML back-end.
//
// Function-call records (hub-interface and port-driver hook calls) are measured apart too, over the tests'
// hand-made set: every hub-interface index and hook code on both sides, with whole argument blocks.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <cstring>

#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/XmlOutput.h"
#include "common/RecordPayloads.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/devices/HtmlOutput.h"
#include "common/RecordTags.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"

namespace {

#ifdef NDEBUG
constexpr size_t kRecords = 120000;
#else
constexpr size_t kRecords = 3000;
#endif

std::vector<uint8_t> Words(std::initializer_list<ULONG> words) {
    std::vector<uint8_t> bytes;
    for (ULONG word : words)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
    return bytes;
}

struct MixedCapture {
    MixedCapture() {
        using namespace LogTag;
        struct Kind {
            ULONG tag;
            ULONG function;
            std::vector<uint8_t> payload;
            int weight;
        } kinds[] = {
            {urbI, 9, Words({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 30},
            {urbC, 9, Words({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 30},
            {urbI, 8, Words({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 8},
            {powI, 2, Words({1, 4, 0}), 3},
            {powR, 2, {}, 3},
            {powC, 1, Words({1, 2, 3}), 2},
            {pnpI, 0, {}, 2},
            {pnpC, 0x14, {}, 2},
            {ctlC, 0x222003, {}, 4},
            {intI, 0x220003, {}, 4},
            {hubC, 0x220448, Words({1, 2}), 4},
            {hidI, 0xB0003, {}, 4},
            {buhC, 11, {}, 2},
            {khpI, 3, {}, 2},
        };
        int total = 0;
        for (const Kind& kind : kinds)
            total += kind.weight;
        for (size_t i = 0; i < kRecords; ++i) {
            int pick = static_cast<int>((i * 7919) % static_cast<size_t>(total));
            const Kind* kind = kinds;
            while (pick >= kind->weight)
                pick -= (kind++)->weight;
            tdl::test::RecordBuilder builder(kind->tag);
            builder.Function(kind->function).Sequence(static_cast<ULONG>(i + 1)).TimeStamp(1000 + 10 * LONGLONG(i));
            // Most records go to the document's devices, some to addresses it does not know.
            const size_t stack = i % (tdl::test::DecoderDocument::kStacks + 1);
            builder.DeviceObject(tdl::test::DecoderDocument::kDeviceObjectBase + 0x100 * stack);
            builder.Irp(0xFFFFA80000100000 + 0x40 * i).StackId(static_cast<USHORT>(stack + 1));
            builder.Status(i % 13 == 0 ? 0xC0000001 : 0);
            records.push_back(builder.Part1(kind->payload).Build());
        }
    }
    const _LOGHDR* At(size_t i) const { return reinterpret_cast<const _LOGHDR*>(records[i].data()); }

    std::vector<std::vector<uint8_t>> records;
    tdl::test::DecoderDocument document;
};

const MixedCapture& Capture() {
    static const MixedCapture capture;
    return capture;
}

void BM_PaneProtocol(benchmark::State& state) {
    const MixedCapture& capture = Capture();
    tdl::test::LogDetailsPane pane;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pane.ShowRecord(capture.document.Get(), capture.At(i)));
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PaneProtocol);

void BM_MarkupThroughHtml(benchmark::State& state) {
    const MixedCapture& capture = Capture();
    const std::string path = "/tmp/tdl_bench_records_" + std::to_string(::getpid()) + ".htm";
    CHtmlOutput writer;
    if (!writer.OpenByName(path.c_str())) {
        state.SkipWithError("no report file");
        return;
    }
    HtmlOutputImp html(&writer);
    size_t i = 0;
    for (auto _ : state) {
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&html, capture.document.Get(), capture.At(i)));
        decoder->OutputMarkupRecord(2);
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    ::unlink(path.c_str());
}
BENCHMARK(BM_MarkupThroughHtml);

void BM_FactoryAndViewFloor(benchmark::State& state) {
    const MixedCapture& capture = Capture();
    tdl::test::LogDetailsPane pane;
    GridOutputImp grid(&pane);
    size_t i = 0;
    for (auto _ : state) {
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&grid, capture.document.Get(), capture.At(i)));
        benchmark::DoNotOptimize(decoder->GetDecode().HasInputData());
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FactoryAndViewFloor);

template <class T> std::vector<uint8_t> PartBytes(const T& part, size_t data) {
    std::vector<uint8_t> bytes(sizeof part + data);
    std::memcpy(bytes.data(), &part, sizeof part);
    for (size_t i = 0; i < data; ++i)
        bytes[sizeof part + i] = static_cast<uint8_t>(i);
    return bytes;
}

// URB records as the driver writes them, and continuation records of a 128 KiB read.
struct UrbCapture {
    UrbCapture() {
        using namespace LogTag;
        URB_RECORD_HEAD head{0x50, URB_RECORD_LAYOUT_VERSION, 0, 0, 0xFFFF800011112222};
        URB_RECORD_PIPE bulkIn{0, 0, 0x81, 0x00, 2, 0, 0xFFFF8000AAAA0000};
        URB_RECORD_BULK_OR_INTERRUPT_TRANSFER bulk{head, bulkIn, 1, 512, 512};
        URB_RECORD_CONTROL_TRANSFER control{head, {0, 0, 0x80, 0x40, 0, 0, 0xFFFF8000AAAA1000}, 1, 18, 18, {}};
        const UCHAR getDevice[8] = {0x80, 6, 0, 1, 0, 0, 18, 0};
        std::memcpy(control.SetupPacket, getDevice, sizeof getDevice);
        std::vector<uint8_t> controlBytes = PartBytes(control, 0);
        const UCHAR device[18] = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
        controlBytes.insert(controlBytes.end(), device, device + sizeof device);
        URB_RECORD_VENDOR_CLASS_REQUEST request{head, 0, 0x0A, 0, 0, 0, 0};
        const struct {
            ULONG tag;
            ULONG function;
            std::vector<uint8_t> payload;
        } kinds[] = {
            {urbC, 9, PartBytes(bulk, 512)},
            {urbI, 9, PartBytes(bulk, 0)},
            {urbC, 8, controlBytes},
            {urbI, 27, PartBytes(request, 0)},
        };
        URB_RECORD_CONTINUATION piece{0x20000, 1, 0x10000, 4096, 0, 0, 0x81, 0};
        for (size_t i = 0; i < kRecords; ++i) {
            const auto& kind = kinds[i % std::size(kinds)];
            tdl::test::RecordBuilder builder(kind.tag);
            builder.Function(kind.function).Sequence(static_cast<ULONG>(i + 1)).StackId(static_cast<USHORT>(i % 5 + 1));
            urbs.push_back(builder.Part1(kind.payload).Build());
            tdl::test::RecordBuilder next(cCnt);
            next.Function(9).Sequence(static_cast<ULONG>(i + 1)).StackId(3);
            continuations.push_back(next.Part1(PartBytes(piece, 4096)).Build());
        }
    }

    std::vector<std::vector<uint8_t>> urbs;
    std::vector<std::vector<uint8_t>> continuations;
    tdl::test::DecoderDocument document;
};

const UrbCapture& Urbs() {
    static const UrbCapture capture;
    return capture;
}

void PaneOver(benchmark::State& state, const std::vector<std::vector<uint8_t>>& records, CUSBLog* document) {
    tdl::test::LogDetailsPane pane;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pane.ShowRecord(document, reinterpret_cast<const _LOGHDR*>(records[i].data())));
        i = (i + 1) % records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_UrbPane(benchmark::State& state) {
    PaneOver(state, Urbs().urbs, Urbs().document.Get());
}
BENCHMARK(BM_UrbPane);

void BM_ContinuationPane(benchmark::State& state) {
    PaneOver(state, Urbs().continuations, Urbs().document.Get());
}
BENCHMARK(BM_ContinuationPane);

// The mark-up form through the XML back-end of the record `recordAt(i)` gives for the i-th iteration.
template <class RecordAt> void MarkupOverXml(benchmark::State& state, RecordAt recordAt, CUSBLog* document) {
    auto writer = std::make_unique<CXmlOutput>();
    writer->BeginDocument("Records");
    size_t i = 0;
    for (auto _ : state) {
        // A fresh document now and then, so that the measure is the decoding, not one ever-growing tree.
        if (i % 1000 == 0) {
            state.PauseTiming();
            writer = std::make_unique<CXmlOutput>();
            writer->BeginDocument("Records");
            state.ResumeTiming();
        }
        XmlOutputImp xml(writer.get());
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&xml, document, recordAt(i)));
        decoder->OutputMarkupRecord(0);
        ++i;
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

struct CallCapture {
    std::vector<std::vector<uint8_t>> records = tdl::test::AllCallRecords();
    tdl::test::DecoderDocument document;
};

const CallCapture& Calls() {
    static const CallCapture capture;
    return capture;
}

void BM_CallPane(benchmark::State& state) {
    PaneOver(state, Calls().records, Calls().document.Get());
}
BENCHMARK(BM_CallPane);

void BM_CallMarkupThroughXml(benchmark::State& state) {
    const CallCapture& capture = Calls();
    MarkupOverXml(
        state,
        [&capture](size_t i) {
            return reinterpret_cast<const _LOGHDR*>(capture.records[i % capture.records.size()].data());
        },
        capture.document.Get());
}
BENCHMARK(BM_CallMarkupThroughXml);

void BM_UrbMarkupThroughXml(benchmark::State& state) {
    const UrbCapture& capture = Urbs();
    MarkupOverXml(
        state,
        [&capture](size_t i) {
            i %= capture.urbs.size();
            const std::vector<uint8_t>& record = i % 2 ? capture.continuations[i] : capture.urbs[i];
            return reinterpret_cast<const _LOGHDR*>(record.data());
        },
        capture.document.Get());
}
BENCHMARK(BM_UrbMarkupThroughXml);

} // namespace
