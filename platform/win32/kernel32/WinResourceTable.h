// The program's resources as its sources declare them, by module and id, in the style of the string table
// (AfxStringTable.h, which reads the program module's strings from here): strings, menus, accelerators, dialog
// templates, toolbars, bitmaps and icons (PNG files embedded at build time with tdl_embed_files), and raw data.
// A new registration of a name replaces the old one. A null module is the program's own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "WinResources.h"

typedef struct tagACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
} ACCEL, *LPACCEL;
static_assert(sizeof(ACCEL) == 6);

namespace win32 {

struct StringResource {
    UINT id;
    const char* text;
};

// A menu item: MF_POPUP with its items, MF_SEPARATOR, or a command; MF_GRAYED, MF_CHECKED and MFT_RADIOCHECK
// give its first state.
struct MenuResourceItem {
    UINT flags;
    UINT id;
    std::string text;
    std::vector<MenuResourceItem> items;
};

// A control of a dialog template: class ("BUTTON", "EDIT", "STATIC", "SysListView32", ...), id, text, style and
// its rectangle in dialog units.
struct DialogResourceItem {
    std::string className;
    UINT id;
    std::string text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct DialogResource {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string caption;
    std::string fontFace; // with fontSize, when style has DS_SETFONT
    WORD fontSize;
    std::vector<DialogResourceItem> items;
};

// A toolbar: button size and the command of each button, 0 for a separator. Its images are the bitmap of the
// same id.
struct ToolbarResource {
    WORD width;
    WORD height;
    std::vector<UINT> items;
};

void RegisterStringResources(HMODULE module, const StringResource* entries, size_t count);
void RegisterMenuResource(HMODULE module, UINT id, std::vector<MenuResourceItem> items);
void RegisterAcceleratorResource(HMODULE module, UINT id, std::vector<ACCEL> entries);
void RegisterDialogResource(HMODULE module, UINT id, DialogResource dialog);
void RegisterToolbarResource(HMODULE module, UINT id, ToolbarResource toolbar);
// PNG bytes (copied); LoadBitmap and LoadIcon decode them, FindResource finds them as RT_BITMAP and RT_ICON.
void RegisterBitmapResource(HMODULE module, UINT id, const unsigned char* png, size_t size);
void RegisterIconResource(HMODULE module, UINT id, const unsigned char* png, size_t size);
// Raw bytes (copied) of any type, by id or name.
void RegisterRawResource(HMODULE module, LPCSTR type, LPCSTR name, const void* data, size_t size);
// Forgets every resource of every module.
void ClearResources();

// What the dialog manager and the frame's toolbar read: false when there is no such resource.
bool GetDialogResource(HMODULE module, LPCSTR name, DialogResource& dialog);
bool GetToolbarResource(HMODULE module, LPCSTR name, ToolbarResource& toolbar);

// The next `count` resource loads (FindResource, LoadString, LoadBitmap, LoadIcon, LoadImage, LoadMenu,
// LoadAccelerators) fail as though the resource were missing; 0 ends the failures.
void FailResourceLoads(unsigned count);

} // namespace win32
