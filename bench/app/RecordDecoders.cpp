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
// read), in the pane and in their mark-up form through the XML back-end; and so are HID and host-controller
// IOCTL records, each kind on its own.
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
#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/RecordPayloads.h"
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

// The bytes of the parts, one after the other.
std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// UTF-16LE of an ASCII text, with its terminating zero when `terminated`.
std::vector<uint8_t> Wide(const std::string& text, bool terminated = true) {
    std::vector<uint8_t> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    if (terminated)
        bytes.insert(bytes.end(), {0, 0});
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

// Mark-up of `count` records through the XML back-end, the i-th given by `recordAt`.
template <class RecordAt>
void XmlOver(benchmark::State& state, size_t count, CUSBLog* document, const RecordAt& recordAt) {
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
        const std::vector<uint8_t>& record = recordAt(i);
        std::unique_ptr<LogOutputer> decoder(
            LogOutputer::Create(&xml, document, reinterpret_cast<const _LOGHDR*>(record.data())));
        decoder->OutputMarkupRecord(0);
        i = (i + 1) % count;
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void XmlOver(benchmark::State& state, const std::vector<std::vector<uint8_t>>& records, CUSBLog* document) {
    XmlOver(state, records.size(), document, [&](size_t i) -> const std::vector<uint8_t>& { return records[i]; });
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
    XmlOver(state, Calls().records, Calls().document.Get());
}
BENCHMARK(BM_CallMarkupThroughXml);

void BM_UrbMarkupThroughXml(benchmark::State& state) {
    const UrbCapture& capture = Urbs();
    XmlOver(state, capture.urbs.size(), capture.document.Get(), [&](size_t i) -> const std::vector<uint8_t>& {
        return i % 2 ? capture.continuations[i] : capture.urbs[i];
    });
}
BENCHMARK(BM_UrbMarkupThroughXml);

// HID and host-controller IOCTL records as the driver writes them: buffer blocks with reports and strings,
// plain values, indexed strings; names, statistics and user requests.
struct IoctlCapture {
    IoctlCapture() {
        using namespace LogTag;
        const std::vector<uint8_t> block = Words({64, 10, 0x11110000, 0xFFFFA800});
        const std::vector<uint8_t> product = Join({block, Wide("Keyboard", false)});
        std::vector<uint8_t> report = block;
        report.insert(report.end(), {1, 0, 4, 0, 0, 0, 0, 0});
        std::vector<uint8_t> collection = block;
        const std::vector<uint8_t> information = Words({0x2A8, 0x046D0001, 0x0110C31C});
        collection.insert(collection.end(), information.begin(), information.end());
        const std::vector<uint8_t> languages =
            Words({64, 4, 0x22220000, 0xFFFFA800, 0x11110000, 0xFFFFA800, 0, 0x0409});
        const struct {
            ULONG tag;
            ULONG code;
            std::vector<uint8_t> payload;
        } hid[] = {
            {hidI, 0xB01BE, block},          {hidC, 0xB01BE, product},
            {hidC, 0xB01A2, report},         {hidC, 0xB01A8, collection},
            {hidC, 0xB0190, Words({8, 32})}, {hidC, 0xB01E2, languages},
            {hidI, 0xB0191, report},         {hidC, 0xB0197, {}},
        };
        const std::vector<uint8_t> name = Join({Words({20}), Wide("USB#ROOT_HUB20", false)});
        const struct {
            ULONG tag;
            ULONG code;
            std::vector<uint8_t> payload;
        } hcd[] = {
            {hcdI, 0x220408, Words({512})},
            {hcdC, 0x220408, name},
            {hcdC, 0x2203FC, std::vector<uint8_t>(44, 1)},
            {hcdC, 0x220428, std::vector<uint8_t>(120, 2)},
            {hcdI, 0x220430, Words({1})},
            {hcdC, 0x220438, Words({40, 40, 0x11110000, 0xFFFFA800, 1, 0, 40, 40, 0x8086, 0x293C, 2, 6, 1000, 5})},
        };
        for (size_t i = 0; i < kRecords; ++i) {
            const auto& h = hid[i % std::size(hid)];
            tdl::test::RecordBuilder hidRecord(h.tag);
            hidRecord.Function(h.code).Sequence(static_cast<ULONG>(i + 1)).StackId(2);
            hidRecord.DeviceObject(tdl::test::DecoderDocument::kDeviceObjectBase + 0x100);
            hids.push_back(hidRecord.Part1(h.payload).Build());
            const auto& c = hcd[i % std::size(hcd)];
            tdl::test::RecordBuilder hcdRecord(c.tag);
            hcdRecord.Function(c.code).Sequence(static_cast<ULONG>(i + 1));
            hcds.push_back(hcdRecord.Part1(c.payload).Build());
        }
    }

    std::vector<std::vector<uint8_t>> hids;
    std::vector<std::vector<uint8_t>> hcds;
    tdl::test::DecoderDocument document;
};

const IoctlCapture& Ioctls() {
    static const IoctlCapture capture;
    return capture;
}

void BM_HidPane(benchmark::State& state) {
    PaneOver(state, Ioctls().hids, Ioctls().document.Get());
}
BENCHMARK(BM_HidPane);

void BM_HcdPane(benchmark::State& state) {
    PaneOver(state, Ioctls().hcds, Ioctls().document.Get());
}
BENCHMARK(BM_HcdPane);

void BM_HidMarkupThroughXml(benchmark::State& state) {
    XmlOver(state, Ioctls().hids, Ioctls().document.Get());
}
BENCHMARK(BM_HidMarkupThroughXml);

void BM_HcdMarkupThroughXml(benchmark::State& state) {
    XmlOver(state, Ioctls().hcds, Ioctls().document.Get());
}
BENCHMARK(BM_HcdMarkupThroughXml);

// Hub and internal USB IOCTL records as the driver writes them: node and connection information with their
// descriptors and pipes, descriptor requests, names; port status, names, parameter blocks, the topology address
// and the hub's configuration of a device with its strings.
struct HubUsbintCapture {
    HubUsbintCapture() {
        using namespace LogTag;
        const std::vector<uint8_t> device = {18, 1, 0, 2, 0, 0, 0, 64, 0x6D, 0x04, 0x1C, 0xC3, 0x10, 1, 1, 2, 0, 1};
        std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0xE0, 0, 0x32, 0x64, 0, 0xFF};
        hubDescriptor.resize(71);
        const std::vector<uint8_t> pipe = Join({{7, 5, 0x81, 3, 8, 0, 10}, Words({0})});
        const std::vector<uint8_t> connection = Join({Words({1}), device, {1, 2, 0, 5, 0}, Words({2, 1}), pipe, pipe});
        const std::vector<uint8_t> configuration = {9, 2, 25, 0, 1, 1, 0, 0xA0, 50, 9, 4, 0, 0,
                                                    1, 3, 1,  1, 0, 7, 5, 0x81, 3,  8, 0, 10};
        const struct {
            ULONG tag;
            ULONG code;
            std::vector<uint8_t> payload;
        } hub[] = {
            {hubC, 0x220408, Join({Words({0}), hubDescriptor, {1}})},
            {hubI, 0x220448, Words({1})},
            {hubC, 0x220448, connection},
            {hubC, 0x220410, Join({{1, 0, 0, 0, 0x80, 6, 0, 2, 0, 0, 25, 0}, configuration})},
            {hubC, 0x220410, Join({{1, 0, 0, 0, 0x80, 6, 0, 1, 0, 0, 18, 0}, device})},
            {hubC, 0x220420, Join({Words({1, 30}), Wide("USB\\VID_046D")})},
            {hubC, 0x220440, Words({1, 1, 0})},
        };
        std::vector<uint8_t> config =
            Join({Words({0x11110000, 0xFFFFA800, 1, 204, 1, 204, 0x5A}), Words({0x409, 8, 0x7000, 0}),
                  Words({0x409, 8, 0x7100, 0}), Words({0x409, 16, 0x7200, 0})});
        config.resize(220);
        config = Join({config, Wide("HW1"), Wide("CI1"), Wide("Device!")});
        const struct {
            ULONG tag;
            ULONG code;
            std::vector<uint8_t> payload;
        } uin[] = {
            {uinC, 0x220013, Words({3})},
            {uinC, 0x220424, Join({Words({40, 20}), Wide("EHCI#0")})},
            {uinC, 0x220437, Words({1, 0, 2, 0, 3, 0, 4, 0, 5, 0})},
            {uinC, 0x22043F, Join({Words({0x5000, 0, 1, 2, 3, 0}), std::vector<uint8_t>(16, 1)})},
            {uinC, 0x22044F, config},
            {uinI, 0x22000F, {}},
        };
        for (size_t i = 0; i < kRecords; ++i) {
            const auto& h = hub[i % std::size(hub)];
            tdl::test::RecordBuilder hubRecord(h.tag);
            hubRecord.Function(h.code).Sequence(static_cast<ULONG>(i + 1));
            hubs.push_back(hubRecord.Part1(h.payload).Build());
            const auto& u = uin[i % std::size(uin)];
            tdl::test::RecordBuilder uinRecord(u.tag);
            uinRecord.Function(u.code).Sequence(static_cast<ULONG>(i + 1));
            uins.push_back(uinRecord.Part1(u.payload).Build());
        }
    }

    std::vector<std::vector<uint8_t>> hubs;
    std::vector<std::vector<uint8_t>> uins;
    tdl::test::DecoderDocument document;
};

const HubUsbintCapture& HubUsbints() {
    static const HubUsbintCapture capture;
    return capture;
}

void BM_HubPane(benchmark::State& state) {
    PaneOver(state, HubUsbints().hubs, HubUsbints().document.Get());
}
BENCHMARK(BM_HubPane);

void BM_UsbintPane(benchmark::State& state) {
    PaneOver(state, HubUsbints().uins, HubUsbints().document.Get());
}
BENCHMARK(BM_UsbintPane);

void BM_HubMarkupThroughXml(benchmark::State& state) {
    XmlOver(state, HubUsbints().hubs, HubUsbints().document.Get());
}
BENCHMARK(BM_HubMarkupThroughXml);

void BM_UsbintMarkupThroughXml(benchmark::State& state) {
    XmlOver(state, HubUsbints().uins, HubUsbints().document.Get());
}
BENCHMARK(BM_UsbintMarkupThroughXml);

} // namespace
