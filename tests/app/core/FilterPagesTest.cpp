// The filter pages over a real check-list box: their items and when each is offered on four Windows
// releases, and how their checks move in and out of a filter block.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "WinMachineProfile.h"
#include "afxwin.h"
#include "app/ui/filterdialog/FilterPages.h"
#include "tests/support/UiFixture.h"

namespace {
using tdl::test::TestWindow;
using tdl::test::UiTest;

using PageFactory = std::function<std::unique_ptr<CCheckListPage>(CCheckListBox*, const COSVersion&)>;
template <class Page> PageFactory Make() {
    return [](CCheckListBox* list, const COSVersion& os) { return std::make_unique<Page>(list, os); };
}

struct PageCase {
    const char* name;
    PageFactory make;
    int count;
    std::vector<std::pair<int, const char*>> texts; // a few items by index
};

const std::vector<PageCase>& Pages() {
    static const std::vector<PageCase> pages = {
        {"URBs",
         Make<CUrbPage>(),
         57,
         {{0, "SELECT_CONFIGURATION"}, {22, "RESERVED_0X0016"}, {47, "RESERVED_0X002F"}, {56, "GET_ENDPOINT_STATE"}}},
        {"IHub",
         Make<CIHubPage>(),
         36,
         {{0, "CreateUsbDevice"}, {15, "SetDeviceHandleData"}, {35, "SetDeviceErrataFlag"}}},
        {"USBInt",
         Make<CUSBIntPage>(),
         23,
         {{0, "SUBMIT_URB"}, {10, "RECORD_FAILURE"}, {22, "USB_GET_DEVICE_CONFIG_INFO"}}},
        {"Hub", Make<CHubIoctlPage>(), 13, {{0, " GET_NODE_INFORMATION"}, {12, " GET_HUB_CAPABILITIES_EX"}}},
        {"HCD", Make<CHCDIoctlPage>(), 9, {{0, "GET_STATS_1"}, {8, "USER_REQUEST"}}},
        {"HID",
         Make<CHIDIoctlPage>(),
         22,
         {{0, "GET_DRIVER_CONFIG"}, {13, "GET_FEATURE"}, {21, "GET_MS_GENRE_DESCRIPTOR"}}},
        {"PnP", Make<CPnpIrpPage>(), 2, {{0, "START_DEVICE"}, {1, "REMOVE_DEVICE"}}},
        {"Power", Make<CPowerIrpPage>(), 4, {{0, "WAIT_WAKE"}, {3, "QUERY_POWER"}}},
    };
    return pages;
}

win32::MachineProfile Release(DWORD major, DWORD minor, DWORD build) {
    win32::MachineProfile profile;
    profile.majorVersion = major;
    profile.minorVersion = minor;
    profile.buildNumber = build;
    return profile;
}

class FilterPages : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS | LBS_OWNERDRAWFIXED, CRect(0, 0, 300, 400),
                      CWnd::FromHandle(m_parent), 1265);
    }
    void TearDown() override {
        m_list.DestroyWindow();
        win32::ResetMachineProfile();
        UiTest::TearDown();
    }
    std::unique_ptr<CCheckListPage> Open(const PageCase& page) {
        auto result = page.make(&m_list, m_os);
        result->InitList();
        return result;
    }
    void OnRelease(DWORD major, DWORD minor, DWORD build) {
        win32::SetMachineProfile(Release(major, minor, build));
        m_os.Describe();
    }
    std::vector<bool> Checks() const {
        std::vector<bool> checks;
        for (int i = 0; i < m_list.GetCount(); ++i)
            checks.push_back(m_list.GetCheck(i) == BST_CHECKED);
        return checks;
    }

    CWinApp m_app{"Tindaloft"};
    TestWindow m_parent{WS_OVERLAPPEDWINDOW, nullptr, {CW_USEDEFAULT, 0, 400, 500}};
    CCheckListBox m_list;
    COSVersion m_os;
};

TEST_F(FilterPages, ListTheirItemsAndOwnOneByteEach) {
    std::set<size_t> owned;
    for (const PageCase& page : Pages()) {
        SCOPED_TRACE(page.name);
        auto p = Open(page);
        EXPECT_STREQ(p->GetTitle(), page.name);
        ASSERT_EQ(m_list.GetCount(), page.count);
        ASSERT_EQ(p->GetItemBytes().size(), static_cast<size_t>(page.count));
        for (const auto& [index, text] : page.texts) {
            CString item;
            p->GetItemText(index, item);
            EXPECT_EQ(std::string(item), text) << index;
        }
        for (size_t offset : p->GetItemBytes()) {
            EXPECT_TRUE(owned.insert(offset).second) << "byte " << offset << " owned twice";
            EXPECT_GE(offset, 4u);
            EXPECT_LT(offset, FilterByte::AcceptError);
        }
    }
}

TEST_F(FilterPages, OfferEachItemOnlyWhereTheSystemHasIt) {
    struct Case {
        const char* page;
        int index;
        bool w2000, xp, w7, w8;
    };
    const Case cases[] = {
        {"URBs", 0, true, true, true, true},       {"URBs", 22, false, false, false, false},
        {"URBs", 43, false, false, false, false},  {"URBs", 50, false, false, true, true},
        {"URBs", 53, false, false, false, true},   {"URBs", 56, false, false, false, true},
        {"IHub", 0, true, true, false, false},     {"IHub", 1, true, true, false, false},
        {"IHub", 2, true, true, true, true},       {"IHub", 16, false, false, true, true},
        {"IHub", 30, false, false, true, true},    {"IHub", 31, false, false, false, true},
        {"USBInt", 0, false, false, false, false}, {"USBInt", 2, false, false, false, false},
        {"USBInt", 10, false, false, true, true},  {"USBInt", 15, true, true, true, true},
        {"Hub", 11, false, false, true, true},     {"Hub", 10, true, true, true, true},
        {"HID", 21, true, true, true, true},
    };
    const struct { DWORD major, minor, build; } releases[] = {{5, 0, 2195}, {5, 1, 2600}, {6, 1, 7601}, {6, 2, 9200}};
    for (int r = 0; r < 4; ++r) {
        OnRelease(releases[r].major, releases[r].minor, releases[r].build);
        for (const Case& c : cases) {
            const bool expected[] = {c.w2000, c.xp, c.w7, c.w8};
            for (const PageCase& page : Pages()) {
                if (std::string(page.name) != c.page)
                    continue;
                auto p = Open(page);
                EXPECT_EQ(m_list.IsEnabled(c.index) != FALSE, expected[r])
                    << c.page << " item " << c.index << " on " << releases[r].major << "." << releases[r].minor;
            }
        }
    }
}

TEST_F(FilterPages, SaveThenLoadRestoresTheChecksAndLeavesOtherBytesAlone) {
    OnRelease(6, 2, 9200);
    for (const PageCase& page : Pages()) {
        SCOPED_TRACE(page.name);
        auto p = Open(page);
        // Every third item, so neighbouring bytes differ and a shifted map shows.
        for (int i = 0; i < m_list.GetCount(); ++i)
            m_list.SetCheck(i, (i % 3 == 1) && m_list.IsEnabled(i) ? BST_CHECKED : BST_UNCHECKED);
        const std::vector<bool> saved = Checks();

        CFilterDefinition definition;
        for (size_t b = 2; b < FILTER_BLOCK_SIZE; ++b)
            definition.GetBlock().Bytes[b] = 7;
        p->SaveToFilter(definition);
        const std::set<size_t> mine(p->GetItemBytes().begin(), p->GetItemBytes().end());
        for (size_t b = 2; b < FILTER_BLOCK_SIZE; ++b)
            if (!mine.count(b))
                EXPECT_EQ(definition.GetBlock().Bytes[b], 7) << "byte " << b << " is not the page's";
        for (size_t i = 0; i < p->GetItemBytes().size(); ++i)
            EXPECT_EQ(definition.GetBlock().Bytes[p->GetItemBytes()[i]], saved[i] ? 1 : 0) << "item " << i;

        p->UncheckAll();
        p->LoadFromFilter(definition);
        EXPECT_EQ(Checks(), saved);
    }
}

TEST_F(FilterPages, ACheckedDisabledItemSavesZeroAndSelectAllSkipsIt) {
    OnRelease(5, 1, 2600);
    auto p = Open(Pages()[0]);
    p->CheckAll();
    EXPECT_EQ(m_list.GetCheck(22), BST_UNCHECKED);
    EXPECT_EQ(m_list.GetCheck(21), BST_CHECKED);
    m_list.SetCheck(22, BST_CHECKED); // the program may still check it
    m_list.SetCheck(50, BST_CHECKED); // a Windows 7 item on XP
    CFilterDefinition definition;
    p->SaveToFilter(definition);
    EXPECT_EQ(definition.GetBlock().Bytes[FilterByte::UrbFunctions + 22], 0);
    EXPECT_EQ(definition.GetBlock().Bytes[FilterByte::UrbFunctions + 50], 0);
    EXPECT_EQ(definition.GetBlock().Bytes[FilterByte::UrbFunctions + 21], 1);
    p->UncheckAll();
    EXPECT_EQ(m_list.GetCheck(21), BST_UNCHECKED);
}

TEST_F(FilterPages, PhaseBytesFollowTheSelection) {
    OnRelease(6, 1, 7601);
    std::vector<std::unique_ptr<CCheckListPage>> pages;
    CFilterDefinition definition;
    for (const PageCase& page : Pages()) {
        auto p = Open(page);
        // An empty page clears both phase bytes whatever it is asked to set.
        p->SetPhaseEnables(definition, TRUE, TRUE);
        EXPECT_FALSE(p->UpdatePhaseEnables(definition, TRUE, TRUE)) << page.name;
        BOOL request = FALSE, completion = FALSE;
        EXPECT_FALSE(p->MergePhaseEnables(definition, request, completion));
        EXPECT_FALSE(completion);
        pages.push_back(std::move(p));
    }
    // One HID code with the request phase only, one power code with the completion phase only: the merge
    // over all pages gives both.
    definition.Enable(FilterByte::HidBuffered + 3);
    EXPECT_TRUE(pages[5]->UpdatePhaseEnables(definition, TRUE, FALSE));
    definition.Enable(FilterByte::PowerMinors + 2);
    EXPECT_TRUE(pages[7]->UpdatePhaseEnables(definition, FALSE, TRUE));
    EXPECT_EQ(definition.GetBlock().Bytes[FilterByte::HidRequest], 1);
    EXPECT_EQ(definition.GetBlock().Bytes[FilterByte::HidCompletion], 0);
    BOOL request = FALSE, completion = FALSE;
    for (auto& p : pages)
        p->MergePhaseEnables(definition, request, completion);
    EXPECT_TRUE(request);
    EXPECT_TRUE(completion);
    // A page merges without clearing what another set.
    request = TRUE;
    completion = FALSE;
    EXPECT_TRUE(pages[0]->MergePhaseEnables(definition, request, completion));
    EXPECT_FALSE(completion);
}

} // namespace
