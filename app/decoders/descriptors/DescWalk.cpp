#include "app/decoders/descriptors/DescWalk.h"

#include <algorithm>

#include "app/decoders/framework/FieldWriter.h"

namespace {

constexpr ULONG kHeaderBytes = 2;

// Where the walk's bytes end: marked, unless the record that carries them has said it was cut.
struct WalkEnd {
    FieldWriter& fields;
    bool cutBefore;
    void Truncated(const CString& text) const {
        if (!cutBefore)
            fields.Defect("Truncated", text);
    }
};

void OutputBytesLeft(const WalkEnd& end, ULONG left) {
    CString text;
    text.Format(left == 1 ? "%u byte left" : "%u bytes left", static_cast<unsigned>(left));
    end.Truncated(text);
}

// A descriptor whose bLength breaks the rule: "Malformed" below 2, "Truncated" past the end.
void OutputBrokenLength(const WalkEnd& end, const BYTE* pBytes, ULONG left) {
    const unsigned length = pBytes[0];
    CString text;
    if (length < kHeaderBytes) {
        text.Format("bLength %u", length);
        end.fields.Defect("Malformed", text);
    } else {
        text.Format("bLength %u, %u bytes left", length, static_cast<unsigned>(left));
        end.Truncated(text);
    }
}

// The header's defect; false when the count ends inside the header and the walk with it.
bool OutputHeaderDefect(const WalkEnd& end, const BYTE* pBytes, ULONG count, ULONG headerSize) {
    if (count < kHeaderBytes) {
        OutputBytesLeft(end, count);
        return false;
    }
    if (count < headerSize) {
        CString text;
        text.Format("bLength %u, %u bytes left", static_cast<unsigned>(pBytes[0]), static_cast<unsigned>(count));
        end.Truncated(text);
        return false;
    }
    if (pBytes[0] != headerSize) {
        CString text;
        text.Format("bLength %u", static_cast<unsigned>(pBytes[0]));
        end.fields.Defect("Malformed", text);
    }
    return true;
}

} // namespace

ULONG SetHeaderSize(ULONG count, ULONG standardSize) {
    return std::min(count, standardSize);
}

void WalkDescriptors(FieldWriter& fields, const BYTE* pBytes, ULONG count, ULONG headerSize, ULONG least,
                     bool cutBefore, const std::function<void(const BYTE* pDescriptor, ULONG size)>& each) {
    const WalkEnd end{fields, cutBefore};
    if (!OutputHeaderDefect(end, pBytes, count, headerSize))
        return;
    for (ULONG position = headerSize; position < count;) {
        const BYTE* pDescriptor = pBytes + position;
        const ULONG left = count - position;
        if (left < least) {
            OutputBytesLeft(end, left);
            return;
        }
        const ULONG length = pDescriptor[0];
        if (length < kHeaderBytes || length > left) {
            each(pDescriptor, length < kHeaderBytes ? kHeaderBytes : left);
            OutputBrokenLength(end, pDescriptor, left);
            return;
        }
        each(pDescriptor, length);
        position += length;
    }
}

FieldLabels WalkTitle(const char* elementName) {
    return FieldLabels(elementName, "Descriptor Type", "Descriptor");
}
