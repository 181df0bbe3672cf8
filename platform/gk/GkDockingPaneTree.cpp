#include "GkDockingPaneTree.h"

#include "GkProfileValue.h"

namespace {

constexpr int kMaxDepth = 32;
constexpr uint32_t kMaxSize = 100000;

bool ReadNode(CGkProfileReader& reader, GkLayoutNode& node, int nDepth) {
    if (nDepth > kMaxDepth)
        return false;
    uint32_t kind = 0;
    if (!reader.ReadUInt(kind) || kind > 1)
        return false;
    node.bSplit = kind == 1;
    if (node.bSplit) {
        uint32_t horz = 0, fixed = 0, size = 0;
        if (!reader.ReadUInt(horz) || !reader.ReadUInt(fixed) || !reader.ReadUInt(size) || horz > 1 || fixed > 1 ||
            size > kMaxSize)
            return false;
        node.bHorz = horz != 0;
        node.nFixed = static_cast<int>(fixed);
        node.nSize = static_cast<int>(size);
        for (auto& child : node.child) {
            child = std::make_unique<GkLayoutNode>();
            if (!ReadNode(reader, *child, nDepth + 1))
                return false;
        }
        return true;
    }
    uint32_t active = 0, count = 0;
    if (!reader.ReadUInt(active) || !reader.ReadUInt(count) || count == 0 || count > 1000)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0, closed = 0;
        if (!reader.ReadUInt(id) || !reader.ReadUInt(closed) || closed > 1)
            return false;
        node.panes.emplace_back(id, closed != 0);
    }
    node.nActive = active;
    return true;
}

} // namespace

BOOL GkParseLayout(const std::vector<BYTE>& bytes, std::vector<GkLayoutBand>& bands) {
    CGkProfileReader reader(bytes, kGkLayoutTag, kGkLayoutVersion);
    uint32_t count = 0;
    if (!reader.ReadUInt(count) || count > 1000)
        return FALSE;
    std::vector<GkLayoutBand> result;
    for (uint32_t i = 0; i < count; ++i) {
        GkLayoutBand band;
        uint32_t side = 0, size = 0;
        if (!reader.ReadUInt(side) || !reader.ReadUInt(size) || side > 3 || size > kMaxSize)
            return FALSE;
        band.nSide = static_cast<int>(side);
        band.nSize = static_cast<int>(size);
        band.root = std::make_unique<GkLayoutNode>();
        if (!ReadNode(reader, *band.root, 0))
            return FALSE;
        result.push_back(std::move(band));
    }
    if (!reader.AtEnd())
        return FALSE;
    bands = std::move(result);
    return TRUE;
}
