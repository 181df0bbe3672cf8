// The items of a tree view. Locks: none; a tree is used on its window's thread only, and the handle counter
// is atomic.
#include "TreeViewModel.h"

#include <atomic>
#include <strings.h>

namespace win32::internal {

namespace {

// Far from the TVI_* values at the top of the address range, and from null.
std::atomic<uintptr_t> g_nextId{0x10000};

} // namespace

TreeModel::TreeModel() {
    root_.state = TVIS_EXPANDED;
}

TreeModel::~TreeModel() = default;

TreeNode* TreeModel::Find(HTREEITEM item) const {
    auto found = nodes_.find(reinterpret_cast<uintptr_t>(item));
    return found == nodes_.end() ? nullptr : found->second.get();
}

int TreeModel::Depth(const TreeNode* node) const {
    int depth = 0;
    for (const TreeNode* at = node->parent; at && at != &root_; at = at->parent)
        ++depth;
    return depth;
}

bool TreeModel::IsAncestor(const TreeNode* ancestor, const TreeNode* node) const {
    for (const TreeNode* at = node ? node->parent : nullptr; at; at = at->parent)
        if (at == ancestor)
            return true;
    return false;
}

void TreeModel::Link(TreeNode* parent, TreeNode* node, TreeNode* before) {
    node->parent = parent;
    node->next = before;
    node->prev = before ? before->prev : parent->last;
    (node->prev ? node->prev->next : parent->first) = node;
    (before ? before->prev : parent->last) = node;
    visibleValid_ = false;
}

void TreeModel::SortedInsertPoint(TreeNode* parent, TreeNode* node) {
    TreeNode* before = parent->first;
    while (before && strcasecmp(before->text.c_str(), node->text.c_str()) <= 0)
        before = before->next;
    Link(parent, node, before);
}

TreeNode* TreeModel::Insert(TreeNode* parent, HTREEITEM after, std::string text) {
    auto owned = std::make_unique<TreeNode>();
    TreeNode* node = owned.get();
    node->id = g_nextId.fetch_add(1);
    node->text = std::move(text);
    nodes_.emplace(node->id, std::move(owned));
    if (after == TVI_FIRST) {
        Link(parent, node, parent->first);
    } else if (after == TVI_SORT) {
        SortedInsertPoint(parent, node);
    } else {
        TreeNode* previous = Find(after);
        Link(parent, node, previous && previous->parent == parent && !previous->deleting ? previous->next : nullptr);
    }
    return node;
}

void TreeModel::Unlink(TreeNode* node) {
    TreeNode* parent = node->parent;
    (node->prev ? node->prev->next : parent->first) = node->next;
    (node->next ? node->next->prev : parent->last) = node->prev;
    node->prev = node->next = nullptr;
    for (TreeNode* at : PostOrder(node))
        at->deleting = true;
    visibleValid_ = false;
}

std::vector<TreeNode*> TreeModel::PostOrder(TreeNode* node) {
    std::vector<TreeNode*> order;
    std::vector<std::pair<TreeNode*, bool>> stack{{node, false}};
    while (!stack.empty()) {
        auto [at, childrenDone] = stack.back();
        stack.pop_back();
        if (childrenDone) {
            order.push_back(at);
            continue;
        }
        stack.emplace_back(at, true);
        for (TreeNode* child = at->last; child; child = child->prev)
            stack.emplace_back(child, false);
    }
    return order;
}

void TreeModel::Forget(TreeNode* node) {
    nodes_.erase(node->id);
}

const std::vector<TreeNode*>& TreeModel::Visible() {
    if (visibleValid_)
        return visible_;
    visible_.clear();
    visibleIndex_.clear();
    std::vector<TreeNode*> stack;
    for (TreeNode* child = root_.last; child; child = child->prev)
        stack.push_back(child);
    while (!stack.empty()) {
        TreeNode* at = stack.back();
        stack.pop_back();
        visibleIndex_[at] = static_cast<int>(visible_.size());
        visible_.push_back(at);
        if (at->state & TVIS_EXPANDED)
            for (TreeNode* child = at->last; child; child = child->prev)
                stack.push_back(child);
    }
    visibleValid_ = true;
    return visible_;
}

int TreeModel::VisibleIndex(const TreeNode* node) {
    Visible();
    auto found = visibleIndex_.find(node);
    return found == visibleIndex_.end() ? -1 : found->second;
}

} // namespace win32::internal
