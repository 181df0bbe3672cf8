#include "tests/support/RecordBuilder.h"

#include <cstring>

#include "common/RecordPayloads.h"
#include "common/RecordWriter.h"

namespace tdl::test {

RecordBuilder::RecordBuilder(ULONG tag) {
    m_header.LogType = tag;
    m_header.Continuation = LogTag::Data;
}

RecordBuilder& RecordBuilder::Function(ULONG function) {
    m_header.Function = function;
    return *this;
}
RecordBuilder& RecordBuilder::Status(ULONG status) {
    m_header.Status = status;
    return *this;
}
RecordBuilder& RecordBuilder::Sequence(ULONG sequence) {
    m_header.SequenceNumber = sequence;
    return *this;
}
RecordBuilder& RecordBuilder::TimeStamp(LONGLONG timeStamp) {
    m_header.TimeStamp = timeStamp;
    return *this;
}
RecordBuilder& RecordBuilder::StackId(USHORT stackId) {
    m_header.StackID = stackId;
    return *this;
}
RecordBuilder& RecordBuilder::DeviceObject(ULONG64 deviceObject) {
    m_header.DeviceObject = deviceObject;
    return *this;
}
RecordBuilder& RecordBuilder::Irp(ULONG64 irp) {
    m_header.Irp = irp;
    return *this;
}
RecordBuilder& RecordBuilder::More(bool more) {
    m_header.Continuation = more ? LogTag::More : LogTag::Data;
    return *this;
}
RecordBuilder& RecordBuilder::Part1(std::span<const uint8_t> bytes) {
    m_part1.assign(bytes.begin(), bytes.end());
    return *this;
}
RecordBuilder& RecordBuilder::Part2(std::span<const uint8_t> bytes) {
    m_part2.assign(bytes.begin(), bytes.end());
    return *this;
}

std::vector<uint8_t> RecordBuilder::Build() const {
    RecordLayout layout;
    const size_t size = RECORD_FRAME_SIZE + m_part1.size() + m_part2.size();
    LayoutRecord(m_part1.size(), m_part2.size(), size, layout);
    std::vector<uint8_t> record(size);
    RecordFrameWriter writer(record.data(), layout);
    writer.WriteHeader(m_header);
    writer.Part1Writer().WriteBytes(m_part1.data(), m_part1.size());
    writer.Part2Writer().WriteBytes(m_part2.data(), m_part2.size());
    writer.WriteTrailer();
    return record;
}

std::vector<uint8_t> BuildRecord(ULONG tag, ULONG function, ULONG status, std::span<const uint8_t> payload) {
    return RecordBuilder(tag).Function(function).Status(status).Part1(payload).Build();
}

std::vector<uint8_t> UrbTransferPart1(ULONG function, UCHAR interfaceNumber, UCHAR endpointAddress, ULONG transferFlags,
                                      UCHAR bmRequestType) {
    const int size = UrbRecordPart1Size(function & URB_FUNCTION_WORD_CODE_MASK);
    std::vector<uint8_t> part1(size > 0 ? static_cast<size_t>(size) : sizeof(URB_RECORD_HEAD));
    URB_RECORD_HEAD head{};
    head.Length = 0x80;
    head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    std::memcpy(part1.data(), &head, sizeof head);
    if (part1.size() >= URB_RECORD_TRANSFER_FLAGS_OFFSET + 4) {
        part1[URB_RECORD_INTERFACE_OFFSET] = interfaceNumber;
        part1[URB_RECORD_ENDPOINT_OFFSET] = endpointAddress;
        std::memcpy(&part1[URB_RECORD_TRANSFER_FLAGS_OFFSET], &transferFlags, 4);
    }
    const ULONG code = function & URB_FUNCTION_WORD_CODE_MASK;
    if (code == 8)
        part1[offsetof(URB_RECORD_CONTROL_TRANSFER, SetupPacket)] = bmRequestType;
    if (code == 50)
        part1[URB_RECORD_SETUP_EX_OFFSET] = bmRequestType;
    return part1;
}

std::vector<uint8_t> ContinuationPart1(UCHAR interfaceNumber, UCHAR endpointAddress, ULONG transferFlags) {
    URB_RECORD_CONTINUATION part{};
    part.TransferFlags = transferFlags;
    part.InterfaceNumber = interfaceNumber;
    part.EndpointAddress = endpointAddress;
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    return bytes;
}

void AppendRecord(std::vector<uint8_t>& block, const std::vector<uint8_t>& record) {
    block.insert(block.end(), record.begin(), record.end());
}

} // namespace tdl::test
