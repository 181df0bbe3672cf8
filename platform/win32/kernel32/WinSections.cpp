#include "WinSections.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WinHandles.h"
#include "internal/HostFiles.h"
#include "internal/NamedObjects.h"
#include "winerror.h"

namespace {

using win32::WinObject;
using win32::internal::FileObject;

// The section itself: what the name space holds and every view keeps alive. The host descriptor is a memory
// file for the page file's sections, a duplicate of the file's descriptor otherwise.
class Section : public WinObject {
public:
    Section(int fd, ULONGLONG size, bool writable) : fd_(fd), size_(size), writable_(writable) {}
    ~Section() override { close(fd_); }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    int Fd() const { return fd_; }
    ULONGLONG Size() const { return size_; }
    bool Writable() const { return writable_; }

private:
    int fd_;
    ULONGLONG size_;
    bool writable_;
};

// What a handle names: the section and the access this handle was opened with.
class SectionHandle : public WinObject {
public:
    SectionHandle(std::shared_ptr<Section> target, DWORD grantedAccess)
        : section(std::move(target)), access(grantedAccess) {}
    std::shared_ptr<Section> section;
    DWORD access;
};

struct View {
    size_t length;
    std::shared_ptr<Section> section;
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views; // by base address
};

ViewTable& Views() {
    static ViewTable table;
    return table;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

DWORD FullAccessFor(bool writable) {
    return writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ | FILE_MAP_COPY;
}

std::shared_ptr<Section> MakePageFileSection(ULONGLONG size, bool writable, DWORD& error) {
    int fd = memfd_create("tdl-section", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        error = errno == ENOMEM || errno == ENOSPC || errno == EFBIG ? ERROR_NOT_ENOUGH_MEMORY
                                                                     : win32::internal::Win32ErrorFromErrno(errno);
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    return std::make_shared<Section>(fd, size, writable);
}

std::shared_ptr<Section> MakeFileSection(const FileObject& file, ULONGLONG size, bool writable, DWORD& error) {
    if (!file.CanRead() || (writable && !file.CanWrite())) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    struct stat st;
    if (fstat(file.Fd(), &st) != 0) {
        error = win32::internal::Win32ErrorFromErrno(errno);
        return nullptr;
    }
    const auto fileSize = static_cast<ULONGLONG>(st.st_size);
    if (size == 0)
        size = fileSize;
    if (size == 0) {
        error = ERROR_FILE_INVALID; // an empty file cannot be mapped
        return nullptr;
    }
    if (size > fileSize) {
        // A writable section grows its file; a read-only one cannot reach past the end.
        if (!writable) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        if (ftruncate(file.Fd(), static_cast<off_t>(size)) != 0) {
            error = win32::internal::Win32ErrorFromErrno(errno);
            return nullptr;
        }
    }
    int fd = fcntl(file.Fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error = win32::internal::Win32ErrorFromErrno(errno);
        return nullptr;
    }
    return std::make_shared<Section>(fd, size, writable);
}

} // namespace

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name) {
    const DWORD pageProtection = protect & 0xFF;
    if (pageProtection != PAGE_READONLY && pageProtection != PAGE_READWRITE && pageProtection != PAGE_WRITECOPY)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool writable = pageProtection == PAGE_READWRITE;
    const ULONGLONG size = (static_cast<ULONGLONG>(maximumSizeHigh) << 32) | maximumSizeLow;

    std::shared_ptr<FileObject> fileObject;
    if (file != INVALID_HANDLE_VALUE) {
        fileObject = win32::LookupHandleAs<FileObject>(file);
        if (!fileObject)
            return Fail(ERROR_INVALID_HANDLE);
    } else if (size == 0) {
        return Fail(ERROR_INVALID_PARAMETER); // the page file's sections need a size
    }

    DWORD error = ERROR_SUCCESS;
    auto make = [&]() -> std::shared_ptr<WinObject> {
        return fileObject ? MakeFileSection(*fileObject, size, writable, error)
                          : MakePageFileSection(size, writable, error);
    };
    std::shared_ptr<Section> section;
    bool existed = false;
    if (name && *name) {
        auto found = win32::internal::CreateNamed(name, make);
        if (found.existed && !std::dynamic_pointer_cast<Section>(found.object))
            return Fail(ERROR_INVALID_HANDLE); // the name belongs to an object of another type
        section = std::static_pointer_cast<Section>(found.object);
        existed = found.existed;
    } else {
        section = std::static_pointer_cast<Section>(make());
    }
    if (!section)
        return Fail(error);
    HANDLE handle = win32::InsertHandle(std::make_shared<SectionHandle>(section, FullAccessFor(section->Writable())));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenFileMappingA(DWORD desiredAccess, BOOL, LPCSTR name) {
    if (!name || !*name)
        return Fail(ERROR_INVALID_PARAMETER);
    auto object = win32::internal::OpenNamed(name);
    if (!object)
        return Fail(ERROR_FILE_NOT_FOUND);
    auto section = std::dynamic_pointer_cast<Section>(object);
    if (!section)
        return Fail(ERROR_INVALID_HANDLE);
    if ((desiredAccess & FILE_MAP_WRITE) && !section->Writable())
        return Fail(ERROR_ACCESS_DENIED);
    return win32::InsertHandle(std::make_shared<SectionHandle>(section, desiredAccess));
}

LPVOID MapViewOfFileEx(HANDLE fileMapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                       SIZE_T numberOfBytesToMap, LPVOID baseAddress) {
    auto handle = win32::LookupHandleAs<SectionHandle>(fileMapping);
    if (!handle)
        return Fail(ERROR_INVALID_HANDLE);
    const std::shared_ptr<Section>& section = handle->section;
    const bool write = (desiredAccess & FILE_MAP_WRITE) != 0;
    const bool copy = (desiredAccess & FILE_MAP_COPY) != 0 && !write;
    if ((write && (!section->Writable() || !(handle->access & FILE_MAP_WRITE))) ||
        (!write && !(handle->access & (FILE_MAP_READ | FILE_MAP_WRITE | FILE_MAP_COPY))))
        return Fail(ERROR_ACCESS_DENIED);
    const ULONGLONG offset = (static_cast<ULONGLONG>(fileOffsetHigh) << 32) | fileOffsetLow;
    if (offset % TDL_ALLOCATION_GRANULARITY != 0)
        return Fail(ERROR_MAPPED_ALIGNMENT);
    if (offset >= section->Size() || numberOfBytesToMap > section->Size() - offset)
        return Fail(ERROR_ACCESS_DENIED);
    const size_t length = numberOfBytesToMap ? numberOfBytesToMap : static_cast<size_t>(section->Size() - offset);

    int protection = PROT_READ | (write || copy ? PROT_WRITE : 0);
    int flags = (copy ? MAP_PRIVATE : MAP_SHARED) | (baseAddress ? MAP_FIXED_NOREPLACE : 0);
    void* view = mmap(baseAddress, length, protection, flags, section->Fd(), static_cast<off_t>(offset));
    if (view == MAP_FAILED)
        return Fail(baseAddress ? ERROR_INVALID_ADDRESS : ERROR_NOT_ENOUGH_MEMORY);
    if (baseAddress && view != baseAddress) {
        munmap(view, length); // an old kernel took the address as a hint only
        return Fail(ERROR_INVALID_ADDRESS);
    }
    ViewTable& t = Views();
    std::lock_guard guard(t.lock);
    t.views[reinterpret_cast<uintptr_t>(view)] = View{length, section};
    return view;
}

LPVOID MapViewOfFile(HANDLE fileMapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     SIZE_T numberOfBytesToMap) {
    return MapViewOfFileEx(fileMapping, desiredAccess, fileOffsetHigh, fileOffsetLow, numberOfBytesToMap, nullptr);
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    View view;
    {
        ViewTable& t = Views();
        std::lock_guard guard(t.lock);
        auto it = t.views.find(reinterpret_cast<uintptr_t>(baseAddress));
        if (it == t.views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        view = std::move(it->second);
        t.views.erase(it);
    }
    munmap(const_cast<void*>(baseAddress), view.length);
    return TRUE;
}

BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T numberOfBytesToFlush) {
    const auto address = reinterpret_cast<uintptr_t>(baseAddress);
    uintptr_t start = 0;
    size_t length = 0;
    {
        ViewTable& t = Views();
        std::lock_guard guard(t.lock);
        auto it = t.views.upper_bound(address);
        if (it == t.views.begin() || address >= std::prev(it)->first + std::prev(it)->second.length) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        --it;
        const uintptr_t viewEnd = it->first + it->second.length;
        const uintptr_t end =
            numberOfBytesToFlush ? std::min<uintptr_t>(viewEnd, address + numberOfBytesToFlush) : viewEnd;
        const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        start = address & ~(page - 1);
        length = end - start;
    }
    if (msync(reinterpret_cast<void*>(start), length, MS_SYNC) != 0) {
        SetLastError(win32::internal::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}
