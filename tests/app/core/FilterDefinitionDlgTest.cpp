// The filter dialog driven as a user drives it: clicks on its buttons, tabs and check boxes, typed names, and
// the message boxes it raises; what it stores in the registry and what it returns.
#include "app/ui/filterdialog/FilterDefinitionDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "NtControl.h"
#include "WinHtmlHelpControl.h"
#include "WinMachineProfile.h"
#include "WinResourceTable.h"
#include "WinUiControl.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/Resource.h"
#include "app/core/settings/RegSerialize.h"
#include "htmlhelp.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using Dlg = CFilterDefinitionDlg;

std::string Text(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}
std::string ItemText(HWND dialog, int id) {
    return Text(::GetDlgItem(dialog, id));
}
bool Enabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}
bool Visible(HWND dialog, int id) {
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}
bool Checked(HWND dialog, int id) {
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ClickButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << id;
    RECT r{};
    ::GetClientRect(button, &r);
    win32::Click(button, Centre(r));
    win32::PumpUiMessages();
    win32::AdvanceUiClock(1000); // no double-click with the next click
}

void ClickTab(HWND dialog, int index) {
    HWND tabs = ::GetDlgItem(dialog, IDC_FILTER_TABS);
    RECT r{};
    ::SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    win32::Click(tabs, Centre(r));
    win32::PumpUiMessages();
    win32::AdvanceUiClock(1000);
}

// Toggles an item's check box with a click on it.
void ClickCheck(CCheckListBox& list, int index) {
    CRect item;
    list.GetItemRect(index, &item);
    const CRect box = list.OnGetCheckPosition(item, CRect(item.left + 1, item.top + (item.Height() - 13) / 2,
                                                          item.left + 14, item.top + (item.Height() - 13) / 2 + 13));
    win32::Click(list.m_hWnd, Centre(box));
    win32::PumpUiMessages();
    win32::AdvanceUiClock(1000);
}

void SelectName(HWND dialog, const char* name) {
    HWND names = ::GetDlgItem(dialog, IDC_FILTER_NAMES);
    const auto index =
        ::SendMessageA(names, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    ASSERT_GE(index, 0) << name;
    RECT r{};
    ::SendMessageA(names, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    win32::Click(names, Centre(r));
    win32::PumpUiMessages();
    win32::AdvanceUiClock(1000);
}

std::vector<std::string> Names(HWND dialog) {
    HWND names = ::GetDlgItem(dialog, IDC_FILTER_NAMES);
    std::vector<std::string> result;
    for (LRESULT i = 0, n = ::SendMessageA(names, LB_GETCOUNT, 0, 0); i < n; ++i) {
        char text[256] = {};
        ::SendMessageA(names, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        result.push_back(text);
    }
    return result;
}

// The name prompt, answered with a typed name (OK) or cancelled.
void QueueNamePrompt(const std::string& name, bool ok = true) {
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [name, ok](const win32::ModalRequest&, HWND prompt) -> INT_PTR {
            HWND edit = ::GetDlgItem(prompt, IDC_FILTER_NAME);
            ::SetFocus(edit);
            win32::TypeText(edit, name);
            win32::PumpUiMessages();
            ClickButton(prompt, ok ? IDOK : IDCANCEL);
            return 0;
        },
        "Enter Filter Name");
}

std::vector<BYTE> Value(int mode, const char* name, DWORD* pType = nullptr) {
    HKEY key = nullptr;
    const std::string subKey = std::string("Software\\Vellumcrest\\Tindaloft\\") + Dlg::SubKeyName(mode);
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        size = 0;
    ::RegCloseKey(key);
    data.resize(size);
    if (pType)
        *pType = type;
    return data;
}

std::vector<BYTE> Block(const CFilterDefinition& d) {
    return {d.GetBlock().Bytes, d.GetBlock().Bytes + FILTER_BLOCK_SIZE};
}

// A definition given by its block's bytes.
void Store(int mode, const char* name, const std::vector<BYTE>& block) {
    CFilterDefinition copy;
    std::copy(block.begin(), block.end(), copy.GetBlock().Bytes);
    ASSERT_TRUE(mode == Dlg::Trigger ? RegSaveTrigger(&copy, name) : RegSaveFilter(&copy, name));
}

// A definition with one URB function (CONTROL_TRANSFER) in both phases and every gate open.
std::vector<BYTE> ControlTransfers() {
    CFilterDefinition d;
    for (size_t b : {FilterByte::UrbRequest, FilterByte::UrbCompletion, FilterByte::UrbFunctions + 8,
                     FilterByte::AcceptError, FilterByte::AcceptSuccess, FilterByte::AcceptIn, FilterByte::AcceptOut})
        d.Enable(b);
    return Block(d);
}
std::vector<BYTE> Empty() {
    return Block(CFilterDefinition());
}

win32::MachineProfile Release(DWORD major, DWORD minor) {
    win32::MachineProfile profile;
    profile.majorVersion = major;
    profile.minorVersion = minor;
    profile.buildNumber = major == 5 ? 2195 : 7601;
    return profile;
}

class FilterDialog : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        nt::ResetKernelState();
        RegisterAppResources();
        win32::RegisterHtmlHelpModule();
        win32::SetMachineProfile(Release(6, 1));
    }
    void TearDown() override {
        win32::ResetMachineProfile();
        win32::ClearResources();
        nt::ResetKernelState();
        UiTest::TearDown();
    }

    // Opens the dialog in the mode and runs `steps` on it; returns the dialog's result.
    INT_PTR Run(int mode, BOOL live, BOOL editing, std::function<void(Dlg&, HWND)> steps) {
        Dlg dialog(&m_definition, live, editing);
        dialog.m_nMode = mode;
        win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND window) -> INT_PTR {
            steps(dialog, window);
            return IDCANCEL;
        });
        const INT_PTR result = dialog.DoModal();
        m_modeAfter = dialog.m_nMode;
        return result;
    }
    CCheckListBox& List(Dlg& dialog, int page) { return *dialog.GetPage(page)->GetList(); }

    CWinApp m_app{"Tindaloft"};
    CFilterDefinition m_definition;
    int m_modeAfter = -1;
};

TEST_F(FilterDialog, OpensByModeLiveAndEditingFlags) {
    for (int mode = 0; mode < 3; ++mode)
        for (BOOL live : {FALSE, TRUE})
            for (BOOL editing : {FALSE, TRUE}) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " live " << live << " editing " << editing);
                nt::ResetKernelState();
                Store(mode, Dlg::CurrentName(mode), ControlTransfers());
                m_definition.Clear();
                Run(mode, live, editing, [&](Dlg& dialog, HWND dlg) {
                    const bool trigger = mode == Dlg::Trigger;
                    EXPECT_EQ(Text(dlg), trigger ? "Define Trigger" : "Define Filter");
                    EXPECT_EQ(ItemText(dlg, IDC_FILTER_CURRENT_LABEL),
                              trigger ? "Current Trigger:" : "Current Filter:");
                    EXPECT_EQ(ItemText(dlg, IDC_FILTER_DEFINED_LABEL),
                              trigger ? "Defined triggers:" : "Defined filters:");
                    EXPECT_EQ(ItemText(dlg, IDC_FILTER_CLEAR), trigger ? "&Clear Trigger" : "&Clear Filter");
                    EXPECT_EQ(Visible(dlg, IDC_FILTER_APPLY_BUFFER), !trigger);
                    const bool captureFirst = trigger || (live && editing && mode == Dlg::CaptureFilter);
                    EXPECT_EQ(LOWORD(::SendMessageA(dlg, DM_GETDEFID, 0, 0)),
                              captureFirst ? IDC_FILTER_APPLY_CAPTURE : IDC_FILTER_APPLY_BUFFER);
                    EXPECT_EQ(Enabled(dlg, IDC_FILTER_APPLY_CAPTURE), live && !(editing && mode == Dlg::BufferFilter));
                    EXPECT_EQ(Enabled(dlg, IDC_FILTER_APPLY_BUFFER), !(live && editing && mode == Dlg::CaptureFilter));
                    EXPECT_TRUE(Enabled(dlg, IDC_FILTER_NEW));
                    EXPECT_TRUE(Enabled(dlg, IDC_FILTER_SAVE));
                    EXPECT_FALSE(Enabled(dlg, IDC_FILTER_SAVE_AS));
                    EXPECT_TRUE(Checked(dlg, IDC_FILTER_STARTED_COMPLETED));
                    EXPECT_TRUE(Checked(dlg, IDC_FILTER_SUCCESS_ERROR));
                    EXPECT_TRUE(Checked(dlg, IDC_FILTER_INPUT_OUTPUT));
                    EXPECT_EQ(dialog.GetPageCount(), 8);
                    EXPECT_EQ(::SendMessageA(::GetDlgItem(dlg, IDC_FILTER_TABS), TCM_GETITEMCOUNT, 0, 0), 8);
                    EXPECT_EQ(ItemText(dlg, IDC_FILTER_PAGE_TITLE), "Selection of USB Request Blocks");
                    EXPECT_TRUE(Visible(dlg, IDC_FILTER_FIRST_LIST));
                    EXPECT_FALSE(Visible(dlg, IDC_FILTER_SPARE_LIST));
                    if (editing) {
                        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), Dlg::CurrentName(mode));
                        EXPECT_EQ(List(dialog, 0).GetCheck(8), BST_CHECKED);
                        EXPECT_TRUE(Enabled(dlg, IDC_FILTER_LOAD));
                        char selected[64] = {};
                        HWND names = ::GetDlgItem(dlg, IDC_FILTER_NAMES);
                        ::SendMessageA(names, LB_GETTEXT, ::SendMessageA(names, LB_GETCURSEL, 0, 0),
                                       reinterpret_cast<LPARAM>(selected));
                        EXPECT_STREQ(selected, Dlg::CurrentName(mode));
                    } else {
                        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "");
                        EXPECT_EQ(List(dialog, 0).GetCheck(8), BST_UNCHECKED);
                        EXPECT_FALSE(Enabled(dlg, IDC_FILTER_LOAD));
                        EXPECT_FALSE(Enabled(dlg, IDC_FILTER_REMOVE));
                    }
                    ::EndDialog(dlg, IDCANCEL);
                });
            }
}

TEST_F(FilterDialog, TabsShowOnePageAtATimeAndWindows2000HasNoHubInterfacePage) {
    Run(Dlg::CaptureFilter, TRUE, FALSE, [&](Dlg&, HWND dlg) {
        ClickTab(dlg, 1);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_PAGE_TITLE), "Selection of Hub Interface functions");
        EXPECT_TRUE(Visible(dlg, 1267));
        EXPECT_FALSE(Visible(dlg, IDC_FILTER_FIRST_LIST));
        ClickTab(dlg, 7);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_PAGE_TITLE), "Selection of Power Irps");
        EXPECT_TRUE(Visible(dlg, 1274));
        EXPECT_FALSE(Visible(dlg, 1267));
        ::EndDialog(dlg, IDCANCEL);
    });
    win32::SetMachineProfile(Release(5, 0));
    Run(Dlg::CaptureFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
        EXPECT_EQ(dialog.GetPageCount(), 7);
        EXPECT_EQ(::SendMessageA(::GetDlgItem(dlg, IDC_FILTER_TABS), TCM_GETITEMCOUNT, 0, 0), 7);
        ClickTab(dlg, 1);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_PAGE_TITLE), "Selection of USB Internal Ioctls");
        EXPECT_FALSE(Visible(dlg, 1267));
        ::EndDialog(dlg, IDCANCEL);
    });
}

TEST_F(FilterDialog, ApplyingNothingSaysSoAndTheDialogStays) {
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Select some events before enabling this filter");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Select some events before enabling this filter");
    const INT_PTR result = Run(Dlg::CaptureFilter, TRUE, FALSE, [&](Dlg&, HWND dlg) {
        ClickButton(dlg, IDC_FILTER_APPLY_BUFFER);
        ClickButton(dlg, IDC_FILTER_APPLY_CAPTURE);
        EXPECT_TRUE(::IsWindow(dlg));
        ::EndDialog(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(Value(Dlg::CaptureFilter, "CurCaptureFilter").empty());
}

TEST_F(FilterDialog, ApplyStoresTheCurrentDefinitionAndForgetsThePrevious) {
    Store(Dlg::BufferFilter, "LastBufferFilter", Empty());
    const INT_PTR toBuffer = Run(Dlg::BufferFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
        ClickCheck(List(dialog, 0), 8);
        ClickButton(dlg, IDC_FILTER_APPLY_BUFFER);
    });
    EXPECT_EQ(toBuffer, IDOK);
    EXPECT_EQ(Block(m_definition), ControlTransfers());
    DWORD type = 0;
    EXPECT_EQ(Value(Dlg::BufferFilter, "CurBufferFilter", &type), ControlTransfers());
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_TRUE(Value(Dlg::BufferFilter, "LastBufferFilter").empty());

    // From the buffer filter's dialog to the next capture: stored as the capture filter.
    m_definition.Clear();
    const INT_PTR toCapture = Run(Dlg::BufferFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
        ClickTab(dlg, 7);
        ClickCheck(List(dialog, 7), 2);
        ClickButton(dlg, IDC_FILTER_COMPLETED);
        ClickButton(dlg, IDC_FILTER_APPLY_CAPTURE);
    });
    EXPECT_EQ(toCapture, Dlg::ApplyToNextCapture);
    EXPECT_EQ(m_modeAfter, Dlg::CaptureFilter);
    CFilterDefinition expected;
    for (size_t b : {FilterByte::PowerCompletion, FilterByte::PowerMinors + 2, FilterByte::AcceptError,
                     FilterByte::AcceptSuccess, FilterByte::AcceptIn, FilterByte::AcceptOut})
        expected.Enable(b);
    EXPECT_EQ(Value(Dlg::CaptureFilter, "CurCaptureFilter"), Block(expected));
}

TEST_F(FilterDialog, ClearEscapeAndCloseMakeTheDefinitionThePreviousOne) {
    const std::function<void(Dlg&, HWND)> ways[] = {
        [](Dlg&, HWND dlg) { ClickButton(dlg, IDC_FILTER_CLEAR); },
        // Escape reaches the dialog as a press of button 2, which is Load: it cancels all the same. (With
        // Load disabled the dialog manager drops the key, so a name is selected first.)
        [](Dlg&, HWND dlg) {
            SelectName(dlg, "Hubs");
            win32::KeyDown(dlg, VK_ESCAPE);
            win32::PumpUiMessages();
            win32::KeyUp(dlg, VK_ESCAPE);
            win32::PumpUiMessages();
        },
        [](Dlg&, HWND dlg) { ::SendMessageA(dlg, WM_CLOSE, 0, 0); },
    };
    for (int mode : {Dlg::CaptureFilter, Dlg::Trigger})
        for (size_t way = 0; way < std::size(ways); ++way) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " way " << way);
            nt::ResetKernelState();
            Store(mode, Dlg::CurrentName(mode), ControlTransfers());
            Store(mode, "Hubs", Empty());
            // The definition the caller has in force moves, as it is: what the pages show is dropped.
            const std::vector<BYTE> inForce = ControlTransfers();
            std::copy(inForce.begin(), inForce.end(), m_definition.GetBlock().Bytes);
            EXPECT_EQ(Run(mode, TRUE, FALSE,
                          [&](Dlg& dialog, HWND dlg) {
                              ClickCheck(List(dialog, 0), 0);
                              ways[way](dialog, dlg);
                          }),
                      IDCANCEL);
            EXPECT_TRUE(Value(mode, Dlg::CurrentName(mode)).empty());
            EXPECT_EQ(Value(mode, Dlg::PreviousName(mode)), inForce);
        }
}

TEST_F(FilterDialog, ClosingTheDefinitionInForceKeepsItInForceAndStoresNothing) {
    const struct {
        int mode;
        INT_PTR result;
    } cases[] = {{Dlg::CaptureFilter, Dlg::ApplyToNextCapture},
                 {Dlg::BufferFilter, IDOK},
                 {Dlg::Trigger, Dlg::ApplyToNextCapture}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        nt::ResetKernelState();
        Store(c.mode, Dlg::CurrentName(c.mode), ControlTransfers());
        EXPECT_EQ(Run(c.mode, TRUE, TRUE, [](Dlg&, HWND dlg) { ::SendMessageA(dlg, WM_CLOSE, 0, 0); }), c.result);
        EXPECT_EQ(Value(c.mode, Dlg::CurrentName(c.mode)), ControlTransfers());
        EXPECT_TRUE(Value(c.mode, Dlg::PreviousName(c.mode)).empty());
        EXPECT_EQ(Block(m_definition), ControlTransfers());
    }
}

TEST_F(FilterDialog, NamedDefinitionsAreSavedLoadedAndRemoved) {
    Store(Dlg::CaptureFilter, "Hubs", Empty());
    Run(Dlg::CaptureFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
        EXPECT_EQ(Names(dlg), std::vector<std::string>{"Hubs"});
        // Save without a name asks; an empty name is a cancel and stores nothing.
        QueueNamePrompt("");
        ClickButton(dlg, IDC_FILTER_SAVE);
        EXPECT_EQ(Names(dlg), std::vector<std::string>{"Hubs"});

        ClickCheck(List(dialog, 0), 8);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "*");
        QueueNamePrompt("Control");
        ClickButton(dlg, IDC_FILTER_SAVE);
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"Hubs", "Control"}));
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "Control");
        EXPECT_EQ(Value(Dlg::CaptureFilter, "Control"), ControlTransfers());

        // A change marks the name; Save replaces the value without asking.
        ClickButton(dlg, IDC_FILTER_ERROR);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "Control*");
        EXPECT_TRUE(Enabled(dlg, IDC_FILTER_SAVE_AS));
        ClickButton(dlg, IDC_FILTER_SAVE);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "Control");
        std::vector<BYTE> errorsOnly = ControlTransfers();
        errorsOnly[FilterByte::AcceptSuccess] = 0;
        EXPECT_EQ(Value(Dlg::CaptureFilter, "Control"), errorsOnly);

        // Save As under a new name, then Load the empty one and Remove it.
        QueueNamePrompt("Control errors");
        ClickButton(dlg, IDC_FILTER_SAVE_AS);
        EXPECT_EQ(Names(dlg).size(), 3u);
        EXPECT_EQ(Value(Dlg::CaptureFilter, "Control errors"), errorsOnly);

        SelectName(dlg, "Hubs");
        EXPECT_TRUE(Enabled(dlg, IDC_FILTER_LOAD));
        ClickButton(dlg, IDC_FILTER_LOAD);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "Hubs");
        EXPECT_EQ(List(dialog, 0).GetCheck(8), BST_UNCHECKED);
        // Neither status byte set: no button of the group is on.
        EXPECT_FALSE(Checked(dlg, IDC_FILTER_SUCCESS) || Checked(dlg, IDC_FILTER_ERROR) ||
                     Checked(dlg, IDC_FILTER_SUCCESS_ERROR));

        SelectName(dlg, "Control errors");
        ClickButton(dlg, IDC_FILTER_LOAD);
        EXPECT_EQ(List(dialog, 0).GetCheck(8), BST_CHECKED);
        EXPECT_TRUE(Checked(dlg, IDC_FILTER_ERROR));
        EXPECT_TRUE(Checked(dlg, IDC_FILTER_INPUT_OUTPUT));
        EXPECT_TRUE(Checked(dlg, IDC_FILTER_STARTED_COMPLETED));

        SelectName(dlg, "Hubs");
        ClickButton(dlg, IDC_FILTER_REMOVE);
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"Control", "Control errors"}));
        EXPECT_TRUE(Value(Dlg::CaptureFilter, "Hubs").empty());
        EXPECT_FALSE(Enabled(dlg, IDC_FILTER_LOAD));

        // Nothing is current after a removal: Save asks again, and the prompt takes 64 characters at most.
        QueueNamePrompt(std::string(70, 'x'));
        ClickButton(dlg, IDC_FILTER_SAVE);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), std::string(64, 'x'));
        EXPECT_EQ(Value(Dlg::CaptureFilter, std::string(64, 'x').c_str()), errorsOnly);

        // New: the visible page is cleared and no entry is current.
        ClickButton(dlg, IDC_FILTER_NEW);
        EXPECT_EQ(List(dialog, 0).GetCheck(8), BST_UNCHECKED);
        EXPECT_EQ(ItemText(dlg, IDC_FILTER_NAME), "");
        EXPECT_FALSE(Enabled(dlg, IDC_FILTER_SAVE_AS));
        ::EndDialog(dlg, IDCANCEL);
    });
}

TEST_F(FilterDialog, RadioGroupsFollowTheGateBytes) {
    const struct {
        UINT button;
        size_t first, second; // bytes the button sets
    } cases[] = {
        {IDC_FILTER_SUCCESS, FilterByte::AcceptSuccess, FilterByte::AcceptSuccess},
        {IDC_FILTER_ERROR, FilterByte::AcceptError, FilterByte::AcceptError},
        {IDC_FILTER_SUCCESS_ERROR, FilterByte::AcceptSuccess, FilterByte::AcceptError},
        {IDC_FILTER_INPUT, FilterByte::AcceptIn, FilterByte::AcceptIn},
        {IDC_FILTER_OUTPUT, FilterByte::AcceptOut, FilterByte::AcceptOut},
        {IDC_FILTER_INPUT_OUTPUT, FilterByte::AcceptIn, FilterByte::AcceptOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        nt::ResetKernelState();
        m_definition.Clear();
        Run(Dlg::BufferFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
            ClickCheck(List(dialog, 0), 0);
            ClickButton(dlg, static_cast<int>(c.button));
            ClickButton(dlg, IDC_FILTER_APPLY_BUFFER);
        });
        const bool status = c.first == FilterByte::AcceptSuccess || c.first == FilterByte::AcceptError;
        for (size_t b :
             {FilterByte::AcceptError, FilterByte::AcceptSuccess, FilterByte::AcceptIn, FilterByte::AcceptOut}) {
            const bool inGroup = status == (b == FilterByte::AcceptError || b == FilterByte::AcceptSuccess);
            const bool expected = !inGroup || b == c.first || b == c.second;
            EXPECT_EQ(m_definition.IsEnabled(b) != FALSE, expected) << "byte " << b;
        }
        // Shown again from the stored definition, the same button is on.
        Run(Dlg::BufferFilter, TRUE, TRUE, [&](Dlg&, HWND dlg) {
            EXPECT_TRUE(Checked(dlg, static_cast<int>(c.button)));
            ::EndDialog(dlg, IDCANCEL);
        });
    }
}

TEST_F(FilterDialog, HelpAsksForTheModesTopicAndShowsAHelpError) {
    Run(Dlg::CaptureFilter, TRUE, FALSE, [](Dlg&, HWND dlg) {
        ClickButton(dlg, IDC_FILTER_HELP);
        ::EndDialog(dlg, IDCANCEL);
    });
    win32::SetHtmlHelpLastError(E_FAIL, u"The help file is damaged.");
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Help Error");
    Run(Dlg::Trigger, TRUE, FALSE, [](Dlg&, HWND dlg) {
        ClickButton(dlg, IDC_FILTER_HELP);
        ::EndDialog(dlg, IDCANCEL);
    });
    std::vector<DWORD_PTR> topics;
    for (const win32::HtmlHelpCall& call : win32::HtmlHelpCalls())
        if (call.command == HH_HELP_CONTEXT)
            topics.push_back(call.data);
    EXPECT_EQ(topics, (std::vector<DWORD_PTR>{18, 20}));
    bool shown = false;
    for (const win32::ModalRequest& r : win32::ModalRequests())
        if (r.kind == win32::ModalKind::MessageBox && r.caption == "Help Error")
            shown = r.text == "The help file is damaged.";
    EXPECT_TRUE(shown);
}

TEST_F(FilterDialog, APictureOfTheUrbPage) {
    Store(Dlg::CaptureFilter, "Control", ControlTransfers());
    Run(Dlg::CaptureFilter, TRUE, FALSE, [&](Dlg& dialog, HWND dlg) {
        ClickCheck(List(dialog, 0), 8);
        ClickCheck(List(dialog, 0), 9);
        EXPECT_TRUE(tdl::test::SavePicture(dlg, "filter-dialog.png"));
        ::EndDialog(dlg, IDCANCEL);
    });
}

} // namespace
