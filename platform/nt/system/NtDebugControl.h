// The machine's debug sink (control interface for tests, not part of the platform): the last lines DbgPrint
// wrote. Set the environment variable TDL_DBGPRINT=1 to also echo them to standard error.
#pragma once

#include <string>
#include <vector>

namespace nt::debug {

constexpr size_t kKeptLines = 1000; // older lines are dropped

std::vector<std::string> Output();
void Clear();

} // namespace nt::debug
