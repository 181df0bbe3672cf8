// Internal to the user-mode stand-in: a table of objects of one kind behind handles of their own (image lists,
// accelerator tables, global memory blocks). Handles are keys, so a freed or made-up handle finds nothing.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "windef.h"

namespace win32::internal {

template <class T> class ObjectTable {
public:
    // Handle values start at `first` and step by 8, apart from every other table's.
    explicit ObjectTable(ULONG_PTR first) : next_(first) {}

    // A new handle, or `value` when given (a fixed memory block is named by its address).
    ULONG_PTR Insert(std::shared_ptr<T> object, ULONG_PTR value = 0) {
        std::lock_guard guard(lock_);
        if (!value) {
            value = next_;
            next_ += 8;
        }
        objects_[value] = std::move(object);
        return value;
    }
    std::shared_ptr<T> Find(const void* handle) const {
        std::lock_guard guard(lock_);
        auto it = objects_.find(reinterpret_cast<ULONG_PTR>(handle));
        return it == objects_.end() ? nullptr : it->second;
    }
    // The object that was removed, null when the handle named none.
    std::shared_ptr<T> Remove(const void* handle) {
        std::lock_guard guard(lock_);
        auto it = objects_.find(reinterpret_cast<ULONG_PTR>(handle));
        if (it == objects_.end())
            return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        objects_.erase(it);
        return object;
    }
    size_t Count() const {
        std::lock_guard guard(lock_);
        return objects_.size();
    }

private:
    mutable std::mutex lock_;
    std::unordered_map<ULONG_PTR, std::shared_ptr<T>> objects_;
    ULONG_PTR next_;
};

} // namespace win32::internal
