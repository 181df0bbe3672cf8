// The object namespace of the machine (internal interface of the kernel stand-in).
//
// A tree of directories holding named entries: objects (device and driver objects, kept as opaque pointers the
// namespace does not own), symbolic links (a target path) and directories. Names compare case-insensitively
// and keep the case they were created with. A fresh namespace holds "\Device", "\Driver", "\GLOBAL??",
// "\BaseNamedObjects", and the links "\??" -> "\GLOBAL??" and "\DosDevices" -> "\??", so
// IoCreateSymbolicLink("\DosDevices\Tindaloft", ...) lands in "\GLOBAL??" where user mode's "\\.\Tindaloft"
// ("\??\Tindaloft") finds it.
//
// Resolution follows symbolic links in every component of a path, the last one too unless openLink is set.
// Directories list their entries sorted by upper-cased name.
//
// The I/O manager names its objects here: IoCreateDevice inserts "\Device\<name>" with Kind::Device,
// driver loading inserts "\Driver\<name>" with Kind::Driver, and deleting either calls RemoveObject. Then
// ObQueryNameString (NtObject.h) answers for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ntdef.h"
#include "ntstatus.h"

namespace nt::ob {

enum class Kind { Directory, SymbolicLink, Device, Driver, Event, Section, Mutant, Other };

struct Entry {
    Kind kind = Kind::Other;
    std::u16string name;    // the last component, as created
    std::u16string path;    // the full path of the entry, as created (links not followed)
    PVOID object = nullptr; // objects only
    std::u16string target;  // symbolic links only
};

// The platform's type name of a kind ("Device", "Driver", "SymbolicLink", "Directory", ...).
std::u16string_view TypeName(Kind kind);

// Every call takes an absolute path. STATUS_OBJECT_NAME_COLLISION when the name exists,
// STATUS_OBJECT_PATH_NOT_FOUND when the parent directory does not, STATUS_OBJECT_NAME_INVALID for a malformed
// path (not starting with '\', empty component).
NTSTATUS CreateDirectory(std::u16string_view path);
NTSTATUS InsertObject(std::u16string_view path, Kind kind, PVOID object);
NTSTATUS CreateSymbolicLink(std::u16string_view path, std::u16string_view target);
// Removes the entry at `path` (a final link itself, not its target). A directory must be empty.
NTSTATUS Remove(std::u16string_view path);
// Removes every name of the object; returns how many there were.
size_t RemoveObject(PVOID object);

// STATUS_OBJECT_NAME_NOT_FOUND when the last component is missing, STATUS_OBJECT_PATH_NOT_FOUND when a
// directory on the way is.
NTSTATUS Lookup(std::u16string_view path, Entry& entry, bool openLink = false);
// The full path of the object's (first) name, or nothing for an unnamed object.
std::optional<std::u16string> NameOf(PVOID object);
// The entries of a directory, sorted by upper-cased name; STATUS_OBJECT_TYPE_MISMATCH when it is no directory.
NTSTATUS List(std::u16string_view directoryPath, std::vector<Entry>& entries);

// Back to a fresh namespace (objects registered by earlier tests are forgotten, not freed).
void Reset();

} // namespace nt::ob
