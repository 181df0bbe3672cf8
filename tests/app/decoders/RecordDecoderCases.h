// Records the record decoders' tests share: one of each kind the factory tells apart, built with the record
// builder, and payloads of 32-bit words.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"

namespace decoder_test {

inline std::vector<uint8_t> Words(std::initializer_list<ULONG> words) {
    std::vector<uint8_t> bytes;
    for (ULONG word : words)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
    return bytes;
}

// A request record with every header field set to something a test can recognise.
inline tdl::test::RecordBuilder Request(ULONG tag, ULONG function, ULONG status = 0) {
    tdl::test::RecordBuilder builder(tag);
    builder.Function(function).Status(status).Sequence(7).TimeStamp(0x0000000123456789).StackId(0x0102);
    builder.DeviceObject(0xFFFFA80012340000).Irp(0xFFFFA80056780000);
    builder.Header().StackCount = 3;
    builder.Header().CurrentLocation = 2;
    builder.Header().StackLocation = 0xFFFFA80056780100;
    return builder;
}

// Every kind of record the decoders of this folder read a payload of, and one of each other kind.
inline std::vector<std::vector<uint8_t>> SampleRecords() {
    using namespace LogTag;
    return {
        Request(powI, 0, 0x103).Part1(Words({4})).Build(),       // wait-wake
        Request(powC, 1, 0).Part1(Words({1, 2, 3})).Build(),     // power sequence
        Request(powC, 1, 0xC0000001).Build(),                    // power sequence that failed
        Request(powI, 2, 0x103).Part1(Words({1, 4, 0})).Build(), // set power, device
        Request(powI, 3, 0x103).Part1(Words({0, 5, 2})).Build(), // query power, system
        Request(powR, 2, 0x103).Part1(Words({1, 4, 0})).Build(),
        Request(pnpC, 0x14, 0).Build(),
        Request(ctlC, 0x222003, 0xC0000010).Build(),
        Request(intI, 0x220003, 0).Build(),
        Request(hcdC, 0x220424, 0).Part1(Words({1, 2})).Build(),
        Request(hidI, 0xB0003, 0).Part1(Words({1})).Build(),
        Request(hubC, 0x220448, 0).Part1(Words({1, 2, 3, 4})).Build(),
        Request(uinI, 0x220013, 0).Part1(Words({5})).Build(),
        Request(buhC, 11, 0).Part1(Words({6, 7})).Build(),
        Request(khpI, 3, 0).Part1(Words({8})).Build(),
        Request(urbI, 9, 0).Part1(Words({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0})).Build(),
        Request(atsL, 0, 0).Build(),
        Request(FourCC("zzzQ"), 1, 0).Part1(Words({9})).Build(),
    };
}

} // namespace decoder_test
