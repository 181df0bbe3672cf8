// CdbField: one row of a SCSI command block decoder, as a table entry that CdbOutputer walks. A command's
// decoder is its list of rows between "OperationCode" and "Control"; a row names its label, where its bits
// lie in the command block, how its value is shown, and when it is shown at all (some fields belong to one
// command set only, some depend on another field of the same block).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// How a row's value is read and shown. The grid shows numbers with "0x", the mark-up media bare; a field of
// 1 to 4 bits is a single digit everywhere.
enum class CdbKind : uint8_t {
    Bits,   // 1 to 4 bits of one byte, shifted down: "%1x"
    Byte,   // a whole byte, or 5 to 7 bits of one: "0x%02x"
    U16,    // big-endian: "0x%04x"
    U24,    // big-endian: "0x%06x"
    U32,    // big-endian: "0x%08x"
    U64,    // big-endian, no leading zeros: "0x%I64x"
    Group,  // `count` raw bytes, comma-separated
    Addr21, // the six-byte address: bits 0-4 of the byte, then two whole bytes, as a 24-bit value
    Addr15, // bits 0-6 of the byte, then one whole byte, as a 16-bit value
};

// When a row is shown. The command-set codes are those of the mass-storage interface's subclass; "other"
// stands for every code but 1, 2 and 6.
namespace cdb_when {
inline constexpr uint8_t kRbc = 1;   // subclass 1
inline constexpr uint8_t kMmc = 2;   // subclass 2
inline constexpr uint8_t kSpc = 4;   // subclass 6
inline constexpr uint8_t kOther = 8; // any other subclass
inline constexpr uint8_t kAlways = kRbc | kMmc | kSpc | kOther;
inline constexpr uint8_t kNotRbc = kMmc | kSpc | kOther;
inline constexpr uint8_t kMmcSpc = kMmc | kSpc;
} // namespace cdb_when

struct CdbField {
    const char* label;        // the grid caption, and the element name unless `xmlLabel` is given
    uint8_t byte;             // the first (most significant) byte
    CdbKind kind;
    uint8_t shift = 0;        // Bits and Byte: the lowest bit of the field
    uint8_t bits = 8;         // Bits and Byte: the field's width; Group: the number of bytes
    uint8_t subclasses = cdb_when::kAlways;
    // Shown only when (CDB[testByte] & testMask) == testValue; a zero mask tests nothing.
    uint8_t testByte = 0;
    uint8_t testMask = 0;
    uint8_t testValue = 0;
    const char* xmlLabel = nullptr; // the element name where the caption holds a blank or a slash

    // The number of command block bytes the row reads from `byte` on.
    constexpr size_t Width() const {
        switch (kind) {
        case CdbKind::U16:
        case CdbKind::Addr15:
            return 2;
        case CdbKind::U24:
        case CdbKind::Addr21:
            return 3;
        case CdbKind::U32:
            return 4;
        case CdbKind::U64:
            return 8;
        case CdbKind::Group:
            return bits;
        default:
            return 1;
        }
    }

    constexpr CdbField Only(uint8_t set) const {
        CdbField f = *this;
        f.subclasses = set;
        return f;
    }
    constexpr CdbField When(uint8_t index, uint8_t mask, uint8_t value) const {
        CdbField f = *this;
        f.testByte = index;
        f.testMask = mask;
        f.testValue = value;
        return f;
    }
    constexpr CdbField Xml(const char* name) const {
        CdbField f = *this;
        f.xmlLabel = name;
        return f;
    }
};

// Row makers in the notation of the command layouts: Flag(label, 1, 3) is bit 3 of byte 1, BitRange(label, 1,
// 7, 5) bits 7 to 5 of byte 1, U32(label, 2) bytes 2 to 5.
constexpr CdbField Flag(const char* label, uint8_t byte, uint8_t bit) {
    return CdbField{label, byte, CdbKind::Bits, bit, 1};
}
// Bits `high` down to `low` of one byte: a digit up to four bits, a byte-formatted value above.
constexpr CdbField BitRange(const char* label, uint8_t byte, uint8_t high, uint8_t low) {
    const uint8_t width = static_cast<uint8_t>(high - low + 1);
    return CdbField{label, byte, width <= 4 ? CdbKind::Bits : CdbKind::Byte, low, width};
}
constexpr CdbField Byte(const char* label, uint8_t byte) {
    return CdbField{label, byte, CdbKind::Byte};
}
constexpr CdbField U16(const char* label, uint8_t byte) {
    return CdbField{label, byte, CdbKind::U16};
}
constexpr CdbField U24(const char* label, uint8_t byte) {
    return CdbField{label, byte, CdbKind::U24};
}
constexpr CdbField U32(const char* label, uint8_t byte) {
    return CdbField{label, byte, CdbKind::U32};
}
constexpr CdbField U64(const char* label, uint8_t byte) {
    return CdbField{label, byte, CdbKind::U64};
}
constexpr CdbField Group(const char* label, const char* xmlLabel, uint8_t byte, uint8_t count) {
    return CdbField{label, byte, CdbKind::Group, 0, count, cdb_when::kAlways, 0, 0, 0, xmlLabel};
}

// The decoder of one operation code: its rows between "OperationCode" and "Control".
struct CdbCommand {
    uint8_t opcode;
    std::span<const CdbField> fields;
};

// The command decoders of each group, in operation-code order.
std::span<const CdbCommand> CdbCommands6();
std::span<const CdbCommand> CdbCommands10();
std::span<const CdbCommand> CdbCommands12();
std::span<const CdbCommand> CdbCommands16();
