// The Options dialog driven as a user drives it: the option tree it shows for a set of settings, clicks on its
// items, its tips, its buttons and the question a changed Continuous Logging asks; what OK writes into the
// settings.
#include "app/ui/dialogs/OptionTreeDlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "WinHtmlHelpControl.h"
#include "WinMachineProfile.h"
#include "WinUiControl.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/find/FindOptionsIds.h"
#include "htmlhelp.h"
#include "tests/support/AppStarter.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

constexpr char kQuestion[] = "Changing the Continuous Logging option requires clearing the current capture buffer.";

win32::MachineProfile Release(DWORD major, DWORD minor) {
    win32::MachineProfile profile;
    profile.majorVersion = major;
    profile.minorVersion = minor;
    profile.buildNumber = major == 5 ? 2195 : 7601;
    return profile;
}

// Settings whose every option differs from its neighbour's, so that a switched row shows.
void Mix(CAppSettings& s) {
    s.ContinuousLogging = true;
    s.HideDTOnLogging = true;
    s.IndependentHtmlHelp = true;
    s.AutoEnable = true;
    s.CaptureBulk = true;
    s.BulkMaxSize = 3;
    s.CtrlMaxSize = 7;
    s.CaptureIsoch = true;
    s.IsochMaxSize = 1;
    s.CaptureUrbs = true;
    s.CaptureHubInterface = true;
    s.CaptureHubIoctl = true;
    s.CaptureHidIoctl = true;
    s.CapturePower = true;
    s.CaptureHidIntern = true;
    s.EnableMiniportHook = true;
    s.CaptureUsbportHook = true;
    s.MemlogFlags = 0x30;
}

// Every field of the settings, to compare two of them whole.
std::vector<DWORD> Fields(const CAppSettings& s) {
    return {s.CaptureOnceOnBoot, s.EnableMiniportHook,  s.MemlogFlags,        s.AutoEnable,        s.CaptureBulk,
            s.BulkMaxSize,       s.CaptureCtrl,         s.CtrlMaxSize,        s.CaptureIsoch,      s.IsochMaxSize,
            s.CaptureUrbs,       s.CaptureHubInterface, s.CaptureUsbportHook, s.CaptureUsbIntern,  s.CaptureHubIoctl,
            s.CaptureHcdIoctl,   s.CaptureHidIoctl,     s.CaptureHidIntern,   s.CapturePnp,        s.CapturePower,
            s.MaxLogBuffer,      s.DetailsFontSize,     s.HideDTOnLogging,    s.ContinuousLogging, s.BackgroundLogging,
            s.AutoCloseProgress, s.IndependentHtmlHelp, s.CheckForUpdate};
}

// The tree as a user reads it, one item a line, indented by depth: "[x]"/"[ ]" a check box, "(o)"/"( )" a radio
// button, "#n" a caption with image n; " locked" when a click cannot change it.
std::string Outline(COXOptionTreeCtrl& tree) {
    std::string text;
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
        for (; item != nullptr; item = tree.GetNextSiblingItem(item)) {
            text += std::string(2 * depth, ' ');
            int image = -1, selected = -1;
            tree.GetItemImage(item, image, selected);
            const int check = tree.GetItemCheck(item);
            if (image == OTI_CHECK_OFF || image == OTI_CHECK_ON)
                text += check == 1 ? "[x] " : "[ ] ";
            else if (image == OTI_RADIO_OFF || image == OTI_RADIO_ON)
                text += check == 1 ? "(o) " : "( ) ";
            else
                text += "#" + std::to_string(image) + " ";
            text += tree.GetItemText(item).GetString();
            if (tree.IsItemLocked(item))
                text += " locked";
            if (UINT id = tree.GetIdFromItem(item))
                text += " =" + std::to_string(id);
            text += "\n";
            walk(tree.GetChildItem(item), depth + 1);
        }
    };
    walk(tree.GetRootItem(), 0);
    return text;
}

// What the tree shows for Mixed(): ids and the lock of the larger log sizes.
std::string MixedOutline(bool hubInterface, bool readOnly) {
    const std::string lock = readOnly ? " locked" : "";
    std::string sizes[3];
    const int codes[3] = {3, 7, 1};
    const char* texts[7] = {"First 8 bytes",    "First 64 bytes",   "First 64 Kbytes",  "First 256 Kbytes",
                            "First 512 Kbytes", "First 768 Kbytes", "First 1024 Kbytes"};
    for (int kind = 0; kind < 3; ++kind)
        for (int i = 0; i < 7; ++i)
            sizes[kind] += std::string("    ") + (codes[kind] == i + 1 ? "(o) " : "( ) ") + texts[i] + lock + " =" +
                           std::to_string(1300 + 7 * kind + i) + "\n";
    return "#5 Application Settings\n"
           "  #4 Maximum Log File Size\n"
           "    (o) 256 Kbytes" +
           lock +
           " =999\n"
           "    ( ) 1 megabyte locked =1000\n"
           "    ( ) 5 megabytes locked =1001\n"
           "    ( ) 10 megabytes locked =1002\n"
           "    ( ) 50 megabytes locked =1003\n"
           "    ( ) 100 megabytes locked =1004\n"
           "  [x] Enable continuous logging" +
           lock +
           " =1225\n"
           "  [ ] Enable background logging" +
           lock +
           " =1226\n"
           "  [x] Hide Device Tree when Starting Capture" +
           lock +
           " =1213\n"
           "  [ ] Export progress dialog auto-closes on successful completion" +
           lock +
           " =1227\n"
           "  [x] Html Help (F1) is NOT top-most window" +
           lock +
           " =1240\n"
           "  [ ] Check for update at program startup" +
           lock +
           " =1242\n"
           "#5 Driver Settings\n"
           "  [x] Auto-enable logging of hot plugged devices" +
           lock +
           " =1200\n"
           "  [x] Capture Bulk/Interrupt Transfer Data" +
           lock + " =1201\n" + sizes[0] + "  [ ] Capture Control Transfer Data" + lock + " =1202\n" + sizes[1] +
           "  [x] Capture Isochronous Transfer Data" + lock + " =1203\n" + sizes[2] +
           "  #4 Logging Options\n"
           "    [x] Enable logging of URBs" +
           lock + " =1214\n" +
           (hubInterface ? "    [x] Enable logging of Hub Interface" + lock + " =1228\n" : std::string()) +
           "    [ ] Enable logging of USB Internal Ioctls" + lock +
           " =1215\n"
           "    [x] Enable logging of Hub User-mode Ioctls" +
           lock +
           " =1216\n"
           "    [ ] Enable logging of Host Controller User-mode Ioctls" +
           lock +
           " =1217\n"
           "    [x] Enable logging of HID User-mode Ioctls" +
           lock +
           " =1218\n"
           "    [ ] Enable logging of PnP Start/Remove Irps" +
           lock +
           " =1220\n"
           "    [x] Enable logging of Power Irps" +
           lock + " =1221\n";
}

class OptionsDialog : public tdl::test::UiTest {
protected:
    void SetUp() override {
        nt::ResetKernelState(); // before the fixture's virtual clock
        UiTest::SetUp();
        win32::RegisterHtmlHelpModule();
        UseRelease(6, 1);
    }
    void TearDown() override {
        m_starter.reset();
        win32::ResetMachineProfile();
        UiTest::TearDown();
        nt::ResetKernelState();
    }
    // The application describes the system it runs on as it starts.
    void UseRelease(DWORD major, DWORD minor) {
        m_starter.reset();
        win32::SetMachineProfile(Release(major, minor));
        m_starter = std::make_unique<apptest::AppStarter>();
        m_starter->Make();
    }

    // Opens the dialog on the settings and runs `steps` on it; returns the dialog's result.
    INT_PTR Run(CAppSettings& settings, BOOL live, BOOL logging,
                const std::function<void(COptionTreeDlg&, HWND)>& steps) {
        COptionTreeDlg dialog(&settings, live, logging);
        win32::QueueModalSteps(win32::ModalKind::Dialog, [&](const win32::ModalRequest&, HWND window) -> INT_PTR {
            steps(dialog, window);
            return IDCANCEL;
        });
        const INT_PTR result = dialog.DoModal();
        m_changed = dialog.m_bContinuousLoggingChanged;
        m_tipsAfter = dialog.GetTipCount();
        EXPECT_FALSE(dialog.m_bBufferSizeChanged);
        return result;
    }

    static void Click(COptionTreeDlg& dialog, UINT id) {
        COXOptionTreeCtrl& tree = dialog.GetTree();
        HTREEITEM item = tree.GetItemFromId(id);
        ASSERT_NE(item, nullptr) << id;
        tree.EnsureVisible(item);
        CRect label;
        tree.GetItemRect(item, &label, TRUE);
        win32::Click(tree.m_hWnd, label.CenterPoint());
        win32::PumpUiMessages();
        win32::AdvanceUiClock(1000); // no double-click with the next click
    }
    static void Press(HWND dialog, int id) {
        ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        win32::PumpUiMessages();
    }
    // The tip the tree asks its parent for.
    static std::string Tip(COptionTreeDlg& dialog, HTREEITEM item) {
        std::string buffer(INFOTIPSIZE, '\0');
        NMTVGETINFOTIPA tip{};
        tip.hdr.hwndFrom = dialog.GetTree().m_hWnd;
        tip.hdr.idFrom = IDC_OPTION_TREE;
        tip.hdr.code = static_cast<UINT>(TVN_GETINFOTIPA);
        tip.pszText = buffer.data();
        tip.cchTextMax = INFOTIPSIZE;
        tip.hItem = item;
        dialog.SendMessage(WM_NOTIFY, IDC_OPTION_TREE, reinterpret_cast<LPARAM>(&tip));
        return buffer.c_str();
    }
    static std::string Text(HWND window) {
        char text[256] = {};
        ::GetWindowTextA(window, text, sizeof text);
        return text;
    }

    std::unique_ptr<apptest::AppStarter> m_starter;
    BOOL m_changed = FALSE;
    INT_PTR m_tipsAfter = -1;
};

TEST_F(OptionsDialog, TheTreeShowsTheSettingsAndLocksAllWhenReadOnly) {
    const struct {
        const char* name;
        DWORD major, minor;
        BOOL live, logging;
        const char* title;
    } cases[] = {
        {"live capture", 6, 1, TRUE, FALSE, "Tindaloft Options"},
        {"live capture, Windows 2000", 5, 0, TRUE, FALSE, "Tindaloft Options"},
        {"saved log", 6, 1, FALSE, FALSE, "Tindaloft Options (used by log file)"},
        {"capturing", 6, 1, TRUE, TRUE, "Tindaloft Options (logging active)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UseRelease(c.major, c.minor);
        CAppSettings settings;
        Mix(settings);
        const bool readOnly = !c.live || c.logging;
        Run(settings, c.live, c.logging, [&](COptionTreeDlg& dialog, HWND window) {
            EXPECT_EQ(Text(window), c.title);
            EXPECT_EQ(dialog.IsReadOnly() != FALSE, readOnly);
            EXPECT_EQ(Outline(dialog.GetTree()), MixedOutline(c.major != 5, readOnly));
            ::EndDialog(window, IDCANCEL);
        });
    }
}

TEST_F(OptionsDialog, TheLogSizeItemNamesTheBufferOfTheSettings) {
    CAppSettings settings;
    Mix(settings);
    settings.MaxLogBuffer = 1 << 20; // a saved log made with a larger buffer
    Run(settings, FALSE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
        EXPECT_EQ(dialog.GetTree().GetItemText(dialog.GetTree().GetItemFromId(IDO_LOG_SIZE_BANK)), "1024 Kbytes");
        ::EndDialog(window, IDCANCEL);
    });
}

TEST_F(OptionsDialog, ReadOnlyItemsIgnoreClicksAndOkWritesNothing) {
    for (BOOL live : {FALSE, TRUE}) {
        SCOPED_TRACE(live);
        CAppSettings settings;
        Mix(settings);
        settings.MaxLogBuffer = 1 << 20;
        const std::vector<DWORD> before = Fields(settings);
        const INT_PTR result = Run(settings, live, live, [&](COptionTreeDlg& dialog, HWND window) {
            for (UINT id : {IDO_CONTINUOUS_LOGGING, IDO_AUTO_ENABLE, IDO_CAPTURE_URBS, IDO_BULK_SIZE_FIRST})
                Click(dialog, id);
            EXPECT_EQ(dialog.GetTree().GetCheck(IDO_CONTINUOUS_LOGGING), 1);
            EXPECT_EQ(dialog.GetTree().GetCheck(IDO_BULK_SIZE_FIRST), 0);
            Press(window, IDOK);
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(Fields(settings), before);
        EXPECT_FALSE(m_changed);
    }
}

TEST_F(OptionsDialog, TipsComeFromTheStringTable) {
    // A caption is known by its text, whatever its case.
    const struct {
        const char* caption;
        const char* tip;
    } captions[] = {
        {"APPLICATION SETTINGS", "Configuration options that control the Tindaloft application."},
        {"driver settings", "Configuration options that control the USB protocol analyzer driver."},
        {"Maximum Log File Size", "Specifies the maximum size of the captured log file.\nWhen the end of the file is "
                                  "reached, logging\nterminates unless continuous logging is enabled."},
        {"logging OPTIONS", "Logging options for the USB protocol analyzer driver."},
    };
    const struct {
        UINT id;
        const char* tip;
    } items[] = {
        {IDO_LOG_SIZE_1MB, "Log file holds up to 1 MByte of trace records"},
        {IDO_CAPTURE_HUB_INTERFACE, "Capture Hub interface calls to Usbport.sys"},
        {IDO_CONTINUOUS_LOGGING, "When max log size is reached, wrap back to beginning of log file."},
        {IDO_BULK_SIZE_FIRST, "Capture only the first 8 bytes of the data transfer."},
        {IDO_ISOCH_SIZE_FIRST + 6, "Capture up to 1024K bytes of the data transfer (multi-record)."},
    };
    CAppSettings settings;
    Mix(settings);
    for (BOOL logging : {FALSE, TRUE}) {
        SCOPED_TRACE(logging);
        Run(settings, TRUE, logging, [&](COptionTreeDlg& dialog, HWND window) {
            EXPECT_GT(dialog.GetTipCount(), 0);
            COXOptionTreeCtrl& tree = dialog.GetTree();
            HTREEITEM application = tree.GetRootItem();
            HTREEITEM driver = tree.GetNextSiblingItem(application);
            HTREEITEM captionItems[] = {application, driver, tree.GetChildItem(application),
                                        tree.GetItemFromId(IDO_CAPTURE_URBS)};
            captionItems[3] = tree.GetParentItem(captionItems[3]);
            for (size_t i = 0; i < std::size(captions); ++i) {
                tree.SetItemText(captionItems[i], captions[i].caption);
                EXPECT_EQ(Tip(dialog, captionItems[i]),
                          logging ? "Options are read-only while logging is active." : captions[i].tip)
                    << captions[i].caption;
            }
            for (const auto& item : items)
                EXPECT_EQ(Tip(dialog, tree.GetItemFromId(item.id)),
                          logging ? "Options are read-only while logging is active." : item.tip)
                    << item.id;
            // Each option's tip is its own string.
            for (UINT id : {IDO_CHECK_FOR_UPDATE, IDO_LOG_SIZE_100MB}) {
                CString own;
                ASSERT_TRUE(own.LoadString(id));
                EXPECT_EQ(Tip(dialog, tree.GetItemFromId(id)),
                          logging ? "Options are read-only while logging is active." : std::string(own.GetString()));
            }
            Press(window, logging ? IDOK : IDCANCEL);
        });
        EXPECT_EQ(m_tipsAfter, 0); // freed by OK and by Cancel
    }
}

TEST_F(OptionsDialog, AnItemsTipGoesWhenTheTreeScrollsItAway) {
    CAppSettings settings;
    Mix(settings);
    Run(settings, TRUE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
        COXOptionTreeCtrl& tree = dialog.GetTree();
        HTREEITEM item = tree.GetItemFromId(IDO_CONTINUOUS_LOGGING);
        tree.EnsureVisible(item);
        CRect label;
        tree.GetItemRect(item, &label, TRUE);
        win32::MouseMove(tree.m_hWnd, label.CenterPoint());
        win32::AdvanceUiClock(600);
        auto tip = reinterpret_cast<HWND>(tree.SendMessage(TVM_GETTOOLTIPS, 0, 0));
        ASSERT_NE(tip, nullptr);
        ASSERT_TRUE(::IsWindowVisible(tip));
        EXPECT_EQ(Text(tip), "When max log size is reached, wrap back to beginning of log file.");
        CRect around;
        ::GetWindowRect(window, &around);
        around.right += 200;
        around.bottom += 40;
        EXPECT_TRUE(tdl::test::SaveScreenPicture(around, "options_tip_shown.png"));
        // The wheel scrolls the item from under the resting mouse: its tip goes with it.
        tree.SetFocus();
        win32::MouseWheel(tree.m_hWnd, label.CenterPoint(), -WHEEL_DELTA);
        win32::PumpUiMessages();
        EXPECT_FALSE(::IsWindowVisible(tip));
        win32::AdvanceUiClock(1000);
        EXPECT_FALSE(::IsWindowVisible(tip));
        EXPECT_TRUE(tdl::test::SaveScreenPicture(around, "options_tip_scrolled.png"));
    });
}

TEST_F(OptionsDialog, OkStoresTheTreeInTheSettings) {
    CAppSettings settings;
    Mix(settings);
    settings.MaxLogBuffer = 1 << 20;
    settings.CtrlMaxSize = 0; // no radio shows it: it stays
    const INT_PTR result = Run(settings, TRUE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
        for (UINT id : {IDO_AUTO_ENABLE, IDO_BACKGROUND_LOGGING, IDO_HIDE_DEVICE_TREE, IDO_AUTO_CLOSE_PROGRESS,
                        IDO_INDEPENDENT_HELP, IDO_CHECK_FOR_UPDATE, IDO_CAPTURE_BULK, IDO_CAPTURE_CTRL,
                        IDO_CAPTURE_ISOCH, IDO_CAPTURE_URBS, IDO_CAPTURE_USB_INTERN, IDO_CAPTURE_HUB_IOCTL,
                        IDO_CAPTURE_HCD_IOCTL, IDO_CAPTURE_HID_IOCTL, IDO_CAPTURE_PNP, IDO_CAPTURE_POWER})
            Click(dialog, id);
        Click(dialog, IDO_BULK_SIZE_FIRST + 6);
        Click(dialog, IDO_ISOCH_SIZE_FIRST + 4);
        Click(dialog, IDO_LOG_SIZE_1MB); // locked: nothing
        EXPECT_EQ(dialog.GetTree().GetCheck(IDO_CAPTURE_HUB_INTERFACE), 1);
        Press(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    CAppSettings expected;
    Mix(expected);
    expected.AutoEnable = false;
    expected.BackgroundLogging = true;
    expected.HideDTOnLogging = false;
    expected.AutoCloseProgress = true;
    expected.IndependentHtmlHelp = false;
    expected.CheckForUpdate = true;
    expected.CaptureBulk = false;
    expected.BulkMaxSize = 7;
    expected.CaptureCtrl = true;
    expected.CtrlMaxSize = 0;
    expected.CaptureIsoch = false;
    expected.IsochMaxSize = 5;
    expected.CaptureUrbs = false;
    expected.CaptureHubInterface = false; // never captured, whatever the box says
    expected.CaptureUsbIntern = true;
    expected.CaptureHubIoctl = false;
    expected.CaptureHcdIoctl = true;
    expected.CaptureHidIoctl = false;
    expected.CapturePnp = true;
    expected.CapturePower = false;
    expected.MaxLogBuffer = 262144; // the only size
    EXPECT_EQ(Fields(settings), Fields(expected));
    EXPECT_FALSE(m_changed);
}

TEST_F(OptionsDialog, EverySizeRadioGivesItsCode) {
    for (UINT i = 0; i < IDO_SIZE_RADIO_COUNT; ++i) {
        SCOPED_TRACE(i);
        CAppSettings settings;
        Mix(settings);
        Run(settings, TRUE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
            Click(dialog, IDO_BULK_SIZE_FIRST + i);
            Click(dialog, IDO_CTRL_SIZE_FIRST + i);
            Click(dialog, IDO_ISOCH_SIZE_FIRST + i);
            Press(window, IDOK);
        });
        EXPECT_EQ(settings.BulkMaxSize, i + 1);
        EXPECT_EQ(settings.CtrlMaxSize, i + 1);
        EXPECT_EQ(settings.IsochMaxSize, i + 1);
    }
}

TEST_F(OptionsDialog, AChangedContinuousLoggingAsksFirst) {
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer);
        CAppSettings settings;
        Mix(settings);
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, answer, kQuestion);
        Run(settings, TRUE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
            Click(dialog, IDO_CONTINUOUS_LOGGING);
            Click(dialog, IDO_AUTO_ENABLE);
            Press(window, IDOK);
        });
        EXPECT_EQ(settings.ContinuousLogging, answer == IDNO);
        EXPECT_EQ(m_changed != FALSE, answer == IDYES);
        EXPECT_FALSE(settings.AutoEnable); // stored either way
        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].style & (MB_TYPEMASK | MB_ICONMASK), static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(boxes[0].text, std::string(kQuestion) + "\nSelecting Yes, will clear the current capture buffer.\n"
                                                          "Select No, if you want to save your capture data first.");
    }
    // Left as it was, it asks nothing.
    CAppSettings settings;
    Mix(settings);
    Run(settings, TRUE, FALSE, [&](COptionTreeDlg&, HWND window) { Press(window, IDOK); });
    EXPECT_TRUE(apptest::AppStarter::TakeBoxes().empty());
    EXPECT_TRUE(settings.ContinuousLogging);
}

TEST_F(OptionsDialog, HelpOpensItsTopic) {
    CAppSettings settings;
    Mix(settings);
    Run(settings, TRUE, FALSE, [&](COptionTreeDlg&, HWND window) {
        Press(window, IDC_OPTIONS_HELP);
        ::EndDialog(window, IDCANCEL);
    });
    const std::vector<win32::HtmlHelpCall> calls = win32::HtmlHelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
    EXPECT_EQ(calls[0].data, IDH_OPTIONS);
}

TEST_F(OptionsDialog, ThePictureShowsCaptionCheckAndRadioImages) {
    CAppSettings settings;
    Mix(settings);
    Run(settings, TRUE, FALSE, [&](COptionTreeDlg& dialog, HWND window) {
        COXOptionTreeCtrl& tree = dialog.GetTree();
        EXPECT_EQ(tree.GetNormalImageList().GetImageCount(), 6);
        EXPECT_EQ(tree.GetDarkImageList().GetImageCount(), 6);
        tdl::test::Picture picture(window, "options_dialog.png");
        ASSERT_TRUE(picture.IsValid());
        // Each item's image lies left of its label: the gear's blue, the page's green lines, a tick, a dot.
        auto imageOf = [&](HTREEITEM item) {
            CRect label;
            tree.GetItemRect(item, &label, TRUE);
            CRect image(label.left - 19, label.top, label.left - 1, label.bottom);
            tree.ClientToScreen(&image);
            ::ScreenToClient(window, reinterpret_cast<POINT*>(&image.left));
            ::ScreenToClient(window, reinterpret_cast<POINT*>(&image.right));
            return image;
        };
        auto count = [&](HTREEITEM item, COLORREF colour) {
            return picture.Count(imageOf(item), [colour](COLORREF c) { return c == colour; });
        };
        EXPECT_GT(count(tree.GetRootItem(), RGB(112, 148, 200)), 10);
        EXPECT_GT(count(tree.GetChildItem(tree.GetRootItem()), RGB(40, 110, 60)), 10);
        EXPECT_GT(count(tree.GetItemFromId(IDO_CONTINUOUS_LOGGING), RGB(0, 0, 0)), 5);
        EXPECT_GT(count(tree.GetItemFromId(IDO_LOG_SIZE_BANK), RGB(0, 0, 0)), 3);
        EXPECT_EQ(count(tree.GetItemFromId(IDO_BACKGROUND_LOGGING), RGB(0, 0, 0)), 0);
        ::EndDialog(window, IDCANCEL);
    });
}

} // namespace
