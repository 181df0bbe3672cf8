// A set of whole pixels (an owned cairo region of integer rectangles), copied by value: what an HRGN holds and
// what a device context clips to.
#pragma once

#include <cairo.h>
#include <vector>

#include "WinUserTypes.h"

namespace win32::internal {

class Region {
public:
    Region() : region_(cairo_region_create()) {}
    explicit Region(const RECT& rect);
    Region(const Region& other) : region_(cairo_region_copy(other.region_)) {}
    Region& operator=(const Region& other);
    ~Region() { cairo_region_destroy(region_); }

    bool Empty() const { return cairo_region_is_empty(region_); }
    bool Contains(int x, int y) const { return cairo_region_contains_point(region_, x, y); }
    bool operator==(const Region& other) const { return cairo_region_equal(region_, other.region_); }
    RECT Box() const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Complexity() const;
    std::vector<RECT> Rects() const;

    void Intersect(const Region& other) { cairo_region_intersect(region_, other.region_); }
    void Intersect(const RECT& rect);
    void Unite(const Region& other) { cairo_region_union(region_, other.region_); }
    void Subtract(const Region& other) { cairo_region_subtract(region_, other.region_); }
    void Xor(const Region& other) { cairo_region_xor(region_, other.region_); }
    void Offset(int dx, int dy) { cairo_region_translate(region_, dx, dy); }
    // Clips cairo's drawing to the region.
    void ClipCairo(cairo_t* cr) const;

private:
    cairo_region_t* region_;
};

} // namespace win32::internal
