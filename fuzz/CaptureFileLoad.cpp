// Arbitrary bytes as a capture log file, loaded into a saved log's document: the file comes from another
// machine, so every count, offset and length in it may lie. Every input must end in a clean load or an
// archive error: no crash, no read past the file or its mapping, no leak.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "WinUiControl.h"
#include "afx.h"
#include "app/core/app/AppResources.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"

namespace {

const std::string& InputPath() {
    static const std::string path = "/tmp/tdl-fuzz-capture-" + std::to_string(::getpid()) + ".tdloft";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        RegisterAppResources();
        win32::SetModalStrict(false);
        return true;
    }();
    (void)ready;
    if (FILE* out = std::fopen(InputPath().c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    } else {
        return 0;
    }
    CUSBLog doc;
    try {
        CFile file(InputPath().c_str(), CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load);
        try {
            doc.Serialize(ar);
            // A file that loads: touch every record it indexed, as the list would.
            const LogRecords::CLogRecords* records = doc.GetLogRecords();
            volatile ULONGLONG sum = 0;
            for (INT_PTR i = 0; records != nullptr && i < records->GetCount(); ++i)
                sum = sum + LogRecords::CLogRecords::RecordSize(records->GetAt(i));
            ar.Close();
        } catch (CException* e) {
            ar.Abort();
            e->Delete();
        }
    } catch (CException* e) {
        e->Delete();
    }
    doc.DeleteContents();
    win32::ClearModalRequests();
    return 0;
}
