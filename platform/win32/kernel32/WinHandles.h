// The user-mode handle table and the per-thread last error. Every object a handle can name (event, mutex,
// thread, file, section, device file, registry key, ...) derives from WinObject; CloseHandle drops the
// table's reference and the object lives on while anything else holds it.
#pragma once

#include <memory>

#include "windef.h"

namespace win32 {

class WinObject {
public:
    virtual ~WinObject() = default;
    // Called when one handle to the object is closed, before the table lets go of it.
    virtual void OnHandleClosed() {}
};

HANDLE InsertHandle(std::shared_ptr<WinObject> object);
std::shared_ptr<WinObject> LookupHandle(HANDLE handle);
template <class T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Open handles, for tests that look for leaks.
size_t OpenHandleCount();

} // namespace win32

DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE handle);
BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD access,
                     BOOL inherit, DWORD options);
HANDLE GetCurrentProcess();
