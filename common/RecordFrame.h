// Checking and walking record frames: header, payload, "FINI" trailer. Readers take records from log
// blocks, capture banks and files, where a damaged or short record must be refused, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/ByteReader.h"
#include "common/LogHeader.h"

enum class RecordFrameError : uint8_t {
    None,
    ShortHeader,     // fewer than 64 bytes left
    BadSync,         // first word is not "####" (nor "****" when the gap mark is accepted)
    BadContinuation, // word 60 is neither "DATA" nor "MORE"
    PastEnd,         // header + DataSize + trailer runs past the bytes given
    BadTrailer,      // no "FINI" after the payload
};

// Flags of CheckRecordFrame.
constexpr unsigned RECORD_FRAME_ACCEPT_GAP_SYNC = 0x1; // accept "****", the application's mark on a sequence gap

const char* RecordFrameErrorName(RecordFrameError error);

// Checks the record that starts at bytes[0]. On success `recordSize` (when given) receives its whole size
// (68 + DataSize); the record's bytes are then bytes.first(recordSize).
RecordFrameError CheckRecordFrame(std::span<const uint8_t> bytes, size_t* recordSize = nullptr, unsigned flags = 0);

// Header fields read straight from a record's bytes. The caller has made sure 64 bytes are there.
namespace LogHdr {
inline ULONG Sync(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, Sync));
}
inline ULONG SequenceNumber(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, SequenceNumber));
}
inline LONGLONG TimeStamp(const uint8_t* r) {
    return tdl::LoadLe<LONGLONG>(r + offsetof(_LOGHDR, TimeStamp));
}
inline ULONG LogType(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, LogType));
}
inline ULONG Function(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, Function));
}
inline ULONG DataSize(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, DataSize));
}
inline USHORT StackID(const uint8_t* r) {
    return tdl::LoadLe<USHORT>(r + offsetof(_LOGHDR, StackID));
}
inline ULONG Status(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, Status));
}
inline ULONG Continuation(const uint8_t* r) {
    return tdl::LoadLe<ULONG>(r + offsetof(_LOGHDR, Continuation));
}
inline UCHAR StackCount(const uint8_t* r) {
    return r[offsetof(_LOGHDR, StackCount)];
}
// Signed: an IRP whose stack is used up reads below 1.
inline signed char CurrentLocation(const uint8_t* r) {
    return static_cast<signed char>(r[offsetof(_LOGHDR, CurrentLocation)]);
}
inline ULONG64 DeviceObject(const uint8_t* r) {
    return tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, DeviceObject));
}
inline ULONG64 Irp(const uint8_t* r) {
    return tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, Irp));
}
inline ULONG64 StackLocation(const uint8_t* r) {
    return tdl::LoadLe<ULONG64>(r + offsetof(_LOGHDR, StackLocation));
}
} // namespace LogHdr

// Walks the records of a block, front to back, and stops at the end of the bytes or at the first record
// whose frame does not check; Error() then says why and Offset() where.
class RecordWalker {
public:
    explicit RecordWalker(std::span<const uint8_t> block, unsigned flags = 0) : m_block(block), m_flags(flags) {}

    // The next whole record, or false at the end of the block or at a damaged record.
    bool Next(std::span<const uint8_t>& record);

    RecordFrameError Error() const { return m_error; }
    size_t Offset() const { return m_offset; }
    bool AtEnd() const { return m_offset == m_block.size(); }

private:
    std::span<const uint8_t> m_block;
    unsigned m_flags;
    size_t m_offset = 0;
    RecordFrameError m_error = RecordFrameError::None;
};
