// CdbField: one row of a SCSI command block decoder, as a table entry that CdbOutputer walks. A command's
// decoder is its list of rows between "OperationCode" and "Control"; a row is a field declaration (its
// label, where its bits lie in the command block, how its value prints) and when it is shown at all (some
// fields belong to one command set only, some depend on another field of the same block).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "app/decoders/framework/FieldDecl.h"

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

// A row of a command's table: the field (big-endian, within the 16-byte block) and when it is shown.
struct CdbField {
    FieldDecl field;
    uint8_t subclasses = cdb_when::kAlways;
    // Shown only when (CDB[testByte] & testMask) == testValue; a zero mask tests nothing.
    uint8_t testByte = 0;
    uint8_t testMask = 0;
    uint8_t testValue = 0;

    // One past the last command block byte the row reads.
    constexpr size_t End() const { return static_cast<size_t>(field.offset) + field.size; }

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
    // The element name where the caption holds a blank or a slash.
    constexpr CdbField Xml(const char* name) const {
        CdbField f = *this;
        f.field.label = FieldLabels(name, f.field.label.xml);
        return f;
    }
};

// Row makers in the notation of the command layouts: Flag(label, 1, 3) is bit 3 of byte 1, BitRange(label, 1,
// 7, 5) bits 7 to 5 of byte 1, U32(label, 2) bytes 2 to 5. Bit fields of up to four bits print as one digit.
constexpr CdbField CdbRow(const char* label, FieldFormat format, uint8_t byte, uint8_t size, uint8_t shift = 0,
                          uint8_t bits = 0) {
    FieldDecl field{label, format, size, byte, shift, bits};
    field.flags = FieldDecl::kBigEndian;
    return CdbField{field};
}
constexpr CdbField Flag(const char* label, uint8_t byte, uint8_t bit) {
    return CdbRow(label, FieldFormat::Digit, byte, 1, bit, 1);
}
// Bits `high` down to `low` of one byte: a digit up to four bits, a byte-formatted value above.
constexpr CdbField BitRange(const char* label, uint8_t byte, uint8_t high, uint8_t low) {
    const uint8_t width = static_cast<uint8_t>(high - low + 1);
    return CdbRow(label, width <= 4 ? FieldFormat::Digit : FieldFormat::Hex2, byte, 1, low, width);
}
constexpr CdbField Byte(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex2, byte, 1);
}
constexpr CdbField U16(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex4, byte, 2);
}
constexpr CdbField U24(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex6, byte, 3);
}
constexpr CdbField U32(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex8, byte, 4);
}
constexpr CdbField U64(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex64, byte, 8);
}
// `count` raw bytes, comma-separated.
constexpr CdbField Group(const char* label, const char* xmlLabel, uint8_t byte, uint8_t count) {
    return CdbRow(label, FieldFormat::ByteList, byte, count).Xml(xmlLabel);
}
// The six-byte command's address: bits 0-4 of the byte, then two whole bytes, as a 24-bit value (bits 5-7
// belong to another field, the logical unit in older standards).
constexpr CdbField Address21(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex6, byte, 3, 0, 21);
}
// Bits 0-6 of the byte, then one whole byte, as a 16-bit value.
constexpr CdbField Address15(const char* label, uint8_t byte) {
    return CdbRow(label, FieldFormat::Hex4, byte, 2, 0, 15);
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
