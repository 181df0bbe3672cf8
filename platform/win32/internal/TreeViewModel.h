// The items of one tree view: their hierarchy, order and handles. Window-free, so a tree's structure can be
// worked on without painting or notifying; the control (WinTreeView.cpp) adds both.
//
// Handles come from one process-wide counter and are never given out twice, so a deleted item's handle stays
// unknown for good. Items are linked to their parent and siblings; the visible order (items whose ancestors are
// all expanded, depth first) is kept until the structure or an expansion changes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "WinTreeView.h"

namespace win32::internal {

struct TreeNode {
    uintptr_t id = 0;
    TreeNode* parent = nullptr; // the model's root sentinel for top-level items
    TreeNode* first = nullptr;
    TreeNode* last = nullptr;
    TreeNode* next = nullptr;
    TreeNode* prev = nullptr;
    std::string text;
    bool textCallback = false;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    int children = kChildrenByItems; // cChildren as set, or kChildrenByItems
    LPARAM param = 0;
    bool deleting = false; // unlinked and being notified away

    static constexpr int kChildrenByItems = -2;
};

class TreeModel {
public:
    TreeModel();
    ~TreeModel();
    TreeModel(const TreeModel&) = delete;
    TreeModel& operator=(const TreeModel&) = delete;

    // The item of a handle; null for null, the TVI_* values, unknown and deleted handles.
    TreeNode* Find(HTREEITEM item) const;
    static HTREEITEM Handle(const TreeNode* node) { return node ? reinterpret_cast<HTREEITEM>(node->id) : nullptr; }
    TreeNode* Root() { return &root_; }
    bool IsTopLevel(const TreeNode* node) const { return node->parent == &root_; }
    // Null for top-level items.
    TreeNode* ParentOf(const TreeNode* node) const { return node->parent == &root_ ? nullptr : node->parent; }
    size_t Count() const { return nodes_.size(); }
    int Depth(const TreeNode* node) const;
    bool IsAncestor(const TreeNode* ancestor, const TreeNode* node) const;

    // A new item under `parent` (the root sentinel for the top level) after `after` (TVI_FIRST, TVI_LAST,
    // TVI_SORT or a child of `parent`; anything else appends).
    TreeNode* Insert(TreeNode* parent, HTREEITEM after, std::string text);
    // Takes the item and its subtree out of the hierarchy; they stay findable until Forget.
    void Unlink(TreeNode* node);
    // The subtree of an unlinked item, children before their parents.
    static std::vector<TreeNode*> PostOrder(TreeNode* node);
    // Frees one unlinked item (its children must be forgotten first).
    void Forget(TreeNode* node);
    // Reorders the children of `parent` (stable) by `less`, and their subtrees too when `recurse`.
    template <typename Less> void SortChildren(TreeNode* parent, bool recurse, Less less);

    // Expanded state changed somewhere: the visible order is worked out again on demand.
    void Changed() { visibleValid_ = false; }
    const std::vector<TreeNode*>& Visible();
    // The row of a visible item; -1 when an ancestor is collapsed.
    int VisibleIndex(const TreeNode* node);

private:
    void Link(TreeNode* parent, TreeNode* node, TreeNode* before);
    void SortedInsertPoint(TreeNode* parent, TreeNode* node);

    TreeNode root_;
    std::unordered_map<uintptr_t, std::unique_ptr<TreeNode>> nodes_;
    std::vector<TreeNode*> visible_;
    std::unordered_map<const TreeNode*, int> visibleIndex_;
    bool visibleValid_ = false;
};

template <typename Less> void TreeModel::SortChildren(TreeNode* parent, bool recurse, Less less) {
    std::vector<TreeNode*> children;
    for (TreeNode* child = parent->first; child; child = child->next)
        children.push_back(child);
    std::stable_sort(children.begin(), children.end(), less);
    parent->first = parent->last = nullptr;
    for (TreeNode* child : children) {
        child->prev = parent->last;
        child->next = nullptr;
        (parent->last ? parent->last->next : parent->first) = child;
        parent->last = child;
        if (recurse)
            SortChildren(child, true, less);
    }
    visibleValid_ = false;
}

} // namespace win32::internal
