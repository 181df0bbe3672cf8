// The tree view driven as a user would: navigation, hit tests at the reported rectangles, expansion with its
// veto, selection and deletion notifications, handles that are never reused, painting and info tips.
#include <gtest/gtest.h>

#include <set>

#include "TreeViewTestSupport.h"
#include "tests/support/Pictures.h"

namespace {

using win32::test::ClientSnapshot;
using win32::test::MakeImages;
using win32::test::TreeViewTest;

HTREEITEM Next(HWND tree, UINT code, HTREEITEM item = nullptr) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

RECT ItemRect(HWND tree, HTREEITEM item, BOOL textOnly) {
    RECT rect{};
    memcpy(&rect, &item, sizeof item);
    EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&rect)));
    return rect;
}

UINT StateOf(HWND tree, HTREEITEM item, UINT mask = 0xFFFF) {
    return static_cast<UINT>(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
}

POINT Middle(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Root, its children One and Two, Two's child Deep, and a second root Other.
struct Sample {
    HTREEITEM root, one, two, deep, other;
};

class TreeView : public TreeViewTest {
protected:
    Sample Fill() {
        Sample s{};
        s.root = Insert(TVI_ROOT, "Root", 1);
        s.one = Insert(s.root, "One", 2);
        s.two = Insert(s.root, "Two", 3);
        s.deep = Insert(s.two, "Deep", 4);
        s.other = Insert(TVI_ROOT, "Other", 5);
        return s;
    }
};

TEST_F(TreeView, NavigatesByRelationAndByWhatIsVisible) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT);
    const Sample s = Fill();
    EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), 5);
    struct Case {
        UINT code;
        HTREEITEM from;
        HTREEITEM expected;
    } cases[] = {
        {TVGN_ROOT, nullptr, s.root},         {TVGN_CHILD, TVI_ROOT, s.root},
        {TVGN_CHILD, s.root, s.one},          {TVGN_NEXT, s.one, s.two},
        {TVGN_NEXT, s.two, nullptr},          {TVGN_PREVIOUS, s.two, s.one},
        {TVGN_PARENT, s.deep, s.two},         {TVGN_PARENT, s.root, nullptr},
        {TVGN_NEXT, s.root, s.other},         {TVGN_FIRSTVISIBLE, nullptr, s.root},
        {TVGN_NEXTVISIBLE, s.root, s.other}, // collapsed: children hidden
        {TVGN_LASTVISIBLE, nullptr, s.other}, {TVGN_CARET, nullptr, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Next(tree_, c.code, c.from), c.expected) << "code " << c.code;

    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(s.root));
    EXPECT_EQ(Next(tree_, TVGN_NEXTVISIBLE, s.root), s.one);
    EXPECT_EQ(Next(tree_, TVGN_NEXTVISIBLE, s.two), s.other); // Two stays collapsed
    EXPECT_EQ(Next(tree_, TVGN_PREVIOUSVISIBLE, s.other), s.two);
    EXPECT_EQ(Next(tree_, TVGN_NEXTVISIBLE, s.deep), nullptr); // not visible itself

    char text[16] = {};
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    item.hItem = s.two;
    item.pszText = text;
    item.cchTextMax = 3; // cut to the buffer
    ASSERT_TRUE(SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "Tw");
    EXPECT_EQ(item.lParam, 3);
    EXPECT_EQ(item.cChildren, 1);
    EXPECT_TRUE(notes_.empty()) << "the program's expand notifies nothing";

    // A text left to the parent is asked for whenever it is needed.
    TVINSERTSTRUCTA insert{};
    insert.hParent = s.two;
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = LPSTR_TEXTCALLBACKA;
    insert.item.lParam = 77;
    auto asked =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    EXPECT_EQ(Next(tree_, TVGN_CHILD, s.two), asked);
    item.hItem = asked;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "asked 77");
    ASSERT_EQ(Codes(), std::vector<UINT>{TVN_GETDISPINFOA});
    EXPECT_EQ(notes_[0].newItem, asked);
}

TEST_F(TreeView, HitTestsAtTheReportedRectanglesFindEachPart) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT);
    HIMAGELIST images = MakeImages(16, {RGB(0, 128, 0), RGB(0, 0, 200)});
    HIMAGELIST states = MakeImages(13, {RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0)});
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(states));
    const Sample s = Fill();
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(s.root));
    TVITEMA checked{};
    checked.mask = TVIF_STATE;
    checked.hItem = s.one;
    checked.state = INDEXTOSTATEIMAGEMASK(2);
    checked.stateMask = TVIS_STATEIMAGEMASK;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&checked));

    const int indent = static_cast<int>(SendMessageA(tree_, TVM_GETINDENT, 0, 0));
    const int height = static_cast<int>(SendMessageA(tree_, TVM_GETITEMHEIGHT, 0, 0));
    EXPECT_EQ(indent, 19);
    EXPECT_GE(height, 18); // at least the images' height + 2
    const RECT oneLabel = ItemRect(tree_, s.one, TRUE);
    const RECT oneRow = ItemRect(tree_, s.one, FALSE);
    const RECT twoLabel = ItemRect(tree_, s.two, TRUE);
    EXPECT_EQ(oneRow.top, height);
    EXPECT_EQ(oneRow.bottom - oneRow.top, height);
    // One has a state image, Two none: its icon starts where One's state image does.
    EXPECT_EQ(oneLabel.left, 2 * indent + 13 + 16 + 1);
    EXPECT_EQ(twoLabel.left, 2 * indent + 16 + 1);
    const int y = Middle(oneLabel).y;
    const RECT lastRow = ItemRect(tree_, s.other, FALSE);
    struct Case {
        POINT at;
        UINT flags;
        HTREEITEM item;
    } cases[] = {
        {Middle(oneLabel), TVHT_ONITEMLABEL, s.one},
        {{oneLabel.left - 1 - 8, y}, TVHT_ONITEMICON, s.one},
        {{2 * indent + 6, y}, TVHT_ONITEMSTATEICON, s.one},
        {{indent + indent / 2, y}, TVHT_ONITEMINDENT, s.one}, // One has no children: no button
        {{indent / 2, y}, TVHT_ONITEMINDENT, s.one},
        {{oneLabel.right + 5, y}, TVHT_ONITEMRIGHT, s.one},
        {{indent + indent / 2, Middle(twoLabel).y}, TVHT_ONITEMBUTTON, s.two},
        {{indent / 2, Middle(ItemRect(tree_, s.root, TRUE)).y}, TVHT_ONITEMBUTTON, s.root},
        {{20, lastRow.bottom + 2}, TVHT_NOWHERE, nullptr},
        {{20, -3}, TVHT_ABOVE, nullptr},
        {{500, 20}, TVHT_TORIGHT, nullptr},
    };
    for (const Case& c : cases) {
        TVHITTESTINFO hit{};
        hit.pt = c.at;
        EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))),
                  c.item)
            << c.at.x << "," << c.at.y;
        EXPECT_EQ(hit.flags, c.flags) << c.at.x << "," << c.at.y;
    }

    // A click on the state image selects, but the state image stays as it was.
    win32::Click(tree_, {2 * indent + 6, y});
    win32::PumpUiMessages();
    EXPECT_EQ(Next(tree_, TVGN_CARET), s.one);
    EXPECT_EQ(StateOf(tree_, s.one, TVIS_STATEIMAGEMASK), static_cast<UINT>(INDEXTOSTATEIMAGEMASK(2)));
    DestroyWindow(tree_);
    ImageList_Destroy(images);
    ImageList_Destroy(states);
}

TEST_F(TreeView, AVetoedExpandKeepsTheItemCollapsed) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT);
    const Sample s = Fill();
    const POINT button{9, Middle(ItemRect(tree_, s.root, FALSE)).y};

    answers_[TVN_ITEMEXPANDINGA] = 1;
    win32::Click(tree_, button);
    win32::PumpUiMessages();
    EXPECT_EQ(StateOf(tree_, s.root, TVIS_EXPANDED), 0u);
    EXPECT_EQ(Codes({TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}), std::vector<UINT>{TVN_ITEMEXPANDINGA});
    EXPECT_EQ(Next(tree_, TVGN_NEXTVISIBLE, s.root), s.other);

    notes_.clear();
    answers_.clear();
    win32::Click(tree_, button);
    win32::PumpUiMessages();
    EXPECT_EQ(StateOf(tree_, s.root, TVIS_EXPANDED), static_cast<UINT>(TVIS_EXPANDED));
    ASSERT_EQ(Codes({TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}),
              (std::vector<UINT>{TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    EXPECT_EQ(notes_[0].action, static_cast<UINT>(TVE_EXPAND));
    EXPECT_EQ(notes_[0].newItem, s.root);
    EXPECT_EQ(notes_[0].newParam, 1);

    // The keyboard collapses the same way, and a veto holds there too.
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.root));
    notes_.clear();
    answers_[TVN_ITEMEXPANDINGA] = 1;
    win32::PressKey(tree_, VK_LEFT);
    win32::PumpUiMessages();
    EXPECT_EQ(StateOf(tree_, s.root, TVIS_EXPANDED), static_cast<UINT>(TVIS_EXPANDED));
    EXPECT_EQ(Codes({TVN_KEYDOWN, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}),
              (std::vector<UINT>{TVN_KEYDOWN, TVN_ITEMEXPANDINGA}));
    EXPECT_EQ(notes_[0].key, VK_LEFT);
    answers_.clear();
    win32::PressKey(tree_, VK_LEFT);
    win32::PumpUiMessages();
    EXPECT_EQ(StateOf(tree_, s.root, TVIS_EXPANDED), 0u);
}

TEST_F(TreeView, SelectionNotifiesWithTheWayItCameAndCanBeRefused) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    const Sample s = Fill();
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.root));
    win32::Click(tree_, Middle(ItemRect(tree_, s.other, TRUE)));
    win32::PumpUiMessages();
    win32::PressKey(tree_, VK_UP);
    win32::PumpUiMessages();
    const auto changes = [&] {
        std::vector<std::pair<UINT, HTREEITEM>> seen;
        for (const auto& note : notes_)
            if (note.code == TVN_SELCHANGEDA)
                seen.emplace_back(note.action, note.newItem);
        return seen;
    }();
    EXPECT_EQ(changes, (std::vector<std::pair<UINT, HTREEITEM>>{
                           {TVC_UNKNOWN, s.root}, {TVC_BYMOUSE, s.other}, {TVC_BYKEYBOARD, s.root}}));
    EXPECT_EQ(StateOf(tree_, s.root, TVIS_SELECTED), static_cast<UINT>(TVIS_SELECTED));
    EXPECT_EQ(StateOf(tree_, s.other, TVIS_SELECTED), 0u);

    // Selecting a hidden item expands its parents on the way, as a user's expand would.
    notes_.clear();
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.deep));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA,
                                          TVN_SELCHANGINGA, TVN_SELCHANGEDA}));
    EXPECT_EQ(notes_[0].newItem, s.root);

    notes_.clear();
    answers_[TVN_SELCHANGINGA] = 1;
    win32::Click(tree_, Middle(ItemRect(tree_, s.one, TRUE)));
    win32::PumpUiMessages();
    EXPECT_EQ(Next(tree_, TVGN_CARET), s.deep);
    EXPECT_EQ(Codes({TVN_SELCHANGINGA, TVN_SELCHANGEDA}), std::vector<UINT>{TVN_SELCHANGINGA});
}

TEST_F(TreeView, DeletingASubtreeNotifiesEveryItemAndMovesTheCaretByOneRule) {
    struct Case {
        const char* name;
        HTREEITEM Sample::*caret;
        HTREEITEM Sample::*deleted;
        HTREEITEM Sample::*expected; // null member: no caret afterwards
    } cases[] = {
        {"next sibling", &Sample::one, &Sample::one, &Sample::two},
        {"previous sibling", &Sample::deep, &Sample::two, &Sample::one},
        {"parent", &Sample::deep, &Sample::deep, &Sample::two},
        {"next root", &Sample::deep, &Sample::root, &Sample::other},
        {"untouched", &Sample::other, &Sample::two, &Sample::other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT);
        const Sample s = Fill();
        SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.*c.caret));
        notes_.clear();
        ASSERT_TRUE(SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(s.*c.deleted)));
        EXPECT_EQ(Next(tree_, TVGN_CARET), s.*c.expected);
        if (s.*c.expected != s.*c.caret) {
            ASSERT_FALSE(notes_.empty());
            EXPECT_EQ(notes_[0].code, TVN_SELCHANGEDA); // before the deletions, while the old item is whole
            EXPECT_EQ(notes_[0].action, static_cast<UINT>(TVC_UNKNOWN));
            EXPECT_EQ(notes_[0].oldItem, s.*c.caret);
            EXPECT_EQ(notes_[0].newItem, s.*c.expected);
        }
        EXPECT_EQ(Codes({TVN_SELCHANGINGA}), std::vector<UINT>{});
        DestroyWindow(tree_);
        notes_.clear();
    }

    MakeTree(TVS_HASLINES);
    const Sample s = Fill();
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.deep));
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, 0);
    EXPECT_EQ(Next(tree_, TVGN_CARET), nullptr);
    notes_.clear();
    ASSERT_TRUE(SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(s.root)));
    std::vector<std::pair<HTREEITEM, LPARAM>> deleted;
    for (const auto& note : notes_) {
        EXPECT_EQ(note.code, TVN_DELETEITEMA) << "nothing but deletions once the caret is cleared";
        deleted.emplace_back(note.oldItem, note.oldParam);
    }
    // Children before their parents, each with its own data.
    EXPECT_EQ(deleted, (std::vector<std::pair<HTREEITEM, LPARAM>>{{s.one, 2}, {s.deep, 4}, {s.two, 3}, {s.root, 1}}));
    EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), 1);

    // A deleted handle stays dead: calls with it fail and no new item gets it.
    TVITEMA item{};
    item.mask = TVIF_PARAM;
    item.hItem = s.two;
    EXPECT_FALSE(SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_FALSE(SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(s.two)));
    EXPECT_EQ(Next(tree_, TVGN_NEXT, s.one), nullptr);
    EXPECT_EQ(Insert(s.root, "orphan", 9), nullptr);
    std::set<HTREEITEM> gone{s.root, s.one, s.two, s.deep};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(gone.count(Insert(TVI_ROOT, "new", 10 + i)), 0u);

    // Destroying the tree deletes what is left, each with a notification.
    notes_.clear();
    DestroyWindow(tree_);
    EXPECT_EQ(Codes({TVN_DELETEITEMA}).size(), 9u);
}

TEST_F(TreeView, EnsureVisibleExpandsTheParentsAndScrollsTheItemIn) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT, 200, 60);
    HTREEITEM first = Insert(TVI_ROOT, "first", 0);
    HTREEITEM folder = nullptr;
    for (int i = 0; i < 12; ++i)
        folder = Insert(TVI_ROOT, ("item " + std::to_string(i)).c_str(), i);
    HTREEITEM hidden = Insert(folder, "hidden", 99);
    EXPECT_EQ(Next(tree_, TVGN_FIRSTVISIBLE), first);
    SendMessageA(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hidden));
    EXPECT_EQ(StateOf(tree_, folder, TVIS_EXPANDED), static_cast<UINT>(TVIS_EXPANDED));
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    RECT client{};
    GetClientRect(tree_, &client);
    const RECT row = ItemRect(tree_, hidden, FALSE);
    EXPECT_GE(row.top, 0);
    EXPECT_LE(row.bottom, client.bottom);
    EXPECT_NE(Next(tree_, TVGN_FIRSTVISIBLE), first);
    SCROLLINFO bar{sizeof bar, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(tree_, SB_VERT, &bar));
    EXPECT_EQ(bar.nMax, 13) << "one position a row";
    EXPECT_EQ(bar.nPos + static_cast<int>(bar.nPage) - 1, 13) << "the last row, brought in, is the last shown";
    EXPECT_TRUE(tdl::test::SavePicture(*parent_, "tdl-tree-scrolled.png"));
}

// A fill with redraw off leaves the scroll bar alone until redraw is on again, then sizes it to every row.
TEST_F(TreeView, RedrawOffHoldsTheScrollBarUntilItIsOnAgain) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT, 200, 60);
    SendMessageA(tree_, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 12; ++i)
        Insert(TVI_ROOT, ("item " + std::to_string(i)).c_str(), i);
    EXPECT_FALSE(GetWindowLongA(tree_, GWL_STYLE) & WS_VSCROLL) << "no bar yet";
    SendMessageA(tree_, WM_SETREDRAW, TRUE, 0);
    EXPECT_TRUE(GetWindowLongA(tree_, GWL_STYLE) & WS_VSCROLL);
    SCROLLINFO bar{sizeof bar, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(tree_, SB_VERT, &bar));
    EXPECT_EQ(bar.nMax, 11);
}

TEST_F(TreeView, PaintsTheSameIntoAGivenDcAndDrawsNothingForAnImageItLacks) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 200, 150);
    HIMAGELIST images = MakeImages(16, {RGB(0, 128, 0)});
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    const Sample s = Fill();
    TVITEMA item{};
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    item.hItem = s.other;
    item.iImage = item.iSelectedImage = 100; // beyond the list
    item.state = item.stateMask = TVIS_BOLD;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageA(tree_, TVM_SETBKCOLOR, 0, RGB(250, 240, 200));
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(s.root));
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(s.two));
    win32::PumpUiMessages();

    const ClientSnapshot own(tree_);
    const ClientSnapshot given = ClientSnapshot::PaintedInto(tree_);
    ASSERT_EQ(own.Width(), given.Width());
    int differing = 0;
    for (int y = 0; y < own.Height(); ++y)
        for (int x = 0; x < own.Width(); ++x)
            differing += own.Pixel(x, y) != given.Pixel(x, y);
    EXPECT_EQ(differing, 0);

    const COLORREF background = RGB(250, 240, 200);
    const RECT oneLabel = ItemRect(tree_, s.one, TRUE);
    const RECT oneIcon{oneLabel.left - 17, oneLabel.top, oneLabel.left - 1, oneLabel.bottom};
    EXPECT_GT(own.Count(RGB(0, 128, 0), oneIcon), 100);
    const RECT otherLabel = ItemRect(tree_, s.other, TRUE);
    const RECT otherIcon{otherLabel.left - 17, otherLabel.top, otherLabel.left - 1, otherLabel.bottom};
    EXPECT_EQ(own.Count(background, otherIcon), 16 * (otherIcon.bottom - otherIcon.top));
    // The caret item shows selected without the focus (TVS_SHOWSELALWAYS), in the button face.
    const RECT twoLabel = ItemRect(tree_, s.two, TRUE);
    EXPECT_EQ(win32::ClientPixel(tree_, twoLabel.left + 1, twoLabel.top + 1), GetSysColor(COLOR_BTNFACE));
    SetFocus(tree_);
    win32::PumpUiMessages();
    EXPECT_EQ(win32::ClientPixel(tree_, twoLabel.left + 1, twoLabel.top + 2), GetSysColor(COLOR_HIGHLIGHT));
    DestroyWindow(tree_);
    ImageList_Destroy(images);
}

TEST_F(TreeView, ThePictureShowsStateImagesLinesButtonsAndTheSelection) {
    MakeTree(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 230, 170);
    HIMAGELIST images = MakeImages(16, {RGB(0, 128, 0), RGB(0, 0, 200), RGB(200, 120, 0)});
    // State images as the check tree uses them: none, unchecked, checked, cannot be checked.
    HIMAGELIST states = MakeImages(13, {RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0), RGB(160, 160, 160)});
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(states));
    auto add = [&](HTREEITEM parent, const char* text, int image, int check, bool bold = false) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
        insert.item.pszText = const_cast<char*>(text);
        insert.item.iImage = insert.item.iSelectedImage = image;
        insert.item.state = INDEXTOSTATEIMAGEMASK(check) | (bold ? TVIS_BOLD : 0);
        insert.item.stateMask = TVIS_STATEIMAGEMASK | TVIS_BOLD;
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    };
    HTREEITEM computer = add(TVI_ROOT, "My Computer", 0, 3, true);
    HTREEITEM controller = add(computer, "Host Controller", 1, 2);
    HTREEITEM hub = add(controller, "Root Hub", 2, 1);
    add(hub, "Port 1: Keyboard", 2, 2);
    add(hub, "Port 2: Mouse", 2, 1);
    HTREEITEM second = add(computer, "Second Controller", 1, 1);
    add(second, "Root Hub", 2, 1);
    for (HTREEITEM item : {computer, controller, hub})
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(controller));

    const ClientSnapshot picture(tree_);
    const RECT checked = ItemRect(tree_, controller, TRUE);
    const RECT box{checked.left - 1 - 16 - 13, checked.top, checked.left - 1 - 16, checked.bottom};
    EXPECT_GT(picture.Count(RGB(0, 0, 0), box), 60) << "the checked state image";
    const RECT unchecked = ItemRect(tree_, hub, TRUE);
    const RECT empty{unchecked.left - 1 - 16 - 13 + 3, unchecked.top + 4, unchecked.left - 1 - 16 - 3,
                     unchecked.bottom - 5};
    EXPECT_EQ(picture.Count(RGB(0, 0, 0), empty), 0) << "the unchecked state image is empty inside";
    EXPECT_TRUE(tdl::test::SavePicture(*parent_, "tdl-tree.png"));
    DestroyWindow(tree_);
    ImageList_Destroy(images);
    ImageList_Destroy(states);
}

TEST_F(TreeView, AnInfoTipShowsAfterAHoverWithTheParentsText) {
    MakeTree(TVS_HASLINES | TVS_LINESATROOT | TVS_INFOTIP);
    const Sample s = Fill();
    infoTip_ = "Other: a second root";
    const RECT label = ItemRect(tree_, s.other, TRUE);
    win32::MouseMove(tree_, Middle(label));
    win32::PumpUiMessages();
    auto tip = reinterpret_cast<HWND>(SendMessageA(tree_, TVM_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tip, nullptr);
    win32::AdvanceUiClock(300);
    EXPECT_FALSE(IsWindowVisible(tip)) << "not before the hover delay";
    win32::AdvanceUiClock(300);
    EXPECT_TRUE(IsWindowVisible(tip));
    char text[64] = {};
    GetWindowTextA(tip, text, sizeof text);
    EXPECT_STREQ(text, "Other: a second root");
    ASSERT_EQ(Codes({TVN_GETINFOTIPA}).size(), 1u);
    const auto asked = std::find_if(notes_.begin(), notes_.end(), [](auto& n) { return n.code == TVN_GETINFOTIPA; });
    EXPECT_EQ(asked->newItem, s.other);
    EXPECT_EQ(asked->newParam, 5);
    RECT tipRect{};
    GetWindowRect(tip, &tipRect);
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_GT(tipRect.top, cursor.y);
    EXPECT_TRUE(tdl::test::SavePicture(tip, "tdl-infotip.png"));

    // Off the items the tip goes; a click does not bring it back on the same item.
    win32::MouseMove(tree_, {150, 140});
    win32::PumpUiMessages();
    EXPECT_FALSE(IsWindowVisible(tip));
    win32::Click(tree_, Middle(ItemRect(tree_, s.root, TRUE)));
    win32::AdvanceUiClock(1000);
    EXPECT_FALSE(IsWindowVisible(tip));
    DestroyWindow(tree_);
    EXPECT_FALSE(IsWindow(tip));
}

TEST_F(TreeView, AnInfoTipGoesWhenTheTreeScrollsItsItemAway) {
    MakeTree(TVS_HASLINES | TVS_LINESATROOT | TVS_INFOTIP, 200, 80);
    HTREEITEM second = nullptr;
    for (int i = 0; i < 20; ++i) {
        const std::string text = "Item " + std::to_string(i);
        HTREEITEM item = Insert(TVI_ROOT, text.c_str(), i);
        if (i == 1)
            second = item;
    }
    auto tip = [&] { return reinterpret_cast<HWND>(SendMessageA(tree_, TVM_GETTOOLTIPS, 0, 0)); };
    auto showOver = [&](HTREEITEM item) {
        win32::MouseMove(tree_, Middle(ItemRect(tree_, item, TRUE)));
        win32::AdvanceUiClock(600);
        return tip() != nullptr && IsWindowVisible(tip());
    };
    struct Case {
        const char* how;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"a line down", WM_VSCROLL, SB_LINEDOWN},
        {"the wheel", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        SendMessageA(tree_, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(second));
        ASSERT_TRUE(showOver(second));
        SendMessageA(tree_, c.message, c.wParam, 0);
        win32::PumpUiMessages();
        EXPECT_FALSE(IsWindowVisible(tip()));
        // The item under the mouse now has its own tip once the mouse moves.
        win32::AdvanceUiClock(1000);
        EXPECT_FALSE(IsWindowVisible(tip()));
    }
    DestroyWindow(tree_);
}

} // namespace
