// Payloads of HID and host-controller IOCTL records as the driver writes them, for the IOCTL decoders' tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/decoders/RecordDecoderCases.h"
#include "tests/support/LogDetailsPane.h"

namespace ioctl_test {

using decoder_test::Request;
using decoder_test::Words;

// The HID buffer block: the buffer's length, the second value (report ID or byte count), the address.
inline std::vector<uint8_t> Block(ULONG length, ULONG second, ULONG64 address) {
    return Words({length, second, static_cast<ULONG>(address), static_cast<ULONG>(address >> 32)});
}

// The HID indexed string's block: both lengths, both buffers' addresses and the string index.
inline std::vector<uint8_t> IndexedBlock(ULONG outputLength, ULONG inputLength, ULONG64 mdl, ULONG64 systemBuffer,
                                         ULONG index) {
    return Words({outputLength, inputLength, static_cast<ULONG>(mdl), static_cast<ULONG>(mdl >> 32),
                  static_cast<ULONG>(systemBuffer), static_cast<ULONG>(systemBuffer >> 32), index});
}

// The bytes of the parts, one after the other.
inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// UTF-16LE of an ASCII text, with its terminating zero.
inline std::vector<uint8_t> Wide(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

inline std::vector<uint8_t> Record(ULONG tag, ULONG code, ULONG status, const std::vector<uint8_t>& payload) {
    return Request(tag, code, status).Part1(payload).Build();
}

// The body of a record's mark-up: what follows the header's fields, without line ends.
inline std::string MarkupBody(const std::string& markup) {
    const std::string after = "</IrpStatus>";
    const size_t begin = markup.find(after);
    const size_t end = markup.rfind("</Record>");
    if (begin == std::string::npos || end == std::string::npos)
        return markup;
    std::string body;
    for (char c : markup.substr(begin + after.size(), end - begin - after.size()))
        if (c != '\r' && c != '\n')
            body += c;
    return body;
}

// What the Log Details pane shows of the record in the kind's category, below its first row (the request's
// name).
inline std::string ShownBody(const std::vector<uint8_t>& record, const char* category) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(nullptr, record));
    const std::string shown = pane.Shown(category);
    const size_t firstLine = shown.find('\n');
    return firstLine == std::string::npos ? shown : shown.substr(firstLine + 1);
}

// Each code on both sides, with the most its record can hold.
inline std::vector<std::vector<uint8_t>> HidHcdWholeRecords() {
    const std::vector<uint8_t> block = Join({Block(8, 8, 0xFFFFA80011110000), Wide("Abc")});
    const std::vector<uint8_t> indexed = Join({IndexedBlock(64, 4, 1, 2, 0), Words({0x04070409, 0})});
    const std::vector<uint8_t> collection = Join({Block(12, 12, 3), Words({0x2A8, 0x046D0001, 0x0110C31C})});
    std::vector<uint8_t> userRequest = Words({16, 56, 1, 2, 1, 0, 40, 40, 0x8086, 0x293C, 2, 6, 1000, 7});
    std::vector<std::vector<uint8_t>> records;
    for (ULONG tag : {LogTag::hidI, LogTag::hidC}) {
        for (ULONG code : {0xB0190, 0xB0194, 0xB0198, 0xB019C, 0xB01A0, 0xB01A4, 0xB0197, 0xB01E6, 0xB020B, 0xB020F})
            records.push_back(Record(tag, code, 0, Words({8, 32})));
        for (ULONG code : {0xB0191, 0xB0192, 0xB0193, 0xB0195, 0xB019A, 0xB019E, 0xB01A2, 0xB01BA, 0xB01BE, 0xB01C2})
            records.push_back(Record(tag, code, 0, block));
        records.push_back(Record(tag, 0xB01A8, 0, collection));
        records.push_back(Record(tag, 0xB01E2, 0, indexed));
    }
    std::vector<uint8_t> stats2(120, 0x11);
    for (ULONG tag : {LogTag::hcdI, LogTag::hcdC}) {
        records.push_back(Record(tag, 0x2203FC, 0, std::vector<uint8_t>(44, 0x22)));
        records.push_back(Record(tag, 0x220428, 0, stats2));
        for (ULONG code : {0x220408, 0x220424})
            records.push_back(Record(tag, code, 0, Join({Words({12}), Wide("ROOT")})));
        for (ULONG code : {0x220400, 0x220404, 0x220430, 0x220434})
            records.push_back(Record(tag, code, 0, Words({1})));
        records.push_back(Record(tag, 0x220438, 0, userRequest));
    }
    return records;
}

} // namespace ioctl_test
