// The export step every file the program saves shares: the save dialog asks where, then the file is opened
// in the export mode (created or truncated, binary). The CSV export and the device reports go through it,
// each with its own extension and filter.
#pragma once

#include <afx.h>

namespace save_as {

// The save dialog with no owner, the default extension, no initial name, the filter in the framework's form
// ("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||") and only the overwrite prompt. True with the full path
// in `path` when the user chose a file; false when cancelled.
bool AskSavePath(LPCSTR defaultExtension, LPCSTR filter, CString& path);

// The dialog, then the chosen file opened into `file` with its path kept in `path`. A file that cannot be
// opened is told in a message box ("Failed to open:" and the path). False when cancelled or not opened.
bool ChooseAndOpen(CStdioFile& file, CString& path, bool& writeError, LPCSTR defaultExtension, LPCSTR filter);

} // namespace save_as
