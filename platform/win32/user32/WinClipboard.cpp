#include "WinClipboard.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "WinHandles.h"
#include "internal/WindowEvents.h"
#include "winerror.h"

namespace {

struct Clipboard {
    std::mutex lock;
    bool open = false;
    bool changed = false; // emptied or filled since it was opened
    std::thread::id openedBy;
    HWND owner = nullptr;
    std::map<UINT, HANDLE> formats;
};

Clipboard& Board() {
    static auto* board = new Clipboard;
    return *board;
}

bool OpenedHere(Clipboard& b) {
    if (b.open && b.openedBy == std::this_thread::get_id())
        return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}

void FreeAll(Clipboard& b) {
    for (auto& [format, data] : b.formats)
        GlobalFree(data);
    b.formats.clear();
}

} // namespace

BOOL OpenClipboard(HWND owner) {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    if (b.open && b.openedBy != std::this_thread::get_id()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    b.open = true;
    b.openedBy = std::this_thread::get_id();
    b.owner = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    Clipboard& b = Board();
    bool changed;
    {
        std::lock_guard guard(b.lock);
        if (!OpenedHere(b))
            return FALSE;
        b.open = false;
        changed = b.changed;
        b.changed = false;
    }
    if (changed)
        win32::internal::ReportClipboardChanged();
    return TRUE;
}

BOOL EmptyClipboard() {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    if (!OpenedHere(b))
        return FALSE;
    FreeAll(b);
    b.changed = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    if (!OpenedHere(b))
        return nullptr;
    if (format != CF_TEXT && format != CF_OEMTEXT) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!data || GlobalSize(data) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto it = b.formats.find(format);
    if (it != b.formats.end() && it->second != data)
        GlobalFree(it->second);
    b.formats[format] = data;
    b.changed = true;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    if (!OpenedHere(b))
        return nullptr;
    auto it = b.formats.find(format);
    if (it == b.formats.end() && format == CF_OEMTEXT)
        it = b.formats.find(CF_TEXT);
    return it == b.formats.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    return b.formats.count(format) ? TRUE : FALSE;
}

int CountClipboardFormats() {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    return static_cast<int>(b.formats.size());
}

std::string win32::ClipboardText() {
    Clipboard& b = Board();
    std::lock_guard guard(b.lock);
    auto it = b.formats.find(CF_TEXT);
    if (it == b.formats.end())
        return {};
    SIZE_T size = GlobalSize(it->second);
    const char* text = static_cast<const char*>(GlobalLock(it->second));
    std::string result = text ? std::string(text, strnlen(text, size)) : std::string();
    GlobalUnlock(it->second);
    return result;
}

void win32::SetClipboardText(const std::string& text) {
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
    GlobalUnlock(data);
    {
        Clipboard& b = Board();
        std::lock_guard guard(b.lock);
        FreeAll(b);
        b.formats[CF_TEXT] = data;
    }
    win32::internal::ReportClipboardChanged();
}
