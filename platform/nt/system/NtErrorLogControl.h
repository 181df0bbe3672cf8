// What the machine's event log received (control interface for tests, not part of the platform).
#pragma once

#include <string>
#include <vector>

#include "NtErrorLog.h"

namespace nt::errorlog {

struct Entry {
    PVOID ioObject = nullptr;
    LONGLONG systemTime = 0;
    std::vector<UCHAR> packet; // the whole packet as allocated (EntrySize bytes)

    IO_ERROR_LOG_PACKET Header() const;
    // The NumberOfStrings NUL-terminated UTF-16 strings at StringOffset (cut at the packet's end).
    std::vector<std::u16string> Strings() const;
};

std::vector<Entry> Entries();
void Clear();

} // namespace nt::errorlog
