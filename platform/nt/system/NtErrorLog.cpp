#include "NtErrorLog.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "NtBugCheck.h"
#include "NtClock.h"
#include "NtErrorLogControl.h"
#include "NtIrql.h"
#include "NtPool.h"
#include "NtPoolControl.h"

// A packet is allocated from pool behind a small header that remembers its size and object, so writing it
// knows what to copy; the driver sees only the packet.
namespace {

constexpr ULONG kErrorLogTag = nt::pool::TagFromString("ErrL");
constexpr ULONG kHeaderMagic = 0x454C4F47; // marks a packet this module handed out

struct alignas(16) PacketHeader {
    ULONG magic;
    ULONG size;
    PVOID ioObject;
};

struct Sink {
    std::mutex lock;
    std::vector<nt::errorlog::Entry> entries;
};

Sink& TheSink() {
    static Sink sink;
    return sink;
}

PacketHeader* HeaderOf(PVOID packet) {
    auto* header = reinterpret_cast<PacketHeader*>(static_cast<PUCHAR>(packet) - sizeof(PacketHeader));
    if (!MmIsAddressValid(header) || header->magic != kHeaderMagic) {
        nt::BugCheck(BAD_POOL_CALLER, "not an error-log packet from IoAllocateErrorLogEntry", 0,
                     reinterpret_cast<ULONG_PTR>(packet));
    }
    return header;
}

void Release(PacketHeader* header) {
    header->magic = 0;
    ExFreePoolWithTag(header, kErrorLogTag);
}

} // namespace

PVOID IoAllocateErrorLogEntry(PVOID IoObject, UCHAR EntrySize) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "IoAllocateErrorLogEntry");
    if (IoObject == nullptr || EntrySize < sizeof(IO_ERROR_LOG_PACKET) || EntrySize > ERROR_LOG_MAXIMUM_SIZE) {
        return nullptr;
    }
    auto* header = static_cast<PacketHeader*>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(PacketHeader) + EntrySize, kErrorLogTag));
    if (header == nullptr) {
        return nullptr;
    }
    header->magic = kHeaderMagic;
    header->size = EntrySize;
    header->ioObject = IoObject;
    PVOID packet = header + 1;
    std::memset(packet, 0, EntrySize);
    return packet;
}

void IoWriteErrorLogEntry(PVOID ElEntry) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "IoWriteErrorLogEntry");
    PacketHeader* header = HeaderOf(ElEntry);
    nt::errorlog::Entry entry;
    entry.ioObject = header->ioObject;
    entry.systemTime = nt::clock::SystemTime();
    auto* bytes = static_cast<const UCHAR*>(ElEntry);
    entry.packet.assign(bytes, bytes + header->size);
    Release(header);
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    sink.entries.push_back(std::move(entry));
}

void IoFreeErrorLogEntry(PVOID ElEntry) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "IoFreeErrorLogEntry");
    Release(HeaderOf(ElEntry));
}

namespace nt::errorlog {

IO_ERROR_LOG_PACKET Entry::Header() const {
    IO_ERROR_LOG_PACKET header{};
    std::memcpy(&header, packet.data(), std::min(sizeof header, packet.size()));
    return header;
}

std::vector<std::u16string> Entry::Strings() const {
    std::vector<std::u16string> strings;
    IO_ERROR_LOG_PACKET header = Header();
    size_t at = header.StringOffset;
    for (USHORT i = 0; i < header.NumberOfStrings && at + 1 < packet.size(); ++i) {
        std::u16string s;
        for (; at + 1 < packet.size(); at += 2) {
            char16_t c = static_cast<char16_t>(packet[at] | (packet[at + 1] << 8));
            if (c == 0) {
                at += 2;
                break;
            }
            s += c;
        }
        strings.push_back(std::move(s));
    }
    return strings;
}

std::vector<Entry> Entries() {
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    return sink.entries;
}

void Clear() {
    Sink& sink = TheSink();
    std::lock_guard guard(sink.lock);
    sink.entries.clear();
}

} // namespace nt::errorlog
