// The command bar: its geometry and hit testing from tables, what it draws
// (rendered into memory), and how a real window answers the mouse.
#include "common/ui/outbar.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/imaglist.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <memory>
#include <string>

namespace {

using outbar::HitKind;
using outbar::LayoutInput;
using testsupport::Pump;
using testsupport::PumpUntil;

LayoutInput Input(int folders, int selected, int items, bool small, int firstVisible = 0) {
    LayoutInput in;
    in.client = wxSize(150, 400);
    in.folderCount = folders;
    in.selectedFolder = selected;
    in.smallIcons = small;
    in.firstVisible = firstVisible;
    in.arrowSize = 16;
    for (int i = 0; i < items; ++i)
        in.items.push_back({small ? wxSize(16, 16) : wxSize(32, 32), wxSize(40, 13)});
    return in;
}

TEST(OutBarGeometry, ArrowsAppearWhenItemsDoNotFitAndScrollingStopsAtTheLast) {
    LayoutInput in = Input(3, 0, 7, false);
    EXPECT_EQ(outbar::UpArrowRect(in), wxRect(129, 26, 16, 16));
    EXPECT_EQ(outbar::DownArrowRect(in), wxRect(129, 335, 16, 16));
    struct Case {
        int items, firstVisible;
        bool up, down, canScroll;
    } cases[] = {
        {5, 0, false, false, false},  // the fifth ends at 338, inside 356
        {6, 0, false, true, true},    {7, 0, false, true, true}, {7, 1, true, true, true},
        {7, 2, true, false, false},   // the last now ends inside: no further step
        {0, 0, false, false, false},
    };
    for (const Case& c : cases) {
        LayoutInput l = Input(3, 0, c.items, false, c.firstVisible);
        SCOPED_TRACE(testing::Message() << c.items << " items from " << c.firstVisible);
        EXPECT_EQ(outbar::UpArrowNeeded(l), c.up);
        EXPECT_EQ(outbar::DownArrowNeeded(l), c.down);
        EXPECT_EQ(outbar::CanScrollDown(l), c.canScroll);
    }
}

TEST(OutBarGeometry, HitTestTable) {
    struct Case {
        bool small, downShown;
        wxPoint p;
        HitKind kind;
        int index;
    } cases[] = {
        {false, true, {10, 5}, HitKind::Header, 0},
        {false, true, {10, 360}, HitKind::Header, 1},
        {false, true, {10, 399}, HitKind::Header, 2},
        {false, true, {75, 40}, HitKind::Item, 0},    // icon
        {false, true, {90, 65}, HitKind::Item, 0},    // caption
        {false, true, {20, 40}, HitKind::None, -1},   // large: the row beside the icon is nothing
        {false, true, {75, 59}, HitKind::None, -1},   // between icon and caption
        {false, true, {75, 95}, HitKind::Item, 1},
        {false, true, {135, 340}, HitKind::DownArrow, -1},
        {false, false, {135, 340}, HitKind::None, -1},
        {false, true, {75, 351}, HitKind::Item, 5},   // partly shown item
        {false, true, {75, 357}, HitKind::Header, 1}, // its icon runs on under the header
        {true, false, {30, 30}, HitKind::Item, 0},    // small: the whole row
        {true, false, {70, 30}, HitKind::None, -1},
        {true, false, {10, 48}, HitKind::None, -1},   // the gap between rows
        {true, false, {10, 55}, HitKind::Item, 1},
    };
    for (const Case& c : cases) {
        LayoutInput in = Input(3, 0, 7, c.small);
        outbar::Hit hit = outbar::HitTest(in, c.p, false, c.downShown);
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y);
        EXPECT_EQ(hit.kind, c.kind);
        EXPECT_EQ(hit.index, c.index);
    }
    LayoutInput scrolled = Input(3, 0, 7, false, 1);
    EXPECT_EQ(outbar::HitTest(scrolled, {135, 30}, true, true).kind, HitKind::UpArrow);
    EXPECT_EQ(outbar::HitTest(scrolled, {75, 40}, true, true).index, 1) << "scrolled by one";
}

TEST(OutBarGeometry, CaptionsWrapAtSpacesThenBetweenCharacters) {
    wxBitmap scratch(1, 1);
    wxMemoryDC dc(scratch);
    dc.SetFont(*wxNORMAL_FONT);
    const int width = dc.GetTextExtent("abcdefghij").x;
    struct Case {
        const char* text;
        size_t lines;
    } cases[] = {
        {"", 1},
        {"short", 1},
        {"abcde fghij klmno", 3},
        {"abcdefghijabcdefghijab", 3},  // one word three lines long
        {"first\nsecond", 2},
        {"アップロードしたファイルの一覧を表示します", 0},  // no spaces: broken between characters
    };
    for (const Case& c : cases) {
        auto lines = outbar::WrapCaption(dc, wxString::FromUTF8(c.text), width);
        SCOPED_TRACE(c.text);
        ASSERT_FALSE(lines.empty());
        if (c.lines) {
            EXPECT_EQ(lines.size(), c.lines);
        }
        wxString joined;
        for (const wxString& line : lines) {
            EXPECT_LE(dc.GetTextExtent(line).x, width) << line;
            EXPECT_FALSE(line.StartsWith(" "));
            joined += line;
        }
        wxString expect = wxString::FromUTF8(c.text);
        expect.Replace(" ", "");
        expect.Replace("\n", "");
        joined.Replace(" ", "");
        EXPECT_EQ(joined, expect) << "nothing lost";
    }
    EXPECT_EQ(outbar::WrapCaption(dc, "wide", 1).size(), 4u) << "a line narrower than one letter still advances";
}

// ---- The control -----------------------------------------------------------

wxBitmap Solid(const wxColour& c, int size) {
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), c.Red(), c.Green(), c.Blue());
    return wxBitmap(image);
}

constexpr auto Same = &testsupport::SameColour;

class OutBarTest : public testsupport::FrameTest {
protected:
    void SetUp() override {
        images_ = std::make_unique<wxImageList>(32, 32, true, 0);
        images_->Add(Solid(*wxRED, 32));
        images_->Add(Solid(*wxBLUE, 32));
        panel_->Bind(EVT_OUTBAR_NOTIFY, [this](COutBarEvent& e) {
            codes_.push_back(e.Code());
            values_.push_back(e.Value());
            drop_ = e.Drop();
            e.SetAnswer(consent_);
        });
    }
    CGfxOutBarCtrl* Make(std::uint32_t flags, int items, int height = 400) {
        bar_ = new CGfxOutBarCtrl;
        EXPECT_TRUE(bar_->CreateBar(0, wxRect(10, 10, 150, height), panel_, 4242, flags));
        bar_->AssignImageList(images_.get(), CGfxOutBarCtrl::kLargeImageList);
        bar_->AppendFolder(wxString::FromUTF8("操作"), 7);
        bar_->AppendFolder(wxString::FromUTF8("ヘルプ"), 8);
        for (int i = 0; i < items; ++i) bar_->InsertFolderItem(0, -1, wxString::Format("item %d", i), i % 2, 100 + i);
        bar_->animationStepDelay = 0;
        testsupport::ShowAndSettle(frame_);
        bar_->SelectFolder(0);
        codes_.clear();
        values_.clear();
        Pump(50);
        return bar_;
    }
    wxPoint IconCentre(int item) {
        wxRect r = outbar::IconRect(bar_->Layout(), item);
        return {r.x + r.width / 2, r.y + r.height / 2};
    }
    void Mouse(wxEventType type, wxPoint at, bool leftDown) { testsupport::SendMouse(bar_, type, at, leftDown); }
    wxImage Render() {
        const wxSize size = bar_->GetClientSize();
        return testsupport::RenderImage(size, [&](wxDC& dc) { bar_->Render(dc, size); });
    }
    std::vector<wxString> Captions() {
        std::vector<wxString> out;
        for (int i = 0; i < bar_->ItemCount(0); ++i) out.push_back(bar_->ItemCaption(0, i));
        return out;
    }

    CGfxOutBarCtrl* bar_ = nullptr;
    std::unique_ptr<wxImageList> images_;
    std::vector<int> codes_, values_;
    COutBarEvent::DropRecord drop_;
    long consent_ = 0;
};

TEST_F(OutBarTest, OperationsInsertAndSelect) {
    Make(CGfxOutBarCtrl::kDefaultFlags, 2);
    EXPECT_EQ(bar_->FolderCount(), 2);
    EXPECT_EQ(bar_->InsertFolderItem(0, -1, "last", 0), 2);
    EXPECT_EQ(bar_->InsertFolderItem(0, 0, "first", 0), 0);
    EXPECT_EQ(bar_->InsertFolderItem(0, 99, "beyond", 0), 4);
    EXPECT_EQ(bar_->InsertFolderItem(5, 0, "no folder", 0), -1);
    EXPECT_EQ(Captions(), (std::vector<wxString>{"first", "item 0", "item 1", "last", "beyond"}));
    EXPECT_EQ(bar_->SelectedFolderItemCount(), 5);
    EXPECT_EQ(bar_->ItemData(0, 1), 100u);
    EXPECT_FALSE(bar_->UsesSmallIcons());

    bar_->animationStepDelay = 1;  // the slide runs, briefly
    bar_->SelectFolder(1);
    EXPECT_EQ(bar_->SelectedFolder(), 1);
    EXPECT_EQ(bar_->SelectedFolderItemCount(), 0);
    bar_->animationStepDelay = -1;
    bar_->SelectFolder(0);
    bar_->SelectFolder(9);  // names no folder: ignored
    EXPECT_EQ(codes_, (std::vector<int>{5, 5}));
    EXPECT_EQ(values_, (std::vector<int>{1, 0}));
    EXPECT_EQ(bar_->SelectedFolder(), 0);
}

TEST_F(OutBarTest, DrawsHeadersIconsHoverAndSelectionFrames) {
    Make(CGfxOutBarCtrl::kDefaultFlags | CGfxOutBarCtrl::kSelHighlight, 3);
    LayoutInput in = bar_->Layout();
    wxImage img = Render();
    EXPECT_TRUE(Same(img, {3, outbar::HeaderRect(in, 1).y + 4}, bar_->faceColour)) << "the second folder's header";
    EXPECT_TRUE(Same(img, IconCentre(0), *wxRED));
    EXPECT_TRUE(Same(img, IconCentre(1), *wxBLUE));
    int dark = 0;
    wxRect caption = outbar::CaptionRect(in, 0);
    for (int y = caption.y; y < caption.y + caption.height; ++y)
        for (int x = caption.x; x < caption.x + caption.width; ++x) dark += img.GetRed(x, y) < 80;
    EXPECT_GT(dark, 10) << "caption drawn";

    wxRect frame = outbar::FrameRect(in, 1);
    EXPECT_TRUE(Same(img, frame.GetTopLeft(), bar_->backgroundColour)) << "no frame before hovering";
    Mouse(wxEVT_MOTION, IconCentre(1), false);
    EXPECT_EQ(bar_->HotItem(), 1);
    img = Render();
    EXPECT_TRUE(Same(img, frame.GetTopLeft(), bar_->faceColour)) << "raised";
    EXPECT_TRUE(Same(img, frame.GetBottomRight(), bar_->darkShadowColour));
    Mouse(wxEVT_LEFT_DOWN, IconCentre(1), true);
    img = Render();
    EXPECT_TRUE(Same(img, frame.GetTopLeft(), bar_->darkShadowColour)) << "pressed: sunken";
    Mouse(wxEVT_LEFT_UP, IconCentre(1), false);
    Mouse(wxEVT_MOTION, {3, outbar::ItemArea(in).y + 2}, false);
    EXPECT_EQ(bar_->HotItem(), -1);
    img = Render();
    EXPECT_EQ(bar_->SelectedItem(), 1);
    EXPECT_TRUE(Same(img, frame.GetTopLeft(), bar_->darkShadowColour)) << "selection stays sunken";
    EXPECT_TRUE(Same(img, frame.GetBottomRight(), bar_->faceColour));
}

TEST_F(OutBarTest, ClickOnlyWhenReleasedOverThePressedItem) {
    Make(CGfxOutBarCtrl::kDefaultFlags & ~CGfxOutBarCtrl::kDragItems, 3);
    const wxPoint off(3, outbar::ItemArea(bar_->Layout()).y + 2);
    Mouse(wxEVT_LEFT_DOWN, IconCentre(0), true);
    Mouse(wxEVT_LEFT_UP, IconCentre(0), false);
    Mouse(wxEVT_LEFT_DOWN, IconCentre(2), true);
    Mouse(wxEVT_MOTION, IconCentre(1), true);
    Mouse(wxEVT_MOTION, IconCentre(2), true);  // back again
    Mouse(wxEVT_LEFT_UP, IconCentre(2), false);
    EXPECT_EQ(codes_, (std::vector<int>{1, 1}));
    EXPECT_EQ(values_, (std::vector<int>{0, 2}));

    Mouse(wxEVT_LEFT_DOWN, IconCentre(0), true);
    Mouse(wxEVT_LEFT_UP, IconCentre(1), false);  // another item
    Mouse(wxEVT_LEFT_DOWN, IconCentre(0), true);
    Mouse(wxEVT_MOTION, off, true);
    EXPECT_FALSE(bar_->IsDragging()) << "dragging is off";
    Mouse(wxEVT_LEFT_UP, off, false);
    Mouse(wxEVT_LEFT_DOWN, off, true);  // not on an item
    Mouse(wxEVT_LEFT_UP, IconCentre(0), false);
    EXPECT_EQ(codes_.size(), 2u) << "nothing more was sent";
    EXPECT_FALSE(bar_->HasCapture());
}

TEST_F(OutBarTest, DragMovesOnlyWithTheOwnersConsent) {
    Make(CGfxOutBarCtrl::kDefaultFlags, 3);
    const std::vector<wxString> start = Captions();
    const wxPoint off(3, outbar::ItemArea(bar_->Layout()).y + 2);
    wxRect last = outbar::ItemRect(bar_->Layout(), 2);
    const wxPoint end(75, last.y + last.height + 20);
    auto drag = [&](int from, wxPoint to) {
        Mouse(wxEVT_LEFT_DOWN, IconCentre(from), true);
        Mouse(wxEVT_MOTION, off, true);
        EXPECT_TRUE(bar_->IsDragging());
        Mouse(wxEVT_MOTION, to, true);
        Mouse(wxEVT_LEFT_UP, to, false);
    };

    consent_ = 0;
    drag(0, end);
    ASSERT_EQ(codes_, std::vector<int>{4});
    EXPECT_EQ(drop_.folder, 0);
    EXPECT_EQ(drop_.item, 0);
    EXPECT_EQ(drop_.target, 3);
    EXPECT_EQ(drop_.marker, 2);
    EXPECT_EQ(Captions(), start) << "refused: nothing moves";

    consent_ = 1;
    drag(0, end);
    EXPECT_EQ(Captions(), (std::vector<wxString>{"item 1", "item 2", "item 0"}));
    drag(2, IconCentre(0));  // before the first
    EXPECT_EQ(Captions(), start);
    drag(0, IconCentre(2));  // onto the third: lands before it
    EXPECT_EQ(Captions(), (std::vector<wxString>{"item 1", "item 0", "item 2"}));
    EXPECT_EQ(bar_->ItemData(0, 1), 100u) << "user values travel with their items";

    codes_.clear();
    drag(1, IconCentre(1));                         // back on itself
    drag(1, outbar::HeaderRect(bar_->Layout(), 1).GetTopLeft() + wxPoint(5, 5));  // not a drop place
    EXPECT_TRUE(codes_.empty());
    EXPECT_FALSE(bar_->IsDragging());
}

TEST_F(OutBarTest, DownArrowRepeatsWhileHeldAndBringsTheUpArrow) {
    Make(CGfxOutBarCtrl::kDefaultFlags, 10, 300);
    Pump(50);
    ASSERT_TRUE(bar_->DownArrowShown());
    EXPECT_FALSE(bar_->UpArrowShown());
    wxRect arrow = outbar::DownArrowRect(bar_->Layout());
    wxUIActionSimulator sim;
    sim.MouseMove(bar_->ClientToScreen(arrow.GetTopLeft() + wxPoint(arrow.width / 2, arrow.height / 2)));
    Pump(100);
    sim.MouseDown();
    EXPECT_TRUE(PumpUntil([this] { return bar_->FirstVisibleItem() >= 2; }, 3000)) << "no repeat while held";
    sim.MouseUp();
    ASSERT_TRUE(PumpUntil([this] { return !bar_->HasCapture(); }));
    Pump(50);
    EXPECT_TRUE(bar_->UpArrowShown());
    const int reached = bar_->FirstVisibleItem();
    Pump(700);
    EXPECT_EQ(bar_->FirstVisibleItem(), reached) << "stops when released";

    bar_->SelectFolder(1);
    bar_->SelectFolder(0);
    EXPECT_EQ(bar_->FirstVisibleItem(), 0) << "a folder opens at its top";
}

TEST_F(OutBarTest, HoverFrameLeavesWithThePointer) {
    Make(CGfxOutBarCtrl::kDefaultFlags, 3);
    wxUIActionSimulator sim;
    sim.MouseMove(bar_->ClientToScreen(IconCentre(1)));
    ASSERT_TRUE(PumpUntil([this] { return bar_->HotItem() == 1; }));
    sim.MouseMove(frame_->GetScreenRect().GetBottomRight() + wxPoint(30, 30));
    EXPECT_TRUE(PumpUntil([this] { return bar_->HotItem() == -1; }, 2000));
}

TEST_F(OutBarTest, FolderWithChildWindowShowsItInsteadOfItems) {
    Make(CGfxOutBarCtrl::kDefaultFlags, 10, 300);
    auto* child = new wxPanel(panel_);
    ASSERT_TRUE(bar_->SetFolderChild(0, child));
    EXPECT_EQ(child->GetParent(), bar_);
    bar_->SelectFolder(0);
    Pump(50);
    codes_.clear();
    EXPECT_TRUE(child->IsShown());
    EXPECT_EQ(child->GetRect(), outbar::ItemArea(bar_->Layout()));
    EXPECT_FALSE(bar_->DownArrowShown()) << "no arrows over a child window";
    wxImage img = Render();
    EXPECT_TRUE(Same(img, {5, outbar::ItemArea(bar_->Layout()).y + 5}, *wxWHITE)) << "item area left to the child";
    Mouse(wxEVT_LEFT_DOWN, {75, 50}, true);
    Mouse(wxEVT_LEFT_UP, {75, 50}, false);
    EXPECT_TRUE(codes_.empty());
    bar_->SelectFolder(1);
    EXPECT_FALSE(child->IsShown());
    EXPECT_FALSE(bar_->SetFolderChild(4, child));
}

}  // namespace
