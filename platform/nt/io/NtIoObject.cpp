// Object headers and references of I/O objects.
#include "NtIoInternal.h"

#include "NtBugCheck.h"
#include "NtPoolControl.h"

namespace nt::io {

ObjectHeader* HeaderOf(PVOID object) {
    if (!object) {
        return nullptr;
    }
    auto* header = static_cast<ObjectHeader*>(object) - 1;
    // Only read the header when it lies in pool: a stray pointer then gets a clean stop instead of a wild read.
    if (!pool::IsRangeValid(header, sizeof(ObjectHeader)) || header->magic != kObjectMagic) {
        return nullptr;
    }
    return header;
}

bool IsDeviceObject(PVOID object) {
    ObjectHeader* header = HeaderOf(object);
    return header && header->type == ObjectType::Device;
}

bool IsDriverObject(PVOID object) {
    ObjectHeader* header = HeaderOf(object);
    return header && header->type == ObjectType::Driver;
}

void Release(ObjectHeader* header) {
    LONG left = header->references.fetch_sub(1) - 1;
    if (left < 0) {
        BugCheck(BAD_POOL_CALLER, "ObDereferenceObject: more dereferences than references",
                 reinterpret_cast<ULONG_PTR>(BodyOf(header)));
    }
    if (left == 0) {
        header->destroy(header);
    }
}

namespace {

ObjectHeader* CheckedHeader(PVOID object, const char* routine) {
    ObjectHeader* header = HeaderOf(object);
    if (!header) {
        BugCheck(BAD_POOL_CALLER, std::string(routine) + ": not an I/O object", reinterpret_cast<ULONG_PTR>(object));
    }
    return header;
}

} // namespace

} // namespace nt::io

void ObReferenceObject(PVOID Object) {
    nt::io::ObjectHeader* header = nt::io::CheckedHeader(Object, "ObReferenceObject");
    if (header->references.fetch_add(1) <= 0) {
        nt::BugCheck(BAD_POOL_CALLER, "ObReferenceObject: object already freed", reinterpret_cast<ULONG_PTR>(Object));
    }
}

void ObDereferenceObject(PVOID Object) {
    nt::io::Release(nt::io::CheckedHeader(Object, "ObDereferenceObject"));
}
