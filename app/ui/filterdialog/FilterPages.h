// The filter dialog's eight pages, one per request family, in the order the dialog creates them. Each is a
// CCheckListPage over its own table of item texts and block bytes.
#pragma once

#include <memory>
#include <vector>

#include "app/ui/filterdialog/CheckListPage.h"

#define TDL_FILTER_PAGE(Class)                                                                                         \
    class Class : public CCheckListPage {                                                                              \
    public:                                                                                                            \
        static const Layout s_layout;                                                                                  \
        Class(CCheckListBox* pList, const COSVersion& os) : CCheckListPage(s_layout, pList, os) {}                     \
    };

TDL_FILTER_PAGE(CUrbPage)
TDL_FILTER_PAGE(CIHubPage)
TDL_FILTER_PAGE(CUSBIntPage)
TDL_FILTER_PAGE(CHubIoctlPage)
TDL_FILTER_PAGE(CHCDIoctlPage)
TDL_FILTER_PAGE(CHIDIoctlPage)
TDL_FILTER_PAGE(CPnpIrpPage)
TDL_FILTER_PAGE(CPowerIrpPage)

#undef TDL_FILTER_PAGE

// A dialog's check-list boxes: the URB page's (control 1265), then one per control from 1267 to 1274, the
// second of them (1268) used by no page.
constexpr int FILTER_PAGE_LIST_COUNT = 9;

// The pages in the dialogs' order, each over its own list box; the hub-interface page only where the system
// offers hub-interface logging.
std::vector<std::unique_ptr<CCheckListPage>> CreateFilterPages(CCheckListBox (&lists)[FILTER_PAGE_LIST_COUNT],
                                                               const COSVersion& os);
