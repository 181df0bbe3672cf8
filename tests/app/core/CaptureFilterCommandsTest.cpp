// The filter and trigger commands: what each answer of the filter dialog leaves in force (buffer filter,
// capture filter, trigger, the filtered view) and the capture options the driver is sent each time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/core/app/Resource.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/ui/filterdialog/FilterDefinitionDlg.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "tests/app/core/CaptureCommandFixture.h"

namespace {

constexpr int kCancel = IDCANCEL;
constexpr int kNext = CFilterDefinitionDlg::ApplyToNextCapture;

// Accepts every record the tests index.
CFilterDefinition* AllOn() {
    auto* pFilter = new CFilterDefinition;
    std::fill(pFilter->GetBlock().Bytes + 2, pFilter->GetBlock().Bytes + FILTER_BLOCK_SIZE, 1);
    return pFilter;
}

enum class Before { Nothing, BufferFilter, CaptureFilter };

struct FilterCase {
    const char* name;
    UINT nTemplate;
    Before before;
    int answer;
    // After: buffer filter on and kept, rows shown, capture filter on and kept.
    bool bufferOn;
    bool bufferKept;
    INT_PTR rows;
    bool captureOn;
    bool captureKept;
    // The capture options sent, in order: "default" (no filter) or "filter" (the capture filter's block).
    std::vector<std::string> sent;
};

class CaptureFilterCommandsTest : public apptest::CaptureCommandFixture {
protected:
    // The user selects every event of the dialog's first page, then presses the answer's button.
    static void QueueDialogAnswer(int answer) {
        win32::QueueModalSteps(win32::ModalKind::Dialog, [answer](const win32::ModalRequest&, HWND dialog) {
            ::SendMessageA(dialog, WM_COMMAND, IDC_FILTER_SELECT_ALL, 0);
            return static_cast<INT_PTR>(answer);
        });
    }
    // The SET_LOGGING_OPTIONS requests so far: "default" or "filter" (FilterPresent with `filter`'s block).
    std::vector<std::string> Sent(const CFilterDefinition* pFilter) {
        std::vector<std::string> sent;
        for (const tdl::test::FakeRequest& request : Requests(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS)) {
            EXPECT_EQ(request.input.size(), sizeof(LOGGING_OPTIONS));
            if (request.input.size() != sizeof(LOGGING_OPTIONS))
                continue;
            const uint8_t* block = request.input.data() + offsetof(LOGGING_OPTIONS, Filter);
            const bool present = request.input[offsetof(LOGGING_OPTIONS, FilterPresent)] != 0;
            FILTER_BLOCK expected;
            InitLoggingOptions(expected);
            if (present && pFilter != nullptr)
                expected = pFilter->GetBlock();
            EXPECT_TRUE(std::equal(block, block + FILTER_BLOCK_SIZE, expected.Bytes));
            sent.push_back(present ? "filter" : "default");
        }
        m_fake->ClearRequests();
        return sent;
    }
};

TEST_F(CaptureFilterCommandsTest, EachAnswerOfTheFilterDialogLeavesItsFilterInForce) {
    const UINT live = IDR_TDLOFT_REALTIME;
    const UINT file = IDR_TDLOFT_TYPE;
    const FilterCase cases[] = {
        // The buffer filter edited: applied again, kept as it is, or removed.
        {"buffer, apply", live, Before::BufferFilter, IDOK, true, true, 2, false, false, {}},
        {"buffer, next capture", live, Before::BufferFilter, kNext, true, true, 0, false, false, {}},
        {"buffer, cancel", live, Before::BufferFilter, kCancel, false, false, 2, false, false, {}},
        {"log file buffer, apply", file, Before::BufferFilter, IDOK, true, true, 2, false, false, {}},
        // The capture filter edited: sent again, kept as it is, or removed (the default block sent).
        {"capture, apply", live, Before::CaptureFilter, IDOK, false, false, 2, true, true, {}},
        {"capture, next capture",
         live,
         Before::CaptureFilter,
         kNext,
         false,
         false,
         2,
         true,
         true,
         {"default", "filter"}},
        {"capture, cancel", live, Before::CaptureFilter, kCancel, false, false, 2, false, false, {"default"}},
        // A new definition (every event of the first page selected: both records pass).
        {"new, apply", live, Before::Nothing, IDOK, true, true, 2, false, false, {}},
        {"new, next capture", live, Before::Nothing, kNext, false, false, 2, true, true, {"filter"}},
        {"new, cancel", live, Before::Nothing, kCancel, false, false, 2, false, false, {}},
        // A saved log's capture filter is not edited: the dialog gets a new definition.
        {"log file capture, apply", file, Before::CaptureFilter, IDOK, true, true, 2, true, true, {}},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CUSBLog& doc = NewDocument(c.nTemplate);
        AddRecords(doc, {1, 2});
        if (c.before == Before::BufferFilter) {
            // On but never applied: only applying it again fills the view.
            doc.SetBufferFilter(AllOn());
            doc.SetBufferFilterOn(TRUE);
        } else if (c.before == Before::CaptureFilter) {
            doc.SetCaptureFilter(AllOn());
            doc.SetCaptureFilterOn(TRUE);
        }
        QueueDialogAnswer(c.answer);

        Command(ID_EDIT_FILTER);

        EXPECT_EQ(win32::PendingModalScripts(), 0u);
        EXPECT_EQ(doc.IsBufferFilterOn() != FALSE, c.bufferOn);
        EXPECT_EQ(doc.GetBufferFilter() != nullptr, c.bufferKept);
        EXPECT_EQ(doc.GetLogRecords()->GetDisplayCount(&doc), c.rows);
        EXPECT_EQ(doc.IsCaptureFilterOn() != FALSE, c.captureOn);
        EXPECT_EQ(doc.GetCaptureFilter() != nullptr, c.captureKept);
        EXPECT_EQ(Sent(doc.GetCaptureFilter()), c.sent);
        EXPECT_FALSE(doc.IsModified());
    }
}

struct TriggerCase {
    const char* name;
    UINT nTemplate;
    bool triggerOn;
    int answer;
    bool on;
    bool kept;
    bool same; // the definition in force before is still the one
};

TEST_F(CaptureFilterCommandsTest, EachAnswerOfTheTriggerDialogLeavesItsTriggerInForce) {
    const UINT live = IDR_TDLOFT_REALTIME;
    const UINT file = IDR_TDLOFT_TYPE;
    const TriggerCase cases[] = {
        {"off, next capture", live, false, kNext, true, true, false},
        {"off, apply", live, false, IDOK, false, false, false},
        {"off, cancel", live, false, kCancel, false, false, false},
        {"on, next capture", live, true, kNext, true, true, true},
        {"on, apply", live, true, IDOK, true, true, true},
        {"on, cancel", live, true, kCancel, false, false, false},
        // A saved log's trigger is never edited: a new one replaces it.
        {"log file on, next capture", file, true, kNext, true, true, false},
        {"log file on, cancel", file, true, kCancel, true, true, true},
    };
    for (const TriggerCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CUSBLog& doc = NewDocument(c.nTemplate);
        CFilterDefinition* before = nullptr;
        if (c.triggerOn) {
            before = AllOn();
            doc.SetTrigger(before);
            doc.SetTriggerOn(TRUE);
        }
        QueueDialogAnswer(c.answer);

        Command(ID_EDIT_TRIGGER);

        EXPECT_EQ(win32::PendingModalScripts(), 0u);
        EXPECT_EQ(doc.IsTriggerOn() != FALSE, c.on);
        EXPECT_EQ(doc.GetTrigger() != nullptr, c.kept);
        if (c.kept)
            EXPECT_EQ(doc.GetTrigger() == before, c.same);
        EXPECT_EQ(doc.GetTriggerSequenceNumber(), 0u);
        // The trigger never reaches the driver.
        EXPECT_TRUE(Sent(nullptr).empty());
    }
}

TEST_F(CaptureFilterCommandsTest, NothingIsEditedWhileLogging) {
    CUSBLog& doc = NewDocument();
    doc.SetTrigger(AllOn());
    doc.SetTriggerOn(TRUE);
    const CFilterDefinition* trigger = doc.GetTrigger();
    doc.SetLogging(TRUE);
    Command(ID_EDIT_FILTER);
    Command(ID_EDIT_TRIGGER);
    doc.SetLogging(FALSE);
    EXPECT_TRUE(win32::ModalRequests().empty());
    EXPECT_EQ(doc.GetTrigger(), trigger);
}

// A view that counts its updates and sees the document's modified mark while it is updated.
class CCountingView : public CView {
public:
    void OnDraw(CDC*) override {}
    void OnUpdate(CView*, LPARAM, CObject*) override {
        ++updates;
        modifiedWhileUpdated = GetDocument()->IsModified();
    }
    int updates = 0;
    BOOL modifiedWhileUpdated = FALSE;
};

TEST_F(CaptureFilterCommandsTest, SettingAndClearingTheCaptureFilterUpdateTheViews) {
    CUSBLog& doc = NewDocument();
    CCountingView view;
    doc.AddView(&view);
    std::unique_ptr<CFilterDefinition> filter(AllOn());
    doc.SetCaptureFilter(filter->GetBlock());
    EXPECT_EQ(1, view.updates);
    EXPECT_TRUE(doc.IsCaptureFilterOn());
    doc.ClearCaptureFilter();
    EXPECT_EQ(2, view.updates);
    EXPECT_TRUE(view.modifiedWhileUpdated);
    EXPECT_FALSE(doc.IsModified()) << "the filters alone do not make the capture worth saving";
    EXPECT_FALSE(doc.IsCaptureFilterOn());
    EXPECT_EQ(Sent(filter.get()), (std::vector<std::string>{"filter", "default"}));
    doc.RemoveView(&view);
}

} // namespace
