// What showing a mass-storage stick's wrappers costs: the stick's command, data and status transfers (READ(10)
// and WRITE(10) command wrappers, their status wrappers, and data between them) through the bulk-only
// decoder's wrapper output with its command block sections, beside the same records through the pane's plain
// protocol, in the Log Details pane's property grid.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "app/decoders/urb/MscBOTUrbOutputer.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordBuilder.h"

namespace {

constexpr size_t kCommands = 1000;

std::vector<uint8_t> Transfer(ULONG tag, UCHAR endpoint, const std::vector<uint8_t>& data) {
    auto part1 = tdl::test::UrbTransferPart1(9, 0, endpoint, endpoint & 0x80 ? 1 : 0);
    const ULONG length = static_cast<ULONG>(data.size());
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &length, 4);
    std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &length, 4);
    return tdl::test::RecordBuilder(tag).Function(9).Part1(part1).Part2(data).Build();
}

struct StorageCapture {
    StorageCapture() {
        for (size_t i = 0; i < kCommands; ++i) {
            const bool read = i % 2 == 0;
            const ULONG tag = static_cast<ULONG>(i + 1);
            std::vector<uint8_t> cbw(31, 0);
            std::memcpy(cbw.data(), "USBC", 4);
            std::memcpy(cbw.data() + 4, &tag, 4);
            cbw[9] = 0x10; // 4096 bytes
            cbw[12] = read ? 0x80 : 0x00;
            cbw[14] = 10;
            cbw[15] = read ? 0x28 : 0x2A;
            cbw[19] = static_cast<uint8_t>(i);
            cbw[23] = 8;
            records.push_back(Transfer(LogTag::urbI, 0x02, cbw));
            records.push_back(Transfer(read ? LogTag::urbC : LogTag::urbI, read ? 0x81 : 0x02,
                                       std::vector<uint8_t>(512, 0xA5)));
            std::vector<uint8_t> csw(13, 0);
            std::memcpy(csw.data(), "USBS", 4);
            std::memcpy(csw.data() + 4, &tag, 4);
            records.push_back(Transfer(LogTag::urbC, 0x81, csw));
        }
    }
    const _LOGHDR* At(size_t i) const { return reinterpret_cast<const _LOGHDR*>(records[i].data()); }

    std::vector<std::vector<uint8_t>> records;
};

const StorageCapture& Capture() {
    static const StorageCapture capture;
    return capture;
}

void BM_StorageThroughBulkOnlyDecoder(benchmark::State& state) {
    const StorageCapture& capture = Capture();
    tdl::test::LogDetailsPane pane;
    GridOutputImp grid(&pane);
    size_t i = 0;
    for (auto _ : state) {
        grid.HideCategory("CBW");
        grid.HideCategory("CSW");
        MscBOTUrbOutputer decoder(&grid, nullptr, capture.At(i));
        decoder.OutputLogEntry();
        decoder.OutputKindTitle(OUTPUT_MODE_GRID);
        const uint8_t* record = capture.records[i].data();
        decoder.OutputBulkPayload(OUTPUT_MODE_GRID, LogHdr::DataSize(record), record + LOGHDR_SIZE);
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StorageThroughBulkOnlyDecoder);

void BM_StorageThroughPlainDecoder(benchmark::State& state) {
    const StorageCapture& capture = Capture();
    tdl::test::LogDetailsPane pane;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pane.ShowRecord(nullptr, capture.At(i)));
        i = (i + 1) % capture.records.size();
    }
    state.counters["records_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StorageThroughPlainDecoder);

} // namespace
