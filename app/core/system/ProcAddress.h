// An entry point of a module bound at run time, looked up by name into a typed function pointer.
#pragma once

#include "windows.h"

// False (and pfn null) when the module does not export the name.
template <class Function> bool BindProcAddress(HMODULE hModule, LPCSTR lpszName, Function& pfn) {
    // Through the generic function pointer type, which converts to any other without complaint.
    pfn = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, lpszName)));
    return pfn != nullptr;
}
