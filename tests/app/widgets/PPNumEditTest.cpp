#include "app/widgets/PPDumpCtrl.h"

#include <gtest/gtest.h>

#include <vector>

#include "DumpOwner.h"
#include "tests/support/Pictures.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

// The control with an owner that records its notices, over 64 bytes 0, 1, 2, ...
class DumpEditorTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        m_owner = tdl::test::MakeDumpOwner(m_notices);
        m_ctrl = std::make_unique<CPPDumpCtrl>();
        ASSERT_TRUE(m_ctrl->Create(CRect(0, 0, 500, 280), CWnd::FromHandle(*m_owner), 7));
        for (int i = 0; i < 64; ++i)
            m_data.push_back(static_cast<BYTE>(i));
        m_ctrl->ModifyStyles(PPDUMP_FIELD_DEC | PPDUMP_BAR_DEC, 0, FALSE);
        m_ctrl->SetData(m_data.size(), m_data.data(), nullptr, FALSE);
        m_ctrl->SetNotifyOwner(CWnd::FromHandle(*m_owner));
        m_ctrl->SetFocus();
    }
    void TearDown() override {
        m_ctrl.reset();
        m_owner.reset();
        UiTest::TearDown();
    }
    HWND Ctrl() const { return m_ctrl->GetSafeHwnd(); }
    // Down and up apart: the editor that gets a key down may be gone before the key comes up, and then the
    // up must reach the window that has the focus by then, or the key stays down for later tests.
    void Press(BYTE vk, BYTE modifier = 0) {
        if (modifier)
            win32::KeyDown(Ctrl(), modifier);
        win32::KeyDown(Ctrl(), vk);
        win32::PumpUiMessages();
        win32::KeyUp(Ctrl(), vk);
        if (modifier)
            win32::KeyUp(Ctrl(), modifier);
        win32::PumpUiMessages();
    }
    std::string EditText() const {
        CString text;
        m_ctrl->GetEditor()->GetWindowText(text);
        return std::string(static_cast<LPCTSTR>(text));
    }

    std::unique_ptr<TestWindow> m_owner;
    std::unique_ptr<CPPDumpCtrl> m_ctrl;
    std::vector<BYTE> m_data;
    std::vector<tdl::test::DumpNotice> m_notices;
};

TEST_F(DumpEditorTest, EnterOpensTheFirstValueColumnAndAppliesOnlyAChangedValue) {
    ASSERT_TRUE(m_ctrl->SetSelection(5, -1, FALSE));
    Press(VK_RETURN);
    ASSERT_NE(m_ctrl->GetEditor(), nullptr);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_HEX);
    EXPECT_EQ(EditText(), "05");
    EXPECT_EQ(::GetFocus(), m_ctrl->GetEditor()->GetSafeHwnd());
    Press(VK_RETURN); // unchanged: nothing applied
    EXPECT_EQ(m_ctrl->GetEditor(), nullptr);
    EXPECT_TRUE(m_notices.empty());

    Press(VK_RETURN);
    win32::TypeText(Ctrl(), "g1zb7"); // not hexadecimal digits are refused; the third digit does not fit
    win32::PumpUiMessages();
    EXPECT_EQ(EditText(), "1B");
    ASSERT_TRUE(tdl::test::SavePicture(*m_owner, "dumpctrl-editor.png"));
    EXPECT_TRUE(m_ctrl->GetEditor()->IsValid());
    Press(VK_RETURN);
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_EQ(m_notices[0].code, UDM_PPDUMPCTRL_CHANGE_DATA);
    EXPECT_EQ(m_notices[0].first, 5);
    EXPECT_EQ(m_notices[0].second, 0x1B);
    EXPECT_EQ(m_data[5], 5); // the control never changes the data
}

TEST_F(DumpEditorTest, AnOverLongNumberSetAsTextIsOutOfRangeAndNotApplied) {
    ASSERT_TRUE(m_ctrl->OpenEditor(3, DUMP_COLUMN_DEC));
    CPPNumEdit* edit = m_ctrl->GetEditor();
    EXPECT_EQ(edit->GetMaxChars(), 3);
    edit->SetWindowText("4294967296"); // 2^32: must not wrap to 0
    EXPECT_FALSE(edit->IsValid());
    EXPECT_EQ(edit->GetTextColor(), m_ctrl->GetColor(PPDUMP_COLOR_EDIT_ERR_FG));
    EXPECT_EQ(edit->GetBackColor(), m_ctrl->GetColor(PPDUMP_COLOR_EDIT_ERR_BK));
    Press(VK_RETURN);
    EXPECT_NE(m_ctrl->GetEditor(), nullptr); // refused while out of range
    Press(VK_TAB);
    EXPECT_NE(m_ctrl->GetEditor(), nullptr);
    EXPECT_TRUE(m_notices.empty());
    edit->SetWindowText("256");
    EXPECT_FALSE(edit->IsValid());
    edit->SetWindowText("200");
    EXPECT_TRUE(edit->IsValid());
    EXPECT_EQ(edit->GetTextColor(), m_ctrl->GetColor(PPDUMP_COLOR_EDIT_FG));
    Press(VK_ESCAPE);
    EXPECT_EQ(m_ctrl->GetEditor(), nullptr);
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(DumpEditorTest, TabAppliesAndReopensOnTheNextFieldCtrlLetterSwitchesWithoutApplying) {
    ASSERT_TRUE(m_ctrl->OpenEditor(2, DUMP_COLUMN_HEX));
    win32::TypeText(Ctrl(), "7F");
    win32::PumpUiMessages();
    Press(VK_TAB);
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_EQ(m_notices[0].second, 0x7F);
    ASSERT_NE(m_ctrl->GetEditor(), nullptr);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_DEC);
    EXPECT_EQ(EditText(), "2");
    Press(VK_TAB); // dec -> ASCII (binary and octal are not shown)
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_ASCII);
    Press(VK_TAB, VK_SHIFT);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_DEC);
    Press(VK_DOWN);
    int64_t s = 0, e = 0;
    m_ctrl->GetSelection(s, e);
    EXPECT_EQ(s, 2 + m_ctrl->GetLayout().perRow);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_DEC);

    m_notices.clear();
    m_ctrl->GetEditor()->SetWindowText("9");
    Press('H', VK_CONTROL);
    ASSERT_NE(m_ctrl->GetEditor(), nullptr);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_HEX);
    EXPECT_TRUE(m_notices.empty());
    Press('B', VK_CONTROL); // binary is not shown: stays
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_HEX);
}

TEST_F(DumpEditorTest, CtrlLetterOnTheControlOpensTheEditorOnThatKindsColumn) {
    ASSERT_TRUE(m_ctrl->SetSelection(5, -1, FALSE));
    struct Case {
        BYTE letter;
        bool readOnly;
        int field; // the editor's field, DUMP_NONE for none
    } cases[] = {
        // clang-format off
        {'D', false, DUMP_COLUMN_DEC},
        {'A', false, DUMP_COLUMN_ASCII},
        {'H', false, DUMP_COLUMN_HEX},
        {'B', false, DUMP_NONE}, // its switch is on, but the binary column is not shown
        {'O', false, DUMP_NONE}, // neither the switch nor the column
        {'H', true, DUMP_NONE},
        // clang-format on
    };
    for (const Case& c : cases) {
        m_ctrl->ModifyStyles(c.readOnly ? PPDUMP_READ_ONLY : 0, c.readOnly ? 0 : PPDUMP_READ_ONLY, FALSE);
        ASSERT_TRUE(m_ctrl->SetSelection(5, -1, FALSE));
        m_ctrl->SetFocus();
        Press(c.letter, VK_CONTROL);
        if (c.field == DUMP_NONE) {
            EXPECT_EQ(m_ctrl->GetEditor(), nullptr) << c.letter;
            continue;
        }
        ASSERT_NE(m_ctrl->GetEditor(), nullptr) << c.letter;
        EXPECT_EQ(m_ctrl->GetEditField(), c.field) << c.letter;
        EXPECT_EQ(m_ctrl->GetEditElement(), 5) << c.letter;
        Press(VK_ESCAPE);
    }
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(DumpEditorTest, ReadOnlyOpensOnlyTheOffsetWhichGoesToAnElement) {
    m_ctrl->ModifyStyles(PPDUMP_READ_ONLY | PPDUMP_FIELD_ADDRESS, 0, FALSE);
    EXPECT_FALSE(m_ctrl->OpenEditor(1, DUMP_COLUMN_HEX));
    Press(VK_RETURN);
    ASSERT_NE(m_ctrl->GetEditor(), nullptr);
    EXPECT_EQ(m_ctrl->GetEditField(), DUMP_COLUMN_ADDRESS);
    EXPECT_EQ(EditText(), "00"); // digits of the last offset, 0x3F
    Press(VK_DOWN);              // moves are ignored on the offset
    EXPECT_NE(m_ctrl->GetEditor(), nullptr);
    m_ctrl->GetEditor()->SetWindowText("40"); // past the last element
    EXPECT_FALSE(m_ctrl->GetEditor()->IsValid());
    m_ctrl->GetEditor()->SetWindowText("2A");
    Press(VK_RETURN);
    EXPECT_EQ(m_ctrl->GetEditor(), nullptr);
    int64_t s = 0, e = 0;
    m_ctrl->GetSelection(s, e);
    EXPECT_EQ(s, 0x2A);
    EXPECT_TRUE(m_notices.empty());
}

} // namespace
