// Pixels a device context draws into: a cairo image of 32-bit pixels (0x00RRGGBB, top-down) and the lock held
// while anything draws into it or reads it. A window's surface, a bitmap and a printer's page are canvases. A
// monochrome canvas holds black and white pixels only.
#pragma once

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "WinUserTypes.h"

namespace win32::internal {

// Larger images are beyond what cairo draws into; no window or bitmap of the program comes near it.
constexpr int kLargestCanvas = 16384;
constexpr uint32_t kBlackPixel = 0x000000;
constexpr uint32_t kWhitePixel = 0xFFFFFF;

inline uint32_t PixelOf(COLORREF color) {
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}
inline COLORREF ColorOf(uint32_t pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}
// The nearer of black and white, by brightness: what a colour becomes on a monochrome canvas.
inline uint32_t MonoPixel(uint32_t pixel) {
    uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return (r * 30 + g * 59 + b * 11) >= 12800 ? kWhitePixel : kBlackPixel;
}

class Canvas {
public:
    // Sizes below 1 are taken as 1; the pixels start white.
    Canvas(int width, int height, bool mono);
    virtual ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Mono() const { return mono_; }
    std::mutex& Lock() { return lock_; }
    cairo_surface_t* Surface() { return surface_; }
    const cairo_surface_t* Surface() const { return surface_; }

    // Direct access, between BeginPixels and EndPixels (which tell cairo the pixels were written), with the
    // lock held.
    void BeginPixels() { cairo_surface_flush(surface_); }
    void EndPixels() { cairo_surface_mark_dirty(surface_); }
    uint32_t* Row(int y) { return reinterpret_cast<uint32_t*>(data_ + static_cast<size_t>(y) * stride_); }
    const uint32_t* Row(int y) const {
        return reinterpret_cast<const uint32_t*>(data_ + static_cast<size_t>(y) * stride_);
    }
    uint32_t Pixel(int x, int y) const { return Row(y)[x] & 0xFFFFFF; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // New size, all pixels `pixel`.
    void Reset(int width, int height, uint32_t pixel = kWhitePixel);
    void Fill(uint32_t pixel);

private:
    void Allocate(int width, int height);

    std::mutex lock_;
    cairo_surface_t* surface_ = nullptr;
    unsigned char* data_ = nullptr;
    int stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool mono_;
};

// The pixels of a canvas are being written: flushed first and marked dirty after, under the canvas lock.
class PixelScope {
public:
    explicit PixelScope(Canvas& canvas) : canvas_(canvas), guard_(canvas.Lock()) { canvas_.BeginPixels(); }
    ~PixelScope() { canvas_.EndPixels(); }
    PixelScope(const PixelScope&) = delete;
    PixelScope& operator=(const PixelScope&) = delete;

private:
    Canvas& canvas_;
    std::lock_guard<std::mutex> guard_;
};

} // namespace win32::internal

namespace win32::internal {

// Writes the canvas as a PNG file (a platform path: "\" separators, a drive letter dropped); false with the last
// error set when the file cannot be written. The caller holds the canvas lock.
bool WriteCanvasPng(Canvas& canvas, const char* path);
// A canvas from PNG bytes: colours exactly as stored; `alpha` (optional) gets 1 for each pixel whose alpha is
// at least half, 0 for the others (row by row). Null for bytes that are not a PNG.
std::shared_ptr<Canvas> ReadCanvasPng(const unsigned char* data, size_t size, std::vector<uint8_t>* alpha);

} // namespace win32::internal
