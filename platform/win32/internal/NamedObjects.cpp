#include "NamedObjects.h"

#include <mutex>
#include <unordered_map>

namespace win32::internal {
namespace {

struct NameSpace {
    std::mutex lock;
    std::unordered_map<std::string, std::weak_ptr<WinObject>> entries;
};

NameSpace& Names() {
    static NameSpace names;
    return names;
}

std::string Key(const char* name) {
    std::string key = name;
    if (key.rfind("Local\\", 0) == 0)
        key.erase(0, 6);
    return key;
}

} // namespace

NamedLookup CreateNamed(const char* name, const std::function<std::shared_ptr<WinObject>()>& make) {
    NameSpace& ns = Names();
    std::lock_guard guard(ns.lock);
    std::weak_ptr<WinObject>& entry = ns.entries[Key(name)];
    if (auto existing = entry.lock())
        return NamedLookup{existing, true};
    auto created = make();
    entry = created;
    return NamedLookup{created, false};
}

std::shared_ptr<WinObject> OpenNamed(const char* name) {
    NameSpace& ns = Names();
    std::lock_guard guard(ns.lock);
    auto it = ns.entries.find(Key(name));
    if (it == ns.entries.end())
        return nullptr;
    auto object = it->second.lock();
    if (!object)
        ns.entries.erase(it);
    return object;
}

} // namespace win32::internal
