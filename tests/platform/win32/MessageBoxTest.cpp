// Message boxes through the modal request service.
#include <gtest/gtest.h>

#include "WinDisplayDriver.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class MessageBoxTest : public UiTest {};

struct BoxCase {
    UINT type;
    int answer; // queued; 0: none queued (the default answer, reported)
    int expected;
};

TEST_F(MessageBoxTest, ButtonsIconsAndAnswers) {
    const BoxCase cases[] = {
        {MB_OK | MB_ICONHAND, IDOK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONEXCLAMATION, IDNO, IDNO},
        {MB_YESNOCANCEL | MB_ICONASTERISK, IDCANCEL, IDCANCEL},
        {MB_RETRYCANCEL, IDRETRY, IDRETRY},
        {MB_ABORTRETRYIGNORE, IDIGNORE, IDIGNORE},
        {MB_CANCELTRYCONTINUE, IDCONTINUE, IDCONTINUE},
    };
    for (const BoxCase& c : cases) {
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, c.answer, "Question");
        EXPECT_EQ(MessageBoxA(nullptr, "Question?", "Tindaloft", c.type), c.expected) << std::hex << c.type;
    }
    auto requests = win32::ModalRequests();
    ASSERT_EQ(requests.size(), std::size(cases));
    EXPECT_EQ(requests[0].style, static_cast<UINT>(MB_OK | MB_ICONHAND));
    EXPECT_EQ(requests[0].caption, "Tindaloft");
    EXPECT_EQ(requests[0].text, "Question?");
    EXPECT_EQ(requests[0].thread, GetCurrentThreadId());
    EXPECT_TRUE(win32::UnexpectedModalRequests().empty());
}

TEST_F(MessageBoxTest, AnUnscriptedBoxTakesItsDefaultButtonAndIsReported) {
    win32::SetModalStrict(false); // reported, not failed, for this test
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", nullptr, MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", nullptr, MB_YESNO | MB_DEFBUTTON2), IDNO);
    auto unexpected = win32::UnexpectedModalRequests();
    ASSERT_EQ(unexpected.size(), 2u);
    EXPECT_EQ(unexpected[0].caption, "Error"); // a null caption
    EXPECT_FALSE(unexpected[0].expected);
}

TEST_F(MessageBoxTest, AnAnswerTheBoxDoesNotOfferIsReportedAndReplacedByTheDefault) {
    win32::SetModalStrict(false);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Done", "Tindaloft", MB_OK), IDOK);
    EXPECT_EQ(win32::UnexpectedModalRequests().size(), 1u);
}

TEST_F(MessageBoxTest, ScriptsMatchByTextAndStepsRunWhileTheOwnerIsDisabled) {
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    bool ownerEnabledDuringSteps = true;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "second");
    win32::QueueModalSteps(win32::ModalKind::MessageBox, [&](const win32::ModalRequest& request, HWND window) {
        EXPECT_TRUE(IsWindowVisible(window)); // steps meet the box as a window
        EXPECT_EQ(request.owner, owner.hwnd());
        ownerEnabledDuringSteps = IsWindowEnabled(owner);
        return INT_PTR{IDOK};
    });
    EXPECT_EQ(MessageBoxA(owner, "first", "T", MB_OKCANCEL), IDOK);
    EXPECT_EQ(MessageBoxA(owner, "the second one", "T", MB_YESNO), IDNO);
    EXPECT_FALSE(ownerEnabledDuringSteps);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(MessageBoxA(owner, "bad type", "T", 0xE), 0);
}

DWORD WINAPI AskFromWorker(LPVOID owner) {
    return static_cast<DWORD>(
        MessageBoxA(static_cast<HWND>(owner), "Failed to open device, error: 5\n", "Tindaloft", MB_ICONHAND));
}

TEST_F(MessageBoxTest, AWorkersBoxIsAnsweredWhileTheGuiThreadWaitsForThatWorker) {
    TestWindow gui(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to open device");
    HANDLE worker = CreateThread(nullptr, 0, AskFromWorker, gui.hwnd(), 0, nullptr);
    // The GUI thread pumps nothing while it waits: the worker's box must not need it.
    ASSERT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(worker, &code);
    CloseHandle(worker);
    EXPECT_EQ(code, static_cast<DWORD>(IDOK));
    auto requests = win32::ModalRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].thread, GetCurrentThreadId());
    EXPECT_EQ(requests[0].owner, gui.hwnd());
}

TEST_F(MessageBoxTest, BeepsAreRecordedAndAHostTakesTheServiceOver) {
    MessageBeep(MB_ICONHAND);
    MessageBeep(0xFFFFFFFF);
    EXPECT_EQ(win32::MessageBeeps(), (std::vector<UINT>{MB_ICONHAND, 0xFFFFFFFF}));
    struct Host : win32::DisplayDriver {
        bool AnswersModalRequests() const override { return true; }
        INT_PTR Run(const win32::ModalRequest& request, HWND window, win32::ModalLoop&) override {
            asked = request.text;
            return IDCANCEL;
        }
        std::string asked;
    } host;
    win32::SetDisplayDriver(&host);
    EXPECT_EQ(MessageBoxA(nullptr, "Proceed?", "T", MB_OKCANCEL), IDCANCEL);
    win32::SetDisplayDriver(nullptr);
    EXPECT_EQ(host.asked, "Proceed?");
}

} // namespace

namespace {

// Keys pressed in a box that is up, then the answer its own buttons gave (0 when it is still up after them).
struct KeyCase {
    const char* name;
    UINT type;
    std::vector<BYTE> keys;
    int expected;
};

TEST_F(MessageBoxTest, AnUnansweredBoxIsARealDialogWithItsDefaultButtonAndEscapeOnlyWithCancel) {
    const KeyCase cases[] = {
        {"Enter takes the second default", MB_YESNO | MB_DEFBUTTON2, {VK_RETURN}, IDNO},
        {"Escape cancels", MB_OKCANCEL, {VK_ESCAPE}, IDCANCEL},
        {"Escape does nothing without Cancel", MB_YESNO, {VK_ESCAPE}, 0},
        {"Tab moves to the next button", MB_ABORTRETRYIGNORE, {VK_TAB, VK_RETURN}, IDRETRY},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearModalRequests();
        int stillUp = -1;
        win32::QueueModalSteps(win32::ModalKind::MessageBox, [&](const win32::ModalRequest&, HWND box) -> INT_PTR {
            for (BYTE key : c.keys) {
                win32::PressKey(box, key);
                win32::PumpUiMessages();
            }
            stillUp = IsWindowVisible(box) ? 1 : 0;
            return IDYES; // used only when the keys left the box up
        });
        const int answer = MessageBoxA(nullptr, "Proceed?", "Tindaloft", c.type);
        EXPECT_EQ(stillUp, c.expected == 0 ? 1 : 0);
        EXPECT_EQ(answer, c.expected == 0 ? IDYES : c.expected);
    }
}

TEST_F(MessageBoxTest, TheBoxShowsItsIconTextAndButtonsInItsPicture) {
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 500, 300});
    win32::QueueModalSteps(win32::ModalKind::MessageBox, [&](const win32::ModalRequest&, HWND box) -> INT_PTR {
        char title[64] = {};
        GetWindowTextA(box, title, sizeof title);
        EXPECT_STREQ(title, "Tindaloft");
        HWND yes = GetDlgItem(box, IDYES), no = GetDlgItem(box, IDNO), cancel = GetDlgItem(box, IDCANCEL);
        EXPECT_TRUE(yes && no && cancel);
        EXPECT_EQ(GetFocus(), yes);
        EXPECT_EQ(LOWORD(SendMessageA(box, DM_GETDEFID, 0, 0)), IDYES);
        // The icon static holds the question icon and paints something other than the dialog's face.
        HWND icon = GetWindow(box, GW_CHILD);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)), LoadIconA(nullptr, IDI_QUESTION));
        int painted = 0;
        for (int y = 0; y < 32; y += 2)
            for (int x = 0; x < 32; x += 2)
                painted += win32::ClientPixel(icon, x, y) != GetSysColor(COLOR_BTNFACE);
        EXPECT_GT(painted, 20);
        EXPECT_TRUE(tdl::test::SavePicture(box, "tdl-message-box.png"));
        win32::Click(no, POINT{10, 10});
        win32::PumpUiMessages();
        return IDCANCEL; // the click ended the box: its answer wins
    });
    EXPECT_EQ(MessageBoxA(owner, "The capture has changed. Save it before closing?", "Tindaloft",
                          MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

} // namespace
