// Payloads of HID and host-controller IOCTL records as the driver writes them, for the IOCTL decoders' tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/app/decoders/RecordDecoderCases.h"

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

} // namespace ioctl_test
