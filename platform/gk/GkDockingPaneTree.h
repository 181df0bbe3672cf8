// The docking manager's inner shapes: the live tree of bands, splits and groups, and the stored form of a
// layout with its bounded reader.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "afxwin.h"

class CGkDockingPaneGroup;

// A split (two children) or a leaf (a group).
struct GkDockNode {
    CGkDockingPaneGroup* pGroup = nullptr;
    BOOL bHorz = FALSE; // children side by side when set, else one above the other
    int nFixed = 1;     // the child that keeps nSize; the other takes the rest
    int nSize = 0;
    std::unique_ptr<GkDockNode> child[2];
    CRect rc;
};

struct GkDockBand {
    int nSide = 0; // GkDockingDirection
    int nSize = 0;
    std::unique_ptr<GkDockNode> root;
};

// The stored layout: the same shape with pane ids in place of groups.
struct GkLayoutNode {
    BOOL bSplit = FALSE;
    BOOL bHorz = FALSE;
    int nFixed = 1;
    int nSize = 0;
    std::unique_ptr<GkLayoutNode> child[2];
    UINT nActive = 0;
    std::vector<std::pair<UINT, BOOL>> panes; // id, closed
};

struct GkLayoutBand {
    int nSide = 0;
    int nSize = 0;
    std::unique_ptr<GkLayoutNode> root;
};

constexpr uint32_t kGkLayoutTag = 0x4C444B47; // "GKDL"
constexpr uint32_t kGkLayoutVersion = 1;

// FALSE for anything but a whole, well-formed layout: a wrong tag or version, a field cut short, bytes left
// over, a side, size or count out of range, or nesting deeper than any layout the manager makes.
BOOL GkParseLayout(const std::vector<BYTE>& bytes, std::vector<GkLayoutBand>& bands);
