// The length rules of the configuration and BOS walks.
//
// The set's header (configuration 9 bytes, BOS 5) is decoded over its standard size within the count, whatever
// its bLength says, and the walk goes on after it: a header whose bLength differs is marked "Malformed", so a
// broken header hides none of the descriptors behind it. A count that ends inside the header is marked
// "Truncated" and ends the walk.
//
// After the header, a descriptor starts only where enough bytes are left for it (2, and 3 for a device
// capability, which its type byte names); fewer are marked "Truncated" alone. A descriptor's bLength must be
// at least 2 and at most the bytes left: one that keeps the rule is decoded over exactly bLength bytes and the
// walk moves past them; one that breaks it is decoded over what is there (at least its header), marked, and
// ends the walk, since nothing after it can be placed.
#pragma once

#include <afx.h>

#include <functional>

#include "app/decoders/framework/FieldDecl.h"

class FieldWriter;

// The bytes a set's header decoder gets: its standard size, or fewer when the count ends before.
ULONG SetHeaderSize(ULONG count, ULONG standardSize);

// After the header's section, at the walk's level: the header's defect, if any, then every descriptor behind
// it, each decoded by `each` over the bytes it gets, while at least `least` bytes are left. A descriptor that
// breaks the length rule ends the walk marked, and so do fewer bytes than `least` left over. `cutBefore`: the
// bytes end where the record that carries them was cut, which the record says; an end inside a descriptor is
// then not marked again ("Malformed" still is).
// Steps by bLength, not by what a decoder read, and marks a broken length: a long descriptor's tail is no descriptor.
void WalkDescriptors(FieldWriter& fields, const BYTE* pBytes, ULONG count, ULONG headerSize, ULONG least,
                     bool cutBefore, const std::function<void(const BYTE* pDescriptor, ULONG size)>& each);

// The title of a descriptor's section in a walk: "Descriptor Type" in the grid, "Descriptor" in HTML, and
// the element name of its kind in XML.
FieldLabels WalkTitle(const char* elementName);
