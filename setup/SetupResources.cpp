#include "SetupResources.h"

#include <cstring>

#include "WinResourceTable.h"
#include "tdl_setup_embedded.h"

const char kSetupManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "  <assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"amd64\" name=\"Tindaloft-2_20_00-x64.exe\" "
    "type=\"win32\"/>\r\n"
    "  <description>Tindaloft x64 Setup</description>\r\n"
    "  <dependency>\r\n"
    "    <dependentAssembly>\r\n"
    "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
    "processorArchitecture=\"amd64\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
    "    </dependentAssembly>\r\n"
    "  </dependency>\r\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
    "    <security>\r\n"
    "      <requestedPrivileges>\r\n"
    "        <requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>\r\n"
    "      </requestedPrivileges>\r\n"
    "    </security>\r\n"
    "  </trustInfo>\r\n"
    "</assembly>\r\n";

namespace {

// Styles as the resource compiler writes them.
constexpr DWORD kDialogStyle = 0x80000000 /* WS_POPUP */ | 0x00C00000 /* WS_CAPTION */ | 0x00080000 /* WS_SYSMENU */ |
                               0x80 /* DS_MODALFRAME */ | 0x40 /* DS_SETFONT */ | 0x800 /* DS_CENTER */;
constexpr DWORD kChild = 0x40000000 /* WS_CHILD */ | 0x10000000 /* WS_VISIBLE */;
constexpr DWORD kStatic = kChild;                                            // SS_LEFT
constexpr DWORD kIcon = kChild | 0x3;                                        // SS_ICON
constexpr DWORD kDefaultButton = kChild | 0x00010000 /* WS_TABSTOP */ | 0x1; // BS_DEFPUSHBUTTON
constexpr DWORD kButton = kChild | 0x00010000;                               // BS_PUSHBUTTON
constexpr UINT kStaticId = 0xFFFF;                                           // IDC_STATIC

} // namespace

void RegisterSetupResources(HMODULE module) {
    win32::RegisterIconResource(module, IDI_SETUP, tdl::embedded::Setup_png, tdl::embedded::Setup_png_size);
    win32::RegisterDialogResource(
        module, IDD_WELCOME,
        {kDialogStyle,
         0,
         0,
         0,
         216,
         92,
         "Tindaloft Setup (x64)",
         "MS Shell Dlg",
         8,
         {{"STATIC", kStaticId, "#101", kIcon, 0, 12, 12, 21, 20},
          {"STATIC", kStaticId, "Welcome to the Tindaloft\nSetup Wizard", kStatic, 0, 44, 12, 160, 20},
          {"STATIC", kStaticId, "Press Yes to begin installation", kStatic, 0, 44, 40, 160, 10},
          {"BUTTON", 1, "&Yes", kDefaultButton, 0, 104, 68, 50, 14},
          {"BUTTON", 2, "&No", kButton, 0, 158, 68, 50, 14}}});
    win32::RegisterRawResource(module, RT_MANIFEST, MAKEINTRESOURCEA(1), kSetupManifest, std::strlen(kSetupManifest));
}
