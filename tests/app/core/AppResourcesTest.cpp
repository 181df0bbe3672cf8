// The program's resources: the texts the start-up and the driver client read, and the menu, accelerators and
// icon of the main frame and of both document kinds.
#include "app/core/app/AppResources.h"

#include <gtest/gtest.h>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "app/core/app/Resource.h"
#include "app/core/capture/KxTdloft.h"

namespace {

TEST(AppResources, StringsAndTheResourcesOfEachFrameAndDocumentKind) {
    RegisterAppResources();
    struct Text {
        UINT id;
        const char* text;
    };
    for (const Text& t : {Text{IDR_MAINFRAME, "Tindaloft"}, Text{IDS_TINDALOFT_DEVICE, "\\\\.\\Tindaloft"},
                          Text{IDR_TDLOFT_TYPE, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n"
                                                ".tdloft\nTindaloft.Document\nTindaloft Log File"},
                          Text{IDR_TDLOFT_REALTIME, "\nCapture Mode\nTrace\nTindaloft Log File\n.tdloft\n"
                                                    "Tindaloft.Document\nTindaloft Log File"}}) {
        CString text;
        EXPECT_TRUE(AfxLoadString(t.id, text)) << t.id;
        EXPECT_STREQ(text.GetString(), t.text);
    }
    for (UINT id : {IDR_MAINFRAME, IDR_TDLOFT_TYPE, IDR_TDLOFT_REALTIME}) {
        SCOPED_TRACE(id);
        HMENU menu = ::LoadMenuA(nullptr, MAKEINTRESOURCEA(id));
        EXPECT_NE(menu, nullptr);
        if (menu != nullptr) {
            ::DestroyMenu(menu);
        }
        EXPECT_NE(::LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(id)), nullptr);
        HICON icon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(id));
        EXPECT_NE(icon, nullptr);
    }
}

} // namespace
