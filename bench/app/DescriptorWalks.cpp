// What walking a configuration set costs: sets per second through the property-grid back-end on the tests'
// grid (the device properties pane's grouped layout and the ordinary one) and through the HTML back-end of
// the device reports. Two sets: a composite device's (an association, a HID interface, a mass-storage
// interface and their endpoints), and an audio device's of 1 KiB (class-specific descriptors and 9-byte
// isochronous endpoints, the layouts a walk sees most of in an audio report).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <unistd.h>

#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "tests/support/TestGridPane.h"

namespace {

using Bytes = std::vector<BYTE>;

void Append(Bytes& set, std::initializer_list<BYTE> descriptor) {
    set.insert(set.end(), descriptor);
}

// The configuration descriptor first, with wTotalLength filled in once the set is whole.
Bytes Finish(Bytes set) {
    set[2] = static_cast<BYTE>(set.size());
    set[3] = static_cast<BYTE>(set.size() >> 8);
    return set;
}

Bytes CompositeSet() {
    Bytes set = {0x09, 0x02, 0x00, 0x00, 0x02, 0x01, 0x00, 0xA0, 0x32};
    Append(set, {0x08, 0x0B, 0x00, 0x01, 0x03, 0x01, 0x01, 0x00});
    Append(set, {0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x01, 0x01, 0x00});
    Append(set, {0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, 0x3F, 0x00});
    Append(set, {0x07, 0x05, 0x81, 0x03, 0x08, 0x00, 0x0A});
    Append(set, {0x09, 0x04, 0x01, 0x00, 0x02, 0x08, 0x06, 0x50, 0x00});
    Append(set, {0x07, 0x05, 0x82, 0x02, 0x00, 0x02, 0x00});
    Append(set, {0x07, 0x05, 0x02, 0x02, 0x00, 0x02, 0x00});
    return Finish(set);
}

Bytes AudioSet() {
    Bytes set = {0x09, 0x02, 0x00, 0x00, 0x02, 0x01, 0x00, 0x80, 0xFA};
    Append(set, {0x09, 0x04, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00});
    Append(set, {0x0A, 0x24, 0x01, 0x00, 0x01, 0x64, 0x00, 0x02, 0x01, 0x02});
    BYTE alternate = 0;
    while (set.size() < 1024 - 49) {
        Append(set, {0x09, 0x04, 0x01, alternate++, 0x01, 0x01, 0x02, 0x00, 0x00});
        Append(set, {0x07, 0x24, 0x01, 0x01, 0x01, 0x01, 0x00});
        Append(set, {0x0B, 0x24, 0x02, 0x01, 0x02, 0x02, 0x10, 0x01, 0x80, 0xBB, 0x00});
        Append(set, {0x09, 0x05, 0x01, 0x09, 0xC0, 0x00, 0x01, 0x00, 0x00});
        Append(set, {0x07, 0x25, 0x01, 0x01, 0x01, 0x01, 0x00});
    }
    // The rest as one vendor descriptor, so that every byte is part of the walk.
    const size_t rest = 1024 - set.size();
    set.push_back(static_cast<BYTE>(rest));
    set.push_back(0x41);
    set.resize(1024, 0x00);
    return Finish(set);
}

const Bytes& Set(int which) {
    static const Bytes composite = CompositeSet();
    static const Bytes audio = AudioSet();
    return which == 0 ? composite : audio;
}

void SetCounters(benchmark::State& state, const Bytes& set) {
    state.counters["sets_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(set.size()));
}

// arg 0: the set (0 composite, 1 audio); arg 1: the grouped layout.
void BM_WalkThroughGrid(benchmark::State& state) {
    const Bytes& set = Set(static_cast<int>(state.range(0)));
    const bool grouped = state.range(1) != 0;
    tdl::test::TestGridPane pane;
    CGkPropertyGridItem* category = pane.Category("URB");
    for (auto _ : state) {
        GridOutputImp grid(&pane);
        grid.ShowCategory("URB");
        FullConfigDescOutputer(&grid, nullptr, set.data(), static_cast<ULONG>(set.size()))
            .Output(OUTPUT_MODE_GRID, "Configuration", "", grouped, grouped);
        // The pane empties its category before the next device, as here.
        category->GetChilds()->Clear();
    }
    SetCounters(state, set);
}
BENCHMARK(BM_WalkThroughGrid)->ArgsProduct({{0, 1}, {0, 1}});

void BM_WalkThroughHtml(benchmark::State& state) {
    const Bytes& set = Set(static_cast<int>(state.range(0)));
    const std::string path = "/tmp/tdl_bench_descriptors_" + std::to_string(::getpid()) + ".htm";
    CHtmlOutput writer;
    if (!writer.OpenByName(path.c_str())) {
        state.SkipWithError("no report file");
        return;
    }
    HtmlOutputImp html(&writer);
    for (auto _ : state)
        FullConfigDescOutputer(&html, nullptr, set.data(), static_cast<ULONG>(set.size()))
            .Output(OUTPUT_MODE_HTML, "Configuration", "CONFIGURATION", false, false);
    SetCounters(state, set);
    ::unlink(path.c_str());
}
BENCHMARK(BM_WalkThroughHtml)->Arg(0)->Arg(1);

} // namespace
