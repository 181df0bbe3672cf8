// Builds framed records (header, part 1, part 2, "FINI") for tests: give a tag, a function word, a
// status and the payload; everything else has a plain default and can be set.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/LogHeader.h"

namespace tdl::test {

class RecordBuilder {
public:
    explicit RecordBuilder(ULONG tag);

    RecordBuilder& Function(ULONG function);
    RecordBuilder& Status(ULONG status);
    RecordBuilder& Sequence(ULONG sequence);
    RecordBuilder& TimeStamp(LONGLONG timeStamp);
    RecordBuilder& StackId(USHORT stackId);
    RecordBuilder& DeviceObject(ULONG64 deviceObject);
    RecordBuilder& Irp(ULONG64 irp);
    RecordBuilder& More(bool more = true);
    RecordBuilder& Part1(std::span<const uint8_t> bytes);
    RecordBuilder& Part2(std::span<const uint8_t> bytes);
    template <class T> RecordBuilder& Part1Struct(const T& part) {
        return Part1(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&part), sizeof part));
    }

    // The header as it will be written (Sync and DataSize are set by Build).
    _LOGHDR& Header() { return m_header; }

    std::vector<uint8_t> Build() const;

private:
    _LOGHDR m_header{};
    std::vector<uint8_t> m_part1;
    std::vector<uint8_t> m_part2;
};

// A record of the tag with the function word, status and payload (as part 1).
std::vector<uint8_t> BuildRecord(ULONG tag, ULONG function, ULONG status, std::span<const uint8_t> payload = {});

// Part 1 of a data-transfer URB record (functions 8, 9, 10, 50, sized for the function) with the pipe's
// interface and endpoint bytes, the transfer flags and, for 8 and 50, the setup packet's bmRequestType.
std::vector<uint8_t> UrbTransferPart1(ULONG function, UCHAR interfaceNumber, UCHAR endpointAddress, ULONG transferFlags,
                                      UCHAR bmRequestType = 0);

// Part 1 of a continuation record with the pipe's interface and endpoint bytes and the transfer flags.
std::vector<uint8_t> ContinuationPart1(UCHAR interfaceNumber, UCHAR endpointAddress, ULONG transferFlags);

// Appends records back to back, as they lie in a log block.
void AppendRecord(std::vector<uint8_t>& block, const std::vector<uint8_t>& record);

} // namespace tdl::test
