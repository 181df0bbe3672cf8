#include "app/decoders/descriptors/DescWalk.h"

#include "app/decoders/framework/FieldWriter.h"

namespace {

constexpr ULONG kHeaderBytes = 2;

} // namespace

DescStep MeasureDescriptor(const BYTE* pBytes, ULONG left) {
    if (left < kHeaderBytes)
        return {left, false};
    const ULONG length = pBytes[0];
    if (length < kHeaderBytes)
        return {kHeaderBytes, false};
    if (length > left)
        return {left, false};
    return {length, true};
}

void OutputBrokenDescriptor(FieldWriter& fields, const BYTE* pBytes, ULONG left) {
    CString text;
    if (left < kHeaderBytes) {
        text.Format(left == 1 ? "%u byte left" : "%u bytes left", static_cast<unsigned>(left));
        fields.Defect("Truncated", text);
        return;
    }
    const unsigned length = pBytes[0];
    if (length < kHeaderBytes) {
        text.Format("bLength %u", length);
        fields.Defect("Malformed", text);
    } else {
        text.Format("bLength %u, %u bytes left", length, static_cast<unsigned>(left));
        fields.Defect("Truncated", text);
    }
}

void WalkDescriptors(FieldWriter& fields, const BYTE* pBytes, ULONG count, DescStep header,
                     const std::function<void(const BYTE* pDescriptor, ULONG size)>& each) {
    DescStep step = header;
    ULONG position = 0;
    while (step.intact) {
        position += step.size;
        const ULONG left = count - position;
        if (left < kHeaderBytes) {
            if (left == 1)
                OutputBrokenDescriptor(fields, pBytes + position, left);
            return;
        }
        step = MeasureDescriptor(pBytes + position, left);
        each(pBytes + position, step.size);
    }
    OutputBrokenDescriptor(fields, pBytes + position, count - position);
}

FieldLabels WalkTitle(const char* elementName) {
    return FieldLabels(elementName, "Descriptor Type", "Descriptor");
}
