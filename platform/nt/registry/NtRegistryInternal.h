// The registry store's key tree (internal to the registry files of the kernel stand-in).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "NtRegistryStore.h"

namespace nt::registry {

class Key {
public:
    std::u16string name; // as created
    std::u16string className;
    bool isVolatile = false;
    bool deleted = false;
    LONGLONG lastWriteTime = 0;
    Key* parent = nullptr;                     // null for the root and for deleted keys
    std::map<std::u16string, KeyRef> children; // key: upper-cased name (sorted enumeration)
    std::vector<Value> values;                 // creation order
};

// The text form of a tree (see NtRegistryStore.h); volatile keys are left out.
std::string TreeToText(const Key& root);
// Builds a tree from text into `root` (which holds the roots only). False with a message on malformed input.
bool TextToTree(std::string_view text, Key& root, std::string& error);

// Used by both: a fresh root "\REGISTRY" with "MACHINE" and "USER".
KeyRef NewRootTree();
// Under the store lock: the child of `parent` named `name`, creating it when missing.
KeyRef ChildFor(Key& parent, std::u16string_view name, bool create);

} // namespace nt::registry
