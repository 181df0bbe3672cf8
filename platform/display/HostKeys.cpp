#include "platform/display/HostKeys.h"

#include <gdk/gdkkeysyms.h>

#include "WinCodePages.h"
#include "WinInput.h"

namespace display {

uint8_t VirtualKeyOf(unsigned keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z)
        return static_cast<uint8_t>('A' + (keyval - GDK_KEY_a));
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z)
        return static_cast<uint8_t>(keyval);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9)
        return static_cast<uint8_t>(keyval);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24)
        return static_cast<uint8_t>(VK_F1 + (keyval - GDK_KEY_F1));
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9)
        return static_cast<uint8_t>(VK_NUMPAD0 + (keyval - GDK_KEY_KP_0));
    switch (keyval) {
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return VK_TAB;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_space: return VK_SPACE;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: return VK_PRIOR;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: return VK_NEXT;
    case GDK_KEY_End:
    case GDK_KEY_KP_End: return VK_END;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home: return VK_HOME;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: return VK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: return VK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: return VK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: return VK_DOWN;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert: return VK_INSERT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete: return VK_DELETE;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R: return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R: return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R: return VK_MENU;
    case GDK_KEY_Menu: return VK_APPS;
    case GDK_KEY_Caps_Lock: return VK_CAPITAL;
    case GDK_KEY_KP_Multiply: return VK_MULTIPLY;
    case GDK_KEY_KP_Add: return VK_ADD;
    case GDK_KEY_KP_Subtract: return VK_SUBTRACT;
    case GDK_KEY_KP_Decimal: return VK_DECIMAL;
    case GDK_KEY_KP_Divide: return VK_DIVIDE;
    // The punctuation keys of a US keyboard.
    case GDK_KEY_semicolon: return 0xBA;
    case GDK_KEY_equal: return 0xBB;
    case GDK_KEY_comma: return 0xBC;
    case GDK_KEY_minus: return 0xBD;
    case GDK_KEY_period: return 0xBE;
    case GDK_KEY_slash: return 0xBF;
    case GDK_KEY_grave: return 0xC0;
    case GDK_KEY_bracketleft: return 0xDB;
    case GDK_KEY_backslash: return 0xDC;
    case GDK_KEY_bracketright: return 0xDD;
    case GDK_KEY_apostrophe: return 0xDE;
    default: return 0;
    }
}

int AnsiCharacterOf(uint32_t unicode) {
    if (unicode == 0 || unicode > 0xFFFF)
        return -1;
    const WCHAR wide = static_cast<WCHAR>(unicode);
    char ansi = 0;
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &wide, 1, &ansi, 1, nullptr, &usedDefault) != 1 || usedDefault)
        return -1;
    return static_cast<unsigned char>(ansi);
}

namespace {

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
    std::u16string wide(static_cast<size_t>(wideLength), u'\0');
    MultiByteToWideChar(from, 0, text.data(), length, reinterpret_cast<LPWSTR>(wide.data()), wideLength);
    const int outLength =
        WideCharToMultiByte(to, 0, reinterpret_cast<LPCWSTR>(wide.data()), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(to, 0, reinterpret_cast<LPCWSTR>(wide.data()), wideLength, out.data(), outLength, nullptr,
                        nullptr);
    return out;
}

} // namespace

std::string Utf8FromAnsi(const std::string& text) {
    return Convert(text, CP_ACP, CP_UTF8);
}

std::string AnsiFromUtf8(const std::string& text) {
    return Convert(text, CP_UTF8, CP_ACP);
}

} // namespace display
