// The length rule of the configuration and BOS walks. A descriptor's bLength must be at least 2 and at most
// the bytes left: one that keeps the rule is decoded over exactly bLength bytes and the walk moves past
// them; one that breaks it is decoded over what is there (at least its header), marked, and ends the walk,
// since nothing after it can be placed.
#pragma once

#include <afx.h>

#include <functional>

#include "app/decoders/framework/FieldDecl.h"

class FieldWriter;

struct DescStep {
    ULONG size;  // the bytes the descriptor's decoder gets
    bool intact; // whether its bLength kept the rule
};

DescStep MeasureDescriptor(const BYTE* pBytes, ULONG left);

// Marks a descriptor that broke the rule ("Malformed" below 2, "Truncated" past the end), or bytes too few
// for a header, after its section at the walk's level.
void OutputBrokenDescriptor(FieldWriter& fields, const BYTE* pBytes, ULONG left);

// Walks the descriptors after a set's header, whose step is given: `each` decodes every descriptor over the
// bytes it gets, while 2 bytes are left. A descriptor that breaks the rule (the header too) ends the walk
// marked, and so does a single byte left over.
void WalkDescriptors(FieldWriter& fields, const BYTE* pBytes, ULONG count, DescStep header,
                     const std::function<void(const BYTE* pDescriptor, ULONG size)>& each);

// The title of a descriptor's section in a walk: "Descriptor Type" in the grid, "Descriptor" in HTML, and
// the element name of its kind in XML.
FieldLabels WalkTitle(const char* elementName);
