#include "NtObjectNamespace.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "NtText.h"

namespace nt::ob {
namespace {

// Links resolved within one lookup; deeper chains are taken as a loop.
constexpr int kMaxLinkDepth = 32;

struct Node {
    Kind kind = Kind::Directory;
    std::u16string name;
    PVOID object = nullptr;
    std::u16string target;
    Node* parent = nullptr;
    std::map<std::u16string, std::unique_ptr<Node>> children; // key: upper-cased name
};

struct Namespace;
void Fresh(Namespace& ns);

struct Namespace {
    std::mutex lock;
    std::unique_ptr<Node> root;
    std::unordered_map<PVOID, std::vector<Node*>> byObject;

    Namespace() { Fresh(*this); }
};

// An absolute path's components ("\\" alone is the root, with none).
bool Split(std::u16string_view path, std::vector<std::u16string_view>& parts) {
    if (path.empty() || path[0] != u'\\') {
        return false;
    }
    return nt::text::SplitPath(path.substr(1), parts);
}

std::u16string PathOf(const Node* node) {
    if (node->parent == nullptr) {
        return u"\\";
    }
    std::u16string path;
    for (const Node* n = node; n->parent != nullptr; n = n->parent) {
        path.insert(0, n->name);
        path.insert(0, u"\\");
    }
    return path;
}

// Under the lock: the node a path names, following links in every component (the last one too when
// followLast).
NTSTATUS Resolve(Namespace& ns, std::u16string_view path, bool followLast, Node*& result, int depth = 0) {
    if (depth > kMaxLinkDepth) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    std::vector<std::u16string_view> parts;
    if (!Split(path, parts)) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    Node* node = ns.root.get();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (node->kind == Kind::SymbolicLink) {
            std::u16string rest = node->target;
            for (size_t j = i; j < parts.size(); ++j) {
                rest += u'\\';
                rest += parts[j];
            }
            return Resolve(ns, rest, followLast, result, depth + 1);
        }
        if (node->kind != Kind::Directory) {
            return STATUS_OBJECT_PATH_NOT_FOUND;
        }
        auto it = node->children.find(nt::text::Upcase(parts[i]));
        if (it == node->children.end()) {
            return i + 1 == parts.size() ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_OBJECT_PATH_NOT_FOUND;
        }
        node = it->second.get();
    }
    if (followLast && node->kind == Kind::SymbolicLink) {
        return Resolve(ns, node->target, true, result, depth + 1);
    }
    result = node;
    return STATUS_SUCCESS;
}

// Under the lock: the directory that is to hold the last component of path, and that component.
NTSTATUS ResolveParent(Namespace& ns, std::u16string_view path, Node*& directory, std::u16string_view& leaf) {
    std::vector<std::u16string_view> parts;
    if (!Split(path, parts) || parts.empty()) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    leaf = parts.back();
    std::u16string_view parentPath = path.substr(0, path.size() - leaf.size() - 1);
    NTSTATUS status = Resolve(ns, parentPath.empty() ? u"\\" : parentPath, true, directory);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    if (NT_SUCCESS(status) && directory->kind != Kind::Directory) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    return status;
}

NTSTATUS Insert(Namespace& ns, std::u16string_view path, std::unique_ptr<Node> node) {
    Node* directory = nullptr;
    std::u16string_view leaf;
    NTSTATUS status = ResolveParent(ns, path, directory, leaf);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    std::u16string key = nt::text::Upcase(leaf);
    if (directory->children.count(key) != 0) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    node->name = std::u16string(leaf);
    node->parent = directory;
    if (node->object != nullptr) {
        ns.byObject[node->object].push_back(node.get());
    }
    directory->children.emplace(std::move(key), std::move(node));
    return STATUS_SUCCESS;
}

void Forget(Namespace& ns, Node* node) {
    if (node->object == nullptr) {
        return;
    }
    auto it = ns.byObject.find(node->object);
    if (it == ns.byObject.end()) {
        return;
    }
    std::erase(it->second, node);
    if (it->second.empty()) {
        ns.byObject.erase(it);
    }
}

Entry EntryOf(const Node* node) {
    Entry e;
    e.kind = node->kind;
    e.name = node->name;
    e.path = PathOf(node);
    e.object = node->object;
    e.target = node->target;
    return e;
}

void Fresh(Namespace& ns) {
    ns.root = std::make_unique<Node>();
    ns.byObject.clear();
    for (const char16_t* dir : {u"\\Device", u"\\Driver", u"\\GLOBAL??", u"\\BaseNamedObjects"}) {
        auto node = std::make_unique<Node>();
        Insert(ns, dir, std::move(node));
    }
    auto link = [&](const char16_t* path, const char16_t* target) {
        auto node = std::make_unique<Node>();
        node->kind = Kind::SymbolicLink;
        node->target = target;
        Insert(ns, path, std::move(node));
    };
    link(u"\\??", u"\\GLOBAL??");
    link(u"\\DosDevices", u"\\??");
}

Namespace& TheNamespace() {
    static Namespace ns;
    return ns;
}

} // namespace

std::u16string_view TypeName(Kind kind) {
    switch (kind) {
    case Kind::Directory: return u"Directory";
    case Kind::SymbolicLink: return u"SymbolicLink";
    case Kind::Device: return u"Device";
    case Kind::Driver: return u"Driver";
    case Kind::Event: return u"Event";
    case Kind::Section: return u"Section";
    case Kind::Mutant: return u"Mutant";
    case Kind::Other: break;
    }
    return u"Object";
}

NTSTATUS CreateDirectory(std::u16string_view path) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    return Insert(ns, path, std::make_unique<Node>());
}

NTSTATUS InsertObject(std::u16string_view path, Kind kind, PVOID object) {
    if (kind == Kind::Directory || kind == Kind::SymbolicLink || object == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->object = object;
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    return Insert(ns, path, std::move(node));
}

NTSTATUS CreateSymbolicLink(std::u16string_view path, std::u16string_view target) {
    auto node = std::make_unique<Node>();
    node->kind = Kind::SymbolicLink;
    node->target = std::u16string(target);
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    return Insert(ns, path, std::move(node));
}

NTSTATUS Remove(std::u16string_view path) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    Node* directory = nullptr;
    std::u16string_view leaf;
    NTSTATUS status = ResolveParent(ns, path, directory, leaf);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    auto it = directory->children.find(nt::text::Upcase(leaf));
    if (it == directory->children.end()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (it->second->kind == Kind::Directory && !it->second->children.empty()) {
        return STATUS_DIRECTORY_NOT_EMPTY;
    }
    Forget(ns, it->second.get());
    directory->children.erase(it);
    return STATUS_SUCCESS;
}

size_t RemoveObject(PVOID object) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    auto it = ns.byObject.find(object);
    if (it == ns.byObject.end()) {
        return 0;
    }
    std::vector<Node*> nodes = std::move(it->second);
    ns.byObject.erase(it);
    for (Node* node : nodes) {
        node->parent->children.erase(nt::text::Upcase(node->name));
    }
    return nodes.size();
}

NTSTATUS Lookup(std::u16string_view path, Entry& entry, bool openLink) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    Node* node = nullptr;
    NTSTATUS status = Resolve(ns, path, !openLink, node);
    if (NT_SUCCESS(status)) {
        entry = EntryOf(node);
    }
    return status;
}

std::optional<std::u16string> NameOf(PVOID object) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    auto it = ns.byObject.find(object);
    if (it == ns.byObject.end() || it->second.empty()) {
        return std::nullopt;
    }
    return PathOf(it->second.front());
}

NTSTATUS List(std::u16string_view directoryPath, std::vector<Entry>& entries) {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    Node* node = nullptr;
    NTSTATUS status = Resolve(ns, directoryPath, true, node);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (node->kind != Kind::Directory) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    entries.clear();
    for (const auto& [key, child] : node->children) {
        entries.push_back(EntryOf(child.get()));
    }
    return STATUS_SUCCESS;
}

void Reset() {
    Namespace& ns = TheNamespace();
    std::lock_guard guard(ns.lock);
    Fresh(ns);
}

} // namespace nt::ob
