#include "app/decoders/descriptors/DescWalk.h"

#include "app/decoders/framework/Outputer.h"

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

void OutputBrokenDescriptor(Outputer& outputer, int mode, const BYTE* pBytes, ULONG left) {
    // Like every other row of a descriptor, a mark exists only in the three media.
    if (mode != OUTPUT_MODE_XML && mode != OUTPUT_MODE_GRID && mode != OUTPUT_MODE_HTML)
        return;
    CString text;
    if (left < kHeaderBytes) {
        text.Format(left == 1 ? "%u byte left" : "%u bytes left", static_cast<unsigned>(left));
        outputer.OutputDefect(mode, "Truncated", text);
        return;
    }
    const unsigned length = pBytes[0];
    if (length < kHeaderBytes) {
        text.Format("bLength %u", length);
        outputer.OutputDefect(mode, "Malformed", text);
    } else {
        text.Format("bLength %u, %u bytes left", length, static_cast<unsigned>(left));
        outputer.OutputDefect(mode, "Truncated", text);
    }
}

void WalkDescriptors(Outputer& outputer, int mode, const BYTE* pBytes, ULONG count, DescStep header,
                     const std::function<void(const BYTE* pDescriptor, ULONG size)>& each) {
    DescStep step = header;
    ULONG position = 0;
    while (step.intact) {
        position += step.size;
        const ULONG left = count - position;
        if (left < kHeaderBytes) {
            if (left == 1)
                OutputBrokenDescriptor(outputer, mode, pBytes + position, left);
            return;
        }
        step = MeasureDescriptor(pBytes + position, left);
        each(pBytes + position, step.size);
    }
    OutputBrokenDescriptor(outputer, mode, pBytes + position, count - position);
}

CString WalkTitle(int mode, const char* elementName) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        return "Descriptor Type";
    case OUTPUT_MODE_HTML:
        return "Descriptor";
    default:
        return elementName;
    }
}
