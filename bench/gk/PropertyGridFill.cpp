// Showing one record in a Log Details-sized grid: fourteen fixed categories found by caption and hidden,
// the fixed items found by caption and id and given values, the record's own section cleared and refilled
// to sixty items in all. The figure is records shown per second.
#include <benchmark/benchmark.h>

#include "GkPropertyGrid.h"

namespace {

const char* const kCategories[] = {"Log Entry", "Target", "IRP", "URB", "CBW", "CSW",  "USBINT",
                                   "PNP",       "PWR",    "HCD", "HID", "HUB", "IHUB", "MPORT"};
const char* const kEntryItems[] = {"Type", "State", "Record", "Status"};
const char* const kIrpItems[] = {"Irp Address",    "IoStatus.Status",        "Irp Stack Pointer",
                                 "Stack Count",    "Current Stack Location", "Major Function",
                                 "Minor Function", "IoControlCode"};
constexpr int kSectionItems = 60 - 4 - 4 - 8; // what the fixed items leave of sixty

void BuildLogDetails(CGkPropertyGrid& grid) {
    for (const char* pszCategory : kCategories) {
        CGkPropertyGridItem* pCategory = grid.AddCategory(pszCategory);
        pCategory->Expand();
        pCategory->SetHidden(TRUE);
    }
    CGkPropertyGridItems* pCategories = grid.GetCategories();
    for (const char* pszItem : kEntryItems)
        pCategories->FindItem("Log Entry")->AddChildItem(new CGkPropertyGridItem(pszItem))->SetReadOnly(TRUE);
    for (UINT nID = 5000; nID < 5004; ++nID)
        pCategories->FindItem("Target")->AddChildItem(new CGkPropertyGridItem("DeviceObject", "..."))->SetID(nID);
    for (const char* pszItem : kIrpItems)
        pCategories->FindItem("IRP")->AddChildItem(new CGkPropertyGridItem(pszItem))->SetReadOnly(TRUE);
}

void ShowRecord(CGkPropertyGrid& grid, int nRecord) {
    CGkPropertyGridItems* pCategories = grid.GetCategories();
    for (const char* pszCategory : kCategories)
        pCategories->FindItem(pszCategory)->SetHidden(TRUE);
    CString strValue;
    strValue.Format("%d", nRecord);
    CGkPropertyGridItem* pEntry = pCategories->FindItem("Log Entry");
    pEntry->SetHidden(FALSE);
    for (const char* pszItem : kEntryItems)
        pEntry->GetChilds()->FindItem(pszItem)->SetValue(strValue);
    CGkPropertyGridItem* pTarget = pCategories->FindItem("Target");
    pTarget->SetHidden(FALSE);
    for (UINT nID = 5000; nID < 5004; ++nID)
        pTarget->GetChilds()->FindItem(nID)->SetValue("0xFFFFA80012345678");
    CGkPropertyGridItem* pIrp = pCategories->FindItem("IRP");
    pIrp->SetHidden(FALSE);
    for (const char* pszItem : kIrpItems)
        pIrp->GetChilds()->FindItem(pszItem)->SetValue(strValue);
    CGkPropertyGridItem* pUrb = pCategories->FindItem("URB");
    pUrb->SetHidden(FALSE);
    pUrb->GetChilds()->Clear();
    CGkPropertyGridItem* pGroup = pUrb;
    for (int i = 0; i < kSectionItems; ++i) {
        CString strCaption;
        strCaption.Format("Field%d", i);
        CGkPropertyGridItem* pItem = pGroup->AddChildItem(new CGkPropertyGridItem(strCaption, strValue));
        pItem->SetReadOnly(TRUE);
        if (i % 8 == 0) {
            pItem->Expand();
            pGroup = pItem;
        }
    }
}

void BM_ShowRecord(benchmark::State& state) {
    CGkPropertyGrid grid;
    grid.SetTheme(6);
    BuildLogDetails(grid);
    int nRecord = 0;
    for (auto _ : state)
        ShowRecord(grid, ++nRecord);
    state.counters["records"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ShowRecord);

// Building the whole grid and freeing it with every item.
void BM_BuildAndClear(benchmark::State& state) {
    for (auto _ : state) {
        CGkPropertyGrid grid;
        BuildLogDetails(grid);
        ShowRecord(grid, 1);
        grid.ResetContent();
    }
    state.counters["grids"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildAndClear);

} // namespace
