#include "NtRegistryStore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "NtClock.h"
#include "NtRegistryInternal.h"
#include "NtText.h"

// One lock guards the whole store: registry calls run at PASSIVE_LEVEL and are never on the capture road.
namespace nt::registry {
namespace {

struct Plan {
    FailurePlan plan;
    uint64_t seen = 0;
};

struct Store {
    std::mutex lock;
    KeyRef root = NewRootTree();
    std::optional<std::filesystem::path> file;
    std::vector<Plan> plans;
};

Store& TheStore() {
    static Store store;
    return store;
}

std::u16string PathOf(const Key& key) {
    std::u16string path;
    for (const Key* k = &key; k != nullptr; k = k->parent) {
        path.insert(0, k->name);
        path.insert(0, u"\\");
    }
    return path;
}

KeyRef Walk(KeyRef key, const std::vector<std::u16string_view>& parts, size_t count) {
    for (size_t i = 0; i < count && key != nullptr; ++i) {
        key = ChildFor(*key, parts[i], false);
    }
    return key;
}

bool PathCovers(std::u16string_view planPath, std::u16string_view keyPath) {
    if (planPath.empty()) {
        return true;
    }
    if (!nt::text::StartsWithIgnoreCase(keyPath, planPath)) {
        return false;
    }
    return keyPath.size() == planPath.size() || keyPath[planPath.size()] == u'\\';
}

// Under the lock: the status an injected failure makes this call return, or success.
NTSTATUS Injected(Operation op, std::u16string_view keyPath, const std::u16string_view* valueName = nullptr) {
    Store& s = TheStore();
    NTSTATUS result = STATUS_SUCCESS;
    for (Plan& p : s.plans) {
        const FailurePlan& plan = p.plan;
        if (plan.operation != Operation::Any && plan.operation != op) {
            continue;
        }
        if (!PathCovers(plan.keyPath, keyPath)) {
            continue;
        }
        if (plan.valueName && (valueName == nullptr || !nt::text::EqualsIgnoreCase(*plan.valueName, *valueName))) {
            continue;
        }
        uint64_t index = p.seen++;
        if (result == STATUS_SUCCESS && index >= plan.skip && index - plan.skip < plan.count) {
            result = plan.status;
        }
    }
    return result;
}

// Under the lock: where a path starts and which names follow, or the failure injected for op on the key it
// names. An absolute path starts at the root and must name "\REGISTRY" first; a relative one starts at base.
NTSTATUS Parse(Operation op, const KeyRef& base, std::u16string_view path, KeyRef& start,
               std::vector<std::u16string_view>& parts) {
    Store& s = TheStore();
    parts.clear();
    std::u16string targetPath;
    if (base == nullptr) {
        if (path.empty() || path[0] != u'\\') {
            return STATUS_OBJECT_PATH_SYNTAX_BAD;
        }
        if (!nt::text::SplitPath(path.substr(1), parts) || parts.empty()) {
            return STATUS_OBJECT_NAME_INVALID;
        }
        if (!nt::text::EqualsIgnoreCase(parts[0], s.root->name)) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        parts.erase(parts.begin());
        start = s.root;
        targetPath = std::u16string(path);
    } else {
        if (!path.empty() && path[0] == u'\\') {
            return STATUS_OBJECT_PATH_SYNTAX_BAD;
        }
        if (base->deleted) {
            return STATUS_KEY_DELETED;
        }
        if (!nt::text::SplitPath(path, parts)) {
            return STATUS_OBJECT_NAME_INVALID;
        }
        start = base;
        targetPath = PathOf(*base);
        if (!path.empty()) {
            targetPath += u'\\';
            targetPath += path;
        }
    }
    while (!targetPath.empty() && targetPath.back() == u'\\') {
        targetPath.pop_back();
    }
    return Injected(op, targetPath);
}

// Under the lock, after a change: the attached file gets the new content.
void Persist() {
    Store& s = TheStore();
    if (!s.file) {
        return;
    }
    std::filesystem::path temp = *s.file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return;
        }
        out << TreeToText(*s.root);
        if (!out) {
            return;
        }
    }
    std::error_code ignored;
    std::filesystem::rename(temp, *s.file, ignored);
}

// Under the lock, after a change of the key or its values.
void Changed(Key& key) {
    key.lastWriteTime = nt::clock::SystemTime();
    if (!key.isVolatile) {
        Persist();
    }
}

// Runs `body` on a live key under the store lock, unless a failure is injected for the operation.
template <class Body> NTSTATUS OnKey(Operation op, const KeyRef& key, const std::u16string_view* valueName, Body body) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    if (key->deleted) {
        return STATUS_KEY_DELETED;
    }
    NTSTATUS status = Injected(op, PathOf(*key), valueName);
    return NT_SUCCESS(status) ? body(*key) : status;
}

Value* FindValue(Key& key, std::u16string_view name) {
    for (Value& v : key.values) {
        if (nt::text::EqualsIgnoreCase(v.name, name)) {
            return &v;
        }
    }
    return nullptr;
}

void Retire(Key& key) {
    for (auto& [name, child] : key.children) {
        Retire(*child);
    }
    key.deleted = true;
    key.parent = nullptr;
}

void ReplaceRoot(KeyRef root) {
    Store& s = TheStore();
    Retire(*s.root); // keys still referenced by open handles answer STATUS_KEY_DELETED from now on
    s.root = std::move(root);
}

void Describe(const Key& key, KeyInfo& info) {
    info = KeyInfo{};
    info.name = key.name;
    info.className = key.className;
    info.lastWriteTime = key.lastWriteTime;
    info.isVolatile = key.isVolatile;
    info.subKeys = static_cast<ULONG>(key.children.size());
    for (const auto& [upper, child] : key.children) {
        info.maxSubKeyNameBytes = std::max(info.maxSubKeyNameBytes, static_cast<ULONG>(child->name.size() * 2));
        info.maxClassBytes = std::max(info.maxClassBytes, static_cast<ULONG>(child->className.size() * 2));
    }
    info.values = static_cast<ULONG>(key.values.size());
    for (const Value& v : key.values) {
        info.maxValueNameBytes = std::max(info.maxValueNameBytes, static_cast<ULONG>(v.name.size() * 2));
        info.maxValueDataBytes = std::max(info.maxValueDataBytes, static_cast<ULONG>(v.data.size()));
    }
}

NTSTATUS ReadFileText(const std::filesystem::path& file, std::string& text, bool& missing) {
    missing = false;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        missing = !std::filesystem::exists(file, ec);
        return missing ? STATUS_SUCCESS : STATUS_REGISTRY_IO_FAILED;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return STATUS_SUCCESS;
}

NTSTATUS LoadText(std::string_view text, std::string* error) {
    KeyRef root = NewRootTree();
    std::string message;
    if (!TextToTree(text, *root, message)) {
        if (error != nullptr) {
            *error = message;
        }
        return STATUS_REGISTRY_CORRUPT;
    }
    ReplaceRoot(std::move(root));
    return STATUS_SUCCESS;
}

} // namespace

KeyRef NewRootTree() {
    auto root = std::make_shared<Key>();
    root->name = u"REGISTRY";
    root->lastWriteTime = nt::clock::SystemTime();
    ChildFor(*root, u"MACHINE", true);
    ChildFor(*root, u"USER", true);
    return root;
}

KeyRef ChildFor(Key& parent, std::u16string_view name, bool create) {
    std::u16string upper = nt::text::Upcase(name);
    auto it = parent.children.find(upper);
    if (it != parent.children.end()) {
        return it->second;
    }
    if (!create) {
        return nullptr;
    }
    auto child = std::make_shared<Key>();
    child->name = std::u16string(name);
    child->parent = &parent;
    child->isVolatile = parent.isVolatile;
    child->lastWriteTime = nt::clock::SystemTime();
    parent.children.emplace(std::move(upper), child);
    return child;
}

NTSTATUS OpenKey(const KeyRef& base, std::u16string_view path, KeyRef& key) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    KeyRef start;
    std::vector<std::u16string_view> parts;
    NTSTATUS status = Parse(Operation::OpenKey, base, path, start, parts);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    KeyRef found = Walk(start, parts, parts.size());
    if (found == nullptr) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    key = std::move(found);
    return STATUS_SUCCESS;
}

NTSTATUS CreateKey(const KeyRef& base, std::u16string_view path, bool isVolatile, std::u16string_view className,
                   KeyRef& key, bool& created) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    KeyRef start;
    std::vector<std::u16string_view> parts;
    NTSTATUS status = Parse(Operation::CreateKey, base, path, start, parts);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (parts.empty()) {
        key = start;
        created = false;
        return STATUS_SUCCESS;
    }
    KeyRef parent = Walk(start, parts, parts.size() - 1);
    if (parent == nullptr) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (KeyRef existing = ChildFor(*parent, parts.back(), false)) {
        key = std::move(existing);
        created = false;
        return STATUS_SUCCESS;
    }
    if (parent->isVolatile && !isVolatile) {
        return STATUS_CHILD_MUST_BE_VOLATILE;
    }
    KeyRef child = ChildFor(*parent, parts.back(), true);
    child->isVolatile = isVolatile;
    child->className = std::u16string(className);
    Changed(*parent);
    key = std::move(child);
    created = true;
    return STATUS_SUCCESS;
}

NTSTATUS DeleteKey(const KeyRef& key) {
    return OnKey(Operation::DeleteKey, key, nullptr, [&](Key& k) {
        Key* parent = k.parent;
        if (!k.children.empty() || parent == nullptr || parent->parent == nullptr) {
            return STATUS_CANNOT_DELETE; // subkeys remain, or one of the roots
        }
        parent->children.erase(nt::text::Upcase(k.name)); // the caller's reference keeps k alive
        k.deleted = true;
        k.parent = nullptr;
        Changed(*parent);
        return STATUS_SUCCESS;
    });
}

NTSTATUS SetValue(const KeyRef& key, std::u16string_view name, ULONG type, const void* data, size_t size) {
    return OnKey(Operation::SetValue, key, &name, [&](Key& k) {
        Value* value = FindValue(k, name);
        if (value == nullptr) {
            k.values.push_back(Value{std::u16string(name), type, {}});
            value = &k.values.back();
        }
        value->type = type;
        auto bytes = static_cast<const UCHAR*>(data);
        value->data.assign(bytes, bytes + size);
        Changed(k);
        return STATUS_SUCCESS;
    });
}

NTSTATUS QueryValue(const KeyRef& key, std::u16string_view name, Value& value) {
    return OnKey(Operation::QueryValue, key, &name, [&](Key& k) {
        const Value* found = FindValue(k, name);
        if (found == nullptr) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        value = *found;
        return STATUS_SUCCESS;
    });
}

NTSTATUS DeleteValue(const KeyRef& key, std::u16string_view name) {
    return OnKey(Operation::DeleteValue, key, &name, [&](Key& k) {
        auto it = std::find_if(k.values.begin(), k.values.end(),
                               [&](const Value& v) { return nt::text::EqualsIgnoreCase(v.name, name); });
        if (it == k.values.end()) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        k.values.erase(it);
        Changed(k);
        return STATUS_SUCCESS;
    });
}

NTSTATUS EnumerateKey(const KeyRef& key, ULONG index, KeyInfo& info) {
    return OnKey(Operation::EnumerateKey, key, nullptr, [&](Key& k) {
        if (index >= k.children.size()) {
            return STATUS_NO_MORE_ENTRIES;
        }
        Describe(*std::next(k.children.begin(), index)->second, info);
        return STATUS_SUCCESS;
    });
}

NTSTATUS EnumerateValue(const KeyRef& key, ULONG index, Value& value) {
    return OnKey(Operation::EnumerateValue, key, nullptr, [&](Key& k) {
        if (index >= k.values.size()) {
            return STATUS_NO_MORE_ENTRIES;
        }
        value = k.values[index];
        return STATUS_SUCCESS;
    });
}

NTSTATUS QueryKey(const KeyRef& key, KeyInfo& info) {
    return OnKey(Operation::QueryKey, key, nullptr, [&](Key& k) {
        Describe(k, info);
        return STATUS_SUCCESS;
    });
}

NTSTATUS Flush() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    NTSTATUS status = Injected(Operation::Flush, u"");
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (!s.file) {
        return STATUS_SUCCESS;
    }
    Persist();
    std::error_code ec;
    return std::filesystem::exists(*s.file, ec) ? STATUS_SUCCESS : STATUS_REGISTRY_IO_FAILED;
}

std::u16string FullPath(const KeyRef& key) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    return PathOf(*key);
}

NTSTATUS AttachFile(const std::filesystem::path& file, std::string* error) {
    std::string text;
    bool missing = false;
    NTSTATUS status = ReadFileText(file, text, missing);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    status = LoadText(text, error);
    if (NT_SUCCESS(status)) {
        s.file = file;
    }
    return status;
}

void Detach() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    s.file.reset();
}

std::optional<std::filesystem::path> AttachedFile() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    return s.file;
}

NTSTATUS LoadFile(const std::filesystem::path& file, std::string* error) {
    std::string text;
    bool missing = false;
    NTSTATUS status = ReadFileText(file, text, missing);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (missing) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    return LoadText(text, error);
}

NTSTATUS SaveFile(const std::filesystem::path& file) {
    std::string text = SaveToText();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    return out ? STATUS_SUCCESS : STATUS_REGISTRY_IO_FAILED;
}

std::string SaveToText() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    return TreeToText(*s.root);
}

NTSTATUS LoadFromText(std::string_view text, std::string* error) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    return LoadText(text, error);
}

void Reset() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    ReplaceRoot(NewRootTree());
    s.file.reset();
    s.plans.clear();
}

void InjectFailure(const FailurePlan& plan) {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    Plan p{plan, 0};
    while (!p.plan.keyPath.empty() && p.plan.keyPath.back() == u'\\') {
        p.plan.keyPath.pop_back();
    }
    s.plans.push_back(std::move(p));
}

void ClearInjectedFailures() {
    Store& s = TheStore();
    std::lock_guard guard(s.lock);
    s.plans.clear();
}

} // namespace nt::registry
