#include "app/ui/filterdialog/FilterPages.h"

namespace {

constexpr UINT kFirstList = 1265;

template <class Page>
void AddPage(std::vector<std::unique_ptr<CCheckListPage>>& pages, CCheckListBox (&lists)[FILTER_PAGE_LIST_COUNT],
             const COSVersion& os) {
    // The lists in control order: the URB page's, then the others from 1267 on.
    const UINT nControl = Page::s_layout.nControl;
    CCheckListBox* pList = &lists[nControl == kFirstList ? 0 : nControl - kFirstList - 1];
    pages.push_back(std::make_unique<Page>(pList, os));
}

} // namespace

std::vector<std::unique_ptr<CCheckListPage>> CreateFilterPages(CCheckListBox (&lists)[FILTER_PAGE_LIST_COUNT],
                                                               const COSVersion& os) {
    std::vector<std::unique_ptr<CCheckListPage>> pages;
    AddPage<CUrbPage>(pages, lists, os);
    if (!os.IsHubInterfaceLoggingWithdrawn())
        AddPage<CIHubPage>(pages, lists, os);
    AddPage<CUSBIntPage>(pages, lists, os);
    AddPage<CHubIoctlPage>(pages, lists, os);
    AddPage<CHCDIoctlPage>(pages, lists, os);
    AddPage<CHIDIoctlPage>(pages, lists, os);
    AddPage<CPnpIrpPage>(pages, lists, os);
    AddPage<CPowerIrpPage>(pages, lists, os);
    return pages;
}
