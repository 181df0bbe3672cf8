// A capture of mixed records for the record list's benchmarks: one record of each kind of row a capture shows,
// cycled, against the device model of tests/support/StackKinds.h. Header only: each benchmark is a program of
// its own.
#pragma once

#include <cstring>
#include <vector>

#include "app/core/records/LogRecords.h"
#include "common/LogHeader.h"
#include "common/NodeEntries.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "common/RecordWriter.h"
#include "tests/support/StackKinds.h"

namespace tdl::bench {

using tdl::test::kBulkOnlyStack;
using tdl::test::kHidStack;
using tdl::test::kHubStack;
using tdl::test::kNamedDeviceObject;

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
inline std::vector<Shape> Shapes() {
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

// The bytes `count` records of the cycled shapes take.
inline uint64_t MixedCaptureBytes(const std::vector<Shape>& shapes, uint64_t count) {
    uint64_t bytes = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const Shape& shape = shapes[i % shapes.size()];
        bytes += RECORD_FRAME_SIZE + shape.part1.size() + shape.part2.size();
    }
    return bytes;
}

// Record i of the capture (sequence number i + 1) written at `pointer`, with `left` bytes of room; its size.
inline ULONG WriteMixedRecord(const std::vector<Shape>& shapes, uint64_t i, BYTE* pointer, size_t left) {
    const Shape& shape = shapes[i % shapes.size()];
    RecordLayout layout;
    LayoutRecord(shape.part1.size(), shape.part2.size(), left, layout);
    const RecordFrameWriter writer(pointer, layout);
    _LOGHDR header{};
    header.SequenceNumber = static_cast<ULONG>(i + 1);
    header.TimeStamp = tdl::test::kDeviceObjectStart + static_cast<LONGLONG>(i) * 1237;
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
    return layout.RecordSize();
}

// The store's first bank (made MixedCaptureBytes large) filled with records 0 to count - 1, each indexed.
inline void WriteMixedCapture(LogRecords::CLogRecords& store, const std::vector<Shape>& shapes, uint64_t count) {
    BYTE* pointer = nullptr;
    DWORD left = 0;
    store.GetWriteSpace(pointer, left);
    const BYTE* const start = pointer;
    for (uint64_t i = 0; i < count; ++i) {
        const ULONG size = WriteMixedRecord(shapes, i, pointer, left);
        store.Add(reinterpret_cast<_LOGHDR*>(pointer));
        pointer += size;
        left -= size;
    }
    store.AdvanceWrite(static_cast<DWORD>(pointer - start));
}

} // namespace tdl::bench
