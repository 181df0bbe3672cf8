// Records of function calls (hub-interface calls "buh", port-driver hook calls "khp") for tests, fuzz seeds
// and benchmarks. The capture driver writes neither kind, so every such record is made by hand: argument
// blocks are laid out byte by byte, as the calls pass them, with ArgBlock.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/DecoderDocument.h"
#include "tests/support/RecordBuilder.h"

namespace tdl::test {

// The bus context of the hand-made hub-interface calls: the decoder document's first device object.
constexpr ULONG64 kCallBusContext = DecoderDocument::kDeviceObjectBase;
// Their second argument (a device handle), and the hook calls' miniport driver object (the document's).
constexpr ULONG64 kCallHandle = 0xFFFFA80022220000;
constexpr ULONG64 kCallDriverObject = DecoderDocument::kMiniportDriverObject;

// An argument block, value by value, little-endian.
class ArgBlock {
public:
    ArgBlock& U8(uint8_t value) { return Put(value, 1); }
    ArgBlock& U16(uint16_t value) { return Put(value, 2); }
    ArgBlock& U32(uint32_t value) { return Put(value, 4); }
    ArgBlock& U64(uint64_t value) { return Put(value, 8); }
    ArgBlock& Bytes(std::initializer_list<uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    // A published structure as it lies in memory (its x64 layout).
    template <class T> ArgBlock& Struct(const T& value) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), bytes, bytes + sizeof value);
        return *this;
    }
    ArgBlock& Zeros(size_t count) {
        m_bytes.insert(m_bytes.end(), count, 0);
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }
    operator const std::vector<uint8_t>&() const { return m_bytes; }

private:
    ArgBlock& Put(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

// A call record: the tag, the function word, what the call returned (header +56) and the argument block;
// +32 holds `deviceObject` (a hub-interface call's bus context) and +40 `secondArgument` (its handle, or a
// hook call's driver object).
std::vector<uint8_t> CallRecord(ULONG tag, ULONG function, ULONG64 deviceObject, ULONG64 secondArgument, ULONG returned,
                                const std::vector<uint8_t>& args);

// The argument block's size in a whole record of the call: the hub-interface function index or the hook
// code, on the request record or the completion (result) record.
ULONG HubifBlockSize(ULONG index, bool completion);
ULONG HookBlockSize(ULONG code, bool completion);

// Every hub-interface index (0 to 35) and every hook code (0 to 79) on both records, each with a whole
// argument block whose bytes count up from 1 (transfer calls with a control transfer's setup packet).
std::vector<std::vector<uint8_t>> AllCallRecords();

} // namespace tdl::test
