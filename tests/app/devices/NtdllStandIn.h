// An "ntdll" for tests: the kernel's routines as the system's module has them, less one export when a test
// wants it missing, and with ZwOpenDirectoryObject noting which directories were opened.
#pragma once

#include <string>
#include <vector>

namespace tdl::test {

void RegisterNtdll(const char* missingExport = nullptr);
std::vector<std::u16string> OpenedDirectories();
void ClearOpenedDirectories();

} // namespace tdl::test
