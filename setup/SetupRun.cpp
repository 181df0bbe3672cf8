#include <cstdio>
#include <cstring>

#include "PayloadArchive.h"
#include "Setup.h"
#include "SetupResources.h"
#include "WinCrtString.h"
#include "WinDialogs.h"
#include "ole2.h"
#include "shellapi.h"

namespace {

constexpr const char* kClassName = "PlainClass";
constexpr DWORD kIdleWaitMilliseconds = 15000;

// OLE is ended only when this run started it.
bool g_oleStarted = false;

bool RegisterPlainClass(HINSTANCE instance) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kClassName, &existing))
        return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = PlainWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
}

void EndOle() {
    if (g_oleStarted)
        OleUninitialize();
    g_oleStarted = false;
}

int Stop(HWND window, const char* text) {
    ShowSetupError(window, text);
    return EndSetup(window);
}

// A fresh folder named like a temporary file: the file GetTempFileName makes is replaced by a folder.
bool MakeTemporaryFolder(char* folder) {
    char tempPath[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, tempPath);
    if (length == 0 || length >= MAX_PATH || GetTempFileNameA(tempPath, "XRINST", 0, folder) == 0)
        return false;
    DeleteFileA(folder);
    return CreateDirectoryA(folder, nullptr) != FALSE;
}

bool IsInSubfolder(const ArchiveItem& item) {
    return std::strchr(item.name, '/') || std::strchr(item.name, '\\') || (item.attributes & FILE_ATTRIBUTE_DIRECTORY);
}

enum class Unpacked { Done, Failed, Cancelled };

// Extracts every entry that lies in no folder into `tempFolder`; `packageName` is the last extracted ".msi".
Unpacked UnpackEntries(HWND window, HARCHIVE archive, int count, const char* tempFolder, char* packageName) {
    for (int i = 0; i < count; ++i) {
        InvalidateRect(window, nullptr, FALSE);
        PumpMessages();
        if (SetupCancelled)
            return Unpacked::Cancelled;
        ArchiveItem item;
        if (GetArchiveItem(archive, i, &item) != ARCHIVE_OK) {
            ShowSetupError(window, "Part of payload is faulty");
            return Unpacked::Failed;
        }
        if (IsInSubfolder(item)) {
            MessageBoxA(window, "Subdirectories not implemented in installer!", item.name, MB_OK);
            continue;
        }
        char target[MAX_PATH];
        if (!JoinPath(target, tempFolder, item.name) || ExtractArchiveItem(archive, i, target) != ARCHIVE_OK) {
            ShowSetupError(window, "Failure unzipping part of payload");
            return Unpacked::Failed;
        }
        // Only an extracted entry can be the package: its name then names a file inside the folder.
        if (_stricmp(FindExtension(item.name), ".msi") == 0)
            std::snprintf(packageName, MAX_PATH, "%s", item.name);
    }
    return Unpacked::Done;
}

void Launch(HWND window, const char* cachedPath) {
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.hwnd = window;
    execute.lpVerb = "open";
    execute.lpFile = cachedPath;
    execute.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExA(&execute)) {
        const DWORD waited = WaitForInputIdle(execute.hProcess, kIdleWaitMilliseconds);
        if (execute.hProcess)
            CloseHandle(execute.hProcess);
        if (waited == 0)
            return;
    }
    char text[MAX_PATH + 128];
    std::snprintf(text, sizeof text, "Error launching MSI file.\r\n\r\nYou can proceed by running it manually:\r\n%s",
                  cachedPath);
    MessageBoxA(window, text, "msiexec", MB_OK);
}

} // namespace

int EndSetup(HWND window) {
    if (window)
        DestroyWindow(window);
    EndOle();
    return 0;
}

int RunSetup(HINSTANCE instance) {
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
    if (!RegisterPlainClass(instance))
        return Stop(nullptr, "Failed to register class");
    HWND window = CreateWindowExA(0, kClassName, "Installing...", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 400, 400,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return Stop(nullptr, "Failed to create window");
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    ShowWindow(window, SW_HIDE);

    // Only Yes goes on; a dialog that cannot be made asks nothing, so nothing is installed.
    const INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_WELCOME), nullptr, WelcomeDlgProc, 0);
    if (answer == -1)
        return Stop(window, "Failed to create window");
    if (answer != IDOK)
        return EndSetup(window);

    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(1), RT_RCDATA);
    if (!found)
        return Stop(window, "Payload not present");
    HGLOBAL loaded = LoadResource(instance, found);
    if (!loaded)
        return Stop(window, "Couldn't find payload");
    const void* payload = LockResource(loaded);
    if (!payload)
        return Stop(window, "Couldn't lock payload");
    const DWORD payloadSize = SizeofResource(instance, found);

    HARCHIVE archive = OpenPayloadArchive(payload, payloadSize);
    if (!archive)
        return Stop(window, "Couldn't figure out payload");
    ArchiveItem summary;
    const DWORD counted = GetArchiveItem(archive, -1, &summary);
    if (counted != ARCHIVE_OK || summary.index <= 0) {
        ClosePayloadArchive(archive);
        return Stop(window, counted != ARCHIVE_OK ? "Payload malformed" : "Empty payload");
    }

    char tempFolder[MAX_PATH];
    if (!MakeTemporaryFolder(tempFolder)) {
        ClosePayloadArchive(archive);
        return Stop(window, "Failure unzipping part of payload");
    }
    char packageName[MAX_PATH] = {};
    const Unpacked unpacked = UnpackEntries(window, archive, summary.index, tempFolder, packageName);
    if (unpacked == Unpacked::Cancelled) {
        ClosePayloadArchive(archive);
        RemoveFolderTree(tempFolder);
        return EndSetup(window);
    }
    PumpMessages();
    ClosePayloadArchive(archive);
    if (unpacked == Unpacked::Failed) {
        RemoveFolderTree(tempFolder);
        return EndSetup(window);
    }
    if (!packageName[0]) {
        ShowSetupError(window, "Did not find MSI in payload");
        RemoveFolderTree(tempFolder);
        return EndSetup(window);
    }
    PumpMessages();
    if (SetupCancelled) {
        RemoveFolderTree(tempFolder);
        return EndSetup(window);
    }

    char cachedPath[MAX_PATH];
    if (!CacheMsiPackage(window, tempFolder, packageName, cachedPath))
        return EndSetup(window);
    Launch(window, cachedPath);
    return EndSetup(window);
}
