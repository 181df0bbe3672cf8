#include "SaveAsFile.h"

#include <string>
#include <vector>

#include <afxwin.h>

#include "app/devices/reports/ReportFile.h"
#include "commdlg.h"

namespace save_as {

namespace {

// Room for the longest path the host file system takes.
constexpr DWORD kPathRoom = 4096;

// The framework's filter form, pieces ended by "|", as the dialog takes it: pieces ended by NUL, the list by
// a second NUL.
std::string DialogFilter(LPCSTR filter) {
    std::string pieces = filter != nullptr ? filter : "";
    while (!pieces.empty() && pieces.back() == '|')
        pieces.pop_back();
    for (char& c : pieces) {
        if (c == '|')
            c = '\0';
    }
    pieces.append(2, '\0');
    return pieces;
}

} // namespace

bool AskSavePath(LPCSTR defaultExtension, LPCSTR filter, CString& path) {
    std::string dialogFilter = DialogFilter(filter);
    std::vector<char> name(kPathRoom, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = dialogFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = kPathRoom;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&ofn))
        return false;
    path = name.data();
    return true;
}

bool ChooseAndOpen(CStdioFile& file, CString& path, bool& writeError, LPCSTR defaultExtension, LPCSTR filter) {
    CString chosen;
    if (!AskSavePath(defaultExtension, filter, chosen))
        return false;
    if (!report_file::OpenNamed(file, chosen, path, writeError)) {
        CString message;
        message.Format("Failed to open:\n%s", chosen.GetString());
        AfxMessageBox(message);
        return false;
    }
    return true;
}

} // namespace save_as
