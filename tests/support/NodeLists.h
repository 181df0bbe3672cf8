// The capture driver's node lists (drivers and their device objects, device stacks) read as the application's
// driver client reads them, and their entries, for suites that hold what the windows show against them.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "common/NodeEntries.h"
#include "windows.h"

namespace tdl::test {

// The node list of the control code: its size asked first, then the list.
std::vector<BYTE> ReadNodeList(DWORD dwCode);

// An entry as its node structure (the part the entry holds; the rest zero).
template <class Node> Node NodeAt(std::span<const uint8_t> entry) {
    Node node{};
    std::memcpy(&node, entry.data(), std::min(sizeof node, entry.size()));
    return node;
}

// A fixed-width name field of a node as text.
inline std::string NodeText(const CHAR* field, size_t width) {
    return std::string(field, NodeStringLength(field, width));
}

} // namespace tdl::test
