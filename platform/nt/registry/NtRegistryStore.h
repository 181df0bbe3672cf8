// The machine's registry store (internal interface and controls of the stand-in, not part of the platform).
//
// One store serves kernel mode (the Zw* routines of NtRegistry.h) and user mode (the Reg* API), with one set of
// rules:
// - a tree of keys under "\REGISTRY", which holds "MACHINE" and "USER"; paths are absolute
//   ("\Registry\Machine\Software\X") or relative to an open key;
// - names of keys and values are case-insensitive and keep the case they were created with;
// - CreateKey creates only the last key of its path; a missing parent is STATUS_OBJECT_NAME_NOT_FOUND;
// - DeleteKey refuses a key with subkeys (STATUS_CANNOT_DELETE) and the roots; references to a deleted key stay
//   usable objects but every operation on them answers STATUS_KEY_DELETED;
// - enumeration order: subkeys sorted by upper-cased name, values in creation order (setting an existing value
//   keeps its place);
// - volatile keys (and everything below them) live in memory only.
//
// Persistence: AttachFile loads a text file (or starts empty when it does not exist) and from then on writes
// the whole store back to it after every change, so "the next boot" (a new store attached to the same file)
// sees every value. The file is UTF-8 text, one key or value a line:
//     [\REGISTRY\MACHINE\SYSTEM\Services\KxTdloft\Parameters]
//     "CaptureBulk"=dword:00000001
//     "Name"=sz:"text with \"quotes\", \\ and \n escaped"
//     "Data"=binary:01 02 ff
//     "List"=multi_sz:"one","two"
//     "Big"=qword:0000000000000010
//     @=sz:"the default value"
//     "Odd"=hex(5):00 00 00 01
// Key paths escape '%' and control characters as %XXXX (UTF-16 code unit in hex). Values whose bytes do not
// fit the readable form of their type (a REG_SZ without its NUL, a REG_DWORD of 3 bytes, ...) are written as
// hex(<type>) so that every byte survives.
//
// Failure injection: a plan makes matching operations fail with a chosen status, without changing anything:
// by operation, by key path (the key itself or anything below it), optionally by value name, after skipping a
// number of matches, for a number of matches.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "NtRegistryTypes.h"
#include "ntdef.h"
#include "ntstatus.h"

namespace nt::registry {

class Key;
using KeyRef = std::shared_ptr<Key>;

struct Value {
    std::u16string name;
    ULONG type = REG_NONE;
    std::vector<UCHAR> data;
};

struct KeyInfo {
    std::u16string name; // the key's own name, as created
    std::u16string className;
    LONGLONG lastWriteTime = 0; // system time of the last change of the key or its values
    ULONG subKeys = 0;
    ULONG maxSubKeyNameBytes = 0;
    ULONG maxClassBytes = 0;
    ULONG values = 0;
    ULONG maxValueNameBytes = 0;
    ULONG maxValueDataBytes = 0;
    bool isVolatile = false;
};

// `base` null: `path` is absolute and starts with "\Registry". Otherwise it is relative to base (an empty path
// opens base again).
NTSTATUS OpenKey(const KeyRef& base, std::u16string_view path, KeyRef& key);
NTSTATUS CreateKey(const KeyRef& base, std::u16string_view path, bool isVolatile, std::u16string_view className,
                   KeyRef& key, bool& created);
NTSTATUS DeleteKey(const KeyRef& key);
NTSTATUS SetValue(const KeyRef& key, std::u16string_view name, ULONG type, const void* data, size_t size);
// STATUS_OBJECT_NAME_NOT_FOUND when the value does not exist.
NTSTATUS QueryValue(const KeyRef& key, std::u16string_view name, Value& value);
NTSTATUS DeleteValue(const KeyRef& key, std::u16string_view name);
// STATUS_NO_MORE_ENTRIES past the end. `info` of a subkey: name, class, last write time (counts are filled too).
NTSTATUS EnumerateKey(const KeyRef& key, ULONG index, KeyInfo& info);
NTSTATUS EnumerateValue(const KeyRef& key, ULONG index, Value& value);
NTSTATUS QueryKey(const KeyRef& key, KeyInfo& info);
NTSTATUS Flush(); // writes the attached file now (success when memory only)
// "\REGISTRY\MACHINE\..." with each key's name as created.
std::u16string FullPath(const KeyRef& key);

// --- Controls ---

// Loads `file` into the store (replacing its content) and keeps it attached: every later change is written
// back. A missing file gives an empty store (and is created at the first change). A malformed file leaves the
// store as it was and returns STATUS_REGISTRY_CORRUPT (`error`, when given, says where and why).
NTSTATUS AttachFile(const std::filesystem::path& file, std::string* error = nullptr);
void Detach(); // memory only from now on; the content stays
std::optional<std::filesystem::path> AttachedFile();
NTSTATUS LoadFile(const std::filesystem::path& file, std::string* error = nullptr); // replace content, stay detached
NTSTATUS SaveFile(const std::filesystem::path& file);
std::string SaveToText();
NTSTATUS LoadFromText(std::string_view text, std::string* error = nullptr);
// An empty store (the roots only), in memory, without injected failures.
void Reset();

enum class Operation {
    Any,
    OpenKey,
    CreateKey,
    DeleteKey,
    SetValue,
    QueryValue,
    DeleteValue,
    EnumerateKey,
    EnumerateValue,
    QueryKey,
    Flush
};

struct FailurePlan {
    Operation operation = Operation::Any;
    std::u16string keyPath;                  // "" = any key; else this key (absolute path) or any key below it
    std::optional<std::u16string> valueName; // value operations only: just this value
    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    uint64_t skip = 0;           // matching calls that still succeed first
    uint64_t count = UINT64_MAX; // matching calls that then fail
};
void InjectFailure(const FailurePlan& plan);
void ClearInjectedFailures();

} // namespace nt::registry
