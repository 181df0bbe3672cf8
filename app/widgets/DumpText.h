// The hex-dump control's texts: reading an element's value from the bytes, a value in each column's form, the
// tooltip built from its format, and the in-place editor's texts, character filter and parser. Free of windows
// so that tables can test them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Byte order of a value read: the control's default, or forced.
enum DumpByteOrder { DUMP_ORDER_DEFAULT = 0, DUMP_ORDER_BIG = 1, DUMP_ORDER_LITTLE = 2 };

struct DumpBytes {
    const uint8_t* data = nullptr;
    size_t length = 0; // bytes
    bool wordMode = false;
    bool littleEndian = false; // the default byte order
};

// The value of an element, `width` bytes (0: 2 in word mode, else 1) from the element's byte position
// (element x 2 in word mode). A width running past the end uses the bytes there are; an element past the end
// reads 0 and `ok` false.
uint32_t ReadDumpValue(const DumpBytes& bytes, int64_t element, int order, int width, bool* ok = nullptr);
int DumpDefaultWidth(bool wordMode);

// Column forms of a value `width` bytes wide.
std::string DumpHexText(uint32_t value, int width);    // 2 x width upper-case digits
std::string DumpBinaryText(uint32_t value, int width); // width x 8 bits, "-" between bytes
// The low byte; a control character or a byte with no character in Windows-1252 (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) is the replacement, or a blank without one.
std::string DumpCharText(uint32_t value, char nonPrintable);

struct DumpTipContext {
    DumpBytes bytes;
    int64_t element = 0;
    int offsetDigits = 4;
    char nonPrintable = 0;
};
// The tooltip for the element: "%" starts a directive of an optional order ("+" big-endian, "-" little-endian)
// and width (0 to 4), then H, D, B, O, A (the value), R (the element index), n (a line break) or t (spaces to
// the next multiple of four); any other character after "%" is copied. A directive cut off by the end of the
// format is copied as written.
std::string FormatDumpTip(const std::string& format, const DumpTipContext& context);

// The in-place editor's modes.
enum NumEditMode { NUMEDIT_DEC = 0, NUMEDIT_HEX = 1, NUMEDIT_BIN = 2, NUMEDIT_OCT = 3, NUMEDIT_CHAR = 4 };

struct NumEditRange {
    uint32_t minimum = 0;
    uint32_t maximum = 0;
};
// Width 1: 0 to 255; 2: 0 to 65535; 4: the whole 32 bits; else the given bounds, swapped when reversed.
NumEditRange NumEditRangeFor(int width, uint32_t minimum, uint32_t maximum);
// Characters the text may hold: the maximum's digits in the mode's base (binary with its "-" separators;
// character mode 1).
int NumEditMaxChars(int mode, uint32_t maximum);
// The text of a value: decimal, hexadecimal padded to `maxChars`, binary of the maximum's bit count with "-"
// every 8 bits, octal, or the byte (". " below 32) in character mode.
std::string NumEditText(int mode, uint32_t value, uint32_t maximum);
// Whether a typed character may go into the text (characters below 32 always do); lower-case hexadecimal
// digits are accepted and taken as upper case by the caller.
bool NumEditAccepts(int mode, char c);

struct NumEditParse {
    uint32_t value = 0;
    bool overflow = false; // the number does not fit 32 bits: out of range whatever the bounds
};
// As the platform's 32-bit strtoul in the mode's base (binary skips the "-" separators); character mode takes
// the first byte (0 when empty).
NumEditParse ParseNumEditText(int mode, const std::string& text);
