#include "Region.h"

namespace win32::internal {

namespace {

cairo_rectangle_int_t CairoRect(const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return cairo_rectangle_int_t{0, 0, 0, 0};
    return cairo_rectangle_int_t{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

Region::Region(const RECT& rect) {
    cairo_rectangle_int_t r = CairoRect(rect);
    region_ = cairo_region_create_rectangle(&r);
}

Region& Region::operator=(const Region& other) {
    if (this != &other) {
        cairo_region_t* copy = cairo_region_copy(other.region_);
        cairo_region_destroy(region_);
        region_ = copy;
    }
    return *this;
}

RECT Region::Box() const {
    if (Empty())
        return RECT{};
    cairo_rectangle_int_t r;
    cairo_region_get_extents(region_, &r);
    return RECT{r.x, r.y, r.x + r.width, r.y + r.height};
}

int Region::Complexity() const {
    int n = cairo_region_num_rectangles(region_);
    return n == 0 ? 1 /* NULLREGION */ : n == 1 ? 2 /* SIMPLEREGION */ : 3 /* COMPLEXREGION */;
}

std::vector<RECT> Region::Rects() const {
    std::vector<RECT> rects;
    int n = cairo_region_num_rectangles(region_);
    rects.reserve(n);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region_, i, &r);
        rects.push_back(RECT{r.x, r.y, r.x + r.width, r.y + r.height});
    }
    return rects;
}

void Region::Intersect(const RECT& rect) {
    cairo_rectangle_int_t r = CairoRect(rect);
    cairo_region_intersect_rectangle(region_, &r);
}

void Region::ClipCairo(cairo_t* cr) const {
    int n = cairo_region_num_rectangles(region_);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region_, i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    if (n == 0)
        cairo_rectangle(cr, 0, 0, 0, 0);
    cairo_clip(cr);
}

} // namespace win32::internal
