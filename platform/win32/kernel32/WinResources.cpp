// The resource store and the calls that read raw resources and strings.
#include "WinResources.h"

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "WinFailureControl.h"
#include "WinHandles.h"
#include "WinModules.h"
#include "internal/ResourceStore.h"
#include "winerror.h"

namespace win32 {

namespace {

struct Binary {
    std::vector<unsigned char> bytes;
};

template <class Value> using ByName = std::map<std::pair<HMODULE, std::string>, Value>;

struct Store {
    std::mutex lock;
    std::map<std::pair<HMODULE, UINT>, std::shared_ptr<std::string>> strings;
    ByName<std::vector<MenuResourceItem>> menus;
    ByName<std::vector<ACCEL>> accelerators;
    ByName<DialogResource> dialogs;
    ByName<ToolbarResource> toolbars;
    std::map<std::tuple<HMODULE, std::string, std::string>, std::shared_ptr<Binary>> binaries;
    // Bytes and texts handed out stay valid after a replacement or a clear: callers keep the pointers.
    std::vector<std::shared_ptr<void>> retired;
    std::unordered_set<const void*> issued;
    unsigned failLoads = 0;
};

Store& TheStore() {
    static auto* store = new Store; // never destroyed: pointers into it outlive static destruction
    return *store;
}

HMODULE Owner(HMODULE module) {
    return module ? module : GetModuleHandleA(nullptr);
}

std::string IdKey(UINT id) {
    return "#" + std::to_string(id);
}

void PutBinary(HMODULE module, LPCSTR type, LPCSTR name, const void* data, size_t size) {
    auto binary = std::make_shared<Binary>();
    if (data && size)
        binary->bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    auto key = std::make_tuple(Owner(module), internal::ResourceKey(type), internal::ResourceKey(name));
    auto& slot = s.binaries[key];
    if (slot)
        s.retired.push_back(slot);
    slot = binary;
    s.issued.insert(&binary->bytes);
}

template <class Value> bool Get(ByName<Value> Store::*table, HMODULE module, LPCSTR name, Value& out) {
    if (internal::ResourceLoadFails())
        return false;
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    auto& t = s.*table;
    auto it = t.find({Owner(module), internal::ResourceKey(name)});
    if (it == t.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    out = it->second;
    return true;
}

template <class Value> void Put(ByName<Value> Store::*table, HMODULE module, UINT id, Value value) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    (s.*table)[{Owner(module), IdKey(id)}] = std::move(value);
}

} // namespace

std::string internal::ResourceKey(LPCSTR name) {
    if (!name)
        return {};
    if (IS_INTRESOURCE(name))
        return IdKey(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    if (name[0] == '#') {
        // "#123" names id 123.
        char* end = nullptr;
        unsigned long id = std::strtoul(name + 1, &end, 10);
        if (end != name + 1 && *end == '\0')
            return IdKey(static_cast<UINT>(id));
    }
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

bool internal::ResourceLoadFails() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    if (s.failLoads == 0)
        return false;
    --s.failLoads;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return true;
}

const std::vector<unsigned char>* internal::FindResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (ResourceLoadFails())
        return nullptr;
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    HMODULE owner = Owner(module);
    std::string typeKey = ResourceKey(type);
    auto it = s.binaries.find(std::make_tuple(owner, typeKey, ResourceKey(name)));
    if (it != s.binaries.end())
        return &it->second->bytes;
    bool typeKnown = false;
    for (const auto& [key, value] : s.binaries)
        typeKnown = typeKnown || (std::get<0>(key) == owner && std::get<1>(key) == typeKey);
    SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

bool internal::FindMenuResource(HMODULE module, LPCSTR name, std::vector<MenuResourceItem>& items) {
    return Get(&Store::menus, module, name, items);
}

bool internal::FindAcceleratorResource(HMODULE module, LPCSTR name, std::vector<ACCEL>& entries) {
    return Get(&Store::accelerators, module, name, entries);
}

void RegisterStringResources(HMODULE module, const StringResource* entries, size_t count) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    for (size_t i = 0; i < count; ++i) {
        auto& slot = s.strings[{Owner(module), entries[i].id}];
        if (slot)
            s.retired.push_back(slot);
        slot = std::make_shared<std::string>(entries[i].text ? entries[i].text : "");
    }
}

void RegisterMenuResource(HMODULE module, UINT id, std::vector<MenuResourceItem> items) {
    Put(&Store::menus, module, id, std::move(items));
}

void RegisterAcceleratorResource(HMODULE module, UINT id, std::vector<ACCEL> entries) {
    Put(&Store::accelerators, module, id, std::move(entries));
}

void RegisterDialogResource(HMODULE module, UINT id, DialogResource dialog) {
    Put(&Store::dialogs, module, id, std::move(dialog));
}

void RegisterToolbarResource(HMODULE module, UINT id, ToolbarResource toolbar) {
    Put(&Store::toolbars, module, id, std::move(toolbar));
}

void RegisterBitmapResource(HMODULE module, UINT id, const unsigned char* png, size_t size) {
    PutBinary(module, RT_BITMAP, MAKEINTRESOURCEA(id), png, size);
}

void RegisterIconResource(HMODULE module, UINT id, const unsigned char* png, size_t size) {
    PutBinary(module, RT_ICON, MAKEINTRESOURCEA(id), png, size);
}

void RegisterRawResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, size_t size) {
    PutBinary(module, type, name, data, size);
}

void ClearResources() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    for (auto& [key, text] : s.strings)
        s.retired.push_back(text);
    for (auto& [key, binary] : s.binaries)
        s.retired.push_back(binary);
    s.strings.clear();
    s.binaries.clear();
    s.menus.clear();
    s.accelerators.clear();
    s.dialogs.clear();
    s.toolbars.clear();
}

bool GetDialogResource(HMODULE module, LPCSTR name, DialogResource& dialog) {
    return Get(&Store::dialogs, module, name, dialog);
}

bool GetToolbarResource(HMODULE module, LPCSTR name, ToolbarResource& toolbar) {
    return Get(&Store::toolbars, module, name, toolbar);
}

void FailResourceLoads(unsigned count) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    s.failLoads = count;
}

} // namespace win32

using namespace win32;

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return reinterpret_cast<HRSRC>(
        const_cast<std::vector<unsigned char>*>(internal::FindResourceBytes(module, type, name)));
}

namespace {

const std::vector<unsigned char>* Issued(const void* handle) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    // An HRSRC is the address of a resource's bytes; a Binary starts with them.
    return handle && s.issued.count(handle) ? static_cast<const std::vector<unsigned char>*>(handle) : nullptr;
}

} // namespace

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    if (internal::CallFailsNow("LoadResource"))
        return nullptr;
    if (!Issued(resource)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(resource);
}

LPVOID LockResource(HGLOBAL data) {
    if (internal::CallFailsNow("LockResource"))
        return nullptr;
    const std::vector<unsigned char>* bytes = Issued(data);
    return bytes ? const_cast<unsigned char*>(bytes->data()) : nullptr;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const std::vector<unsigned char>* bytes = Issued(resource);
    return bytes ? static_cast<DWORD>(bytes->size()) : 0;
}

BOOL FreeResource(HGLOBAL data) {
    return FALSE;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (!buffer)
        return 0;
    if (internal::ResourceLoadFails()) {
        if (size > 0)
            buffer[0] = '\0';
        return 0;
    }
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    auto it = s.strings.find({Owner(instance), id});
    if (it == s.strings.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        if (size > 0)
            buffer[0] = '\0';
        return 0;
    }
    const std::string& text = *it->second;
    if (size == 0) {
        // The text itself, read-only and not terminated by contract, as the platform gives it.
        *reinterpret_cast<const char**>(buffer) = text.c_str();
        return static_cast<int>(text.size());
    }
    if (size < 0)
        return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}
