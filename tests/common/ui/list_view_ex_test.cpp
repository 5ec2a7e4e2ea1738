// The full-row list: the shortening rule from a table, rows rendered into
// memory, and the highlight as the screen shows it when the focus comes and goes.
#include "common/ui/list_view_ex.h"
#include "common/ui/resources.h"
#include "tests/support/gui_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dc.h>
#include <wx/image.h>
#include <wx/settings.h>

namespace {

using testsupport::PumpUntil;

// Widths as a font might give them: ASCII 6 pixels, anything wider 12 per character.
int Measure(const std::string& s) {
    int w = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) w += 6;
        else if ((c & 0xC0) != 0x80) w += 12;
    }
    return w;
}

TEST(MakeShortString, CutsToTheLongestFittingPrefixAtACharacterBoundary) {
    const struct {
        const char* text;
        int width, offset;
        const char* want;
    } rows[] = {
        {"", 0, 4, ""},
        {"abc", 22, 4, "abc"},            // 18 + 4 fits exactly
        {"abc", 21, 12, "a..."},          // nothing shorter fits: the first character stays
        {"x", 5, 4, "x..."},              // one byte that does not fit keeps that byte
        {"abcdefg", 6 * 3 + 18 + 4, 4, "abc..."},
        {"abcdefg", 6 * 3 + 18 + 3, 4, "ab..."},
        {"日本語テキスト", 12 * 3 + 18 + 12, 12, "日本語..."},
        {"日本語テキスト", 12 * 3 + 18 + 11, 12, "日本..."},
        {"日", 3, 4, "日..."},            // a one-character Japanese text is not split
        {"ab日本語", 6 * 2 + 12 + 18 + 4, 4, "ab日..."},
        {"\xff\xfe\xfd", 6 + 18 + 4, 4, "\xff..."},  // not UTF-8: cut by bytes
    };
    for (const auto& r : rows) {
        const std::string got = listviewex::MakeShortString(r.text, r.width, r.offset, Measure);
        EXPECT_EQ(got, r.want) << r.text << " in " << r.width;
        if (!wxString::FromUTF8(r.text).empty()) {
            EXPECT_FALSE(wxString::FromUTF8(got).empty()) << "cut inside a character: " << got;
        }
    }
}

struct Span {
    int left = -1, right = -1;
};

bool Near(const wxColour& a, unsigned char r, unsigned char g, unsigned char b) {
    return std::abs(a.Red() - r) + std::abs(a.Green() - g) + std::abs(a.Blue() - b) < 30;
}

class ListViewExTest : public testsupport::FrameTest {
protected:
    void SetUp() override {
        other_ = new wxButton(panel_, wxID_ANY, "other", wxPoint(5, 200), wxSize(80, 30));
        list_ = new CListViewEx(panel_, wxID_ANY, wxPoint(5, 5), wxSize(400, 180));
        list_->SetFont(ui::DialogFont(wxString::FromUTF8("ＭＳ Ｐゴシック"), 9));
        list_->InsertColumn(0, wxString::FromUTF8("サーバアドレス"), CListViewEx::Align::Left, 100);
        list_->InsertColumn(1, "port", CListViewEx::Align::Right, 80);
        list_->InsertItem(0, "ftp.example.jp");
        list_->SetItemText(0, 1, "21");
        list_->InsertItem(1, "second");
        list_->SetItemText(1, 1, "2121");
        testsupport::ShowAndSettle(frame_);
    }

    // Row `row` drawn into memory as wide as the list's row area.
    wxImage Render(int row) {
        const wxRect bounds = list_->GetItemRect(row);
        return testsupport::RenderImage({list_->ClientWidth(), bounds.height}, [&](wxDC& dc) {
            dc.SetFont(list_->GetFont());
            list_->DrawItem(dc, row, wxRect(0, 0, bounds.width, bounds.height));
        });
    }

    // Columns between x0 and x1 holding a pixel far from the fill colour.
    static Span Ink(const wxImage& img, int x0, int x1, const wxColour& fill) {
        Span s;
        for (int x = x0; x < x1; ++x)
            for (int y = 0; y < img.GetHeight(); ++y)
                if (!Near(wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)), fill.Red(), fill.Green(),
                          fill.Blue())) {
                    if (s.left < 0) s.left = x;
                    s.right = x;
                    break;
                }
        return s;
    }

    wxButton* other_ = nullptr;
    CListViewEx* list_ = nullptr;
};

TEST_F(ListViewExTest, RightAlignedCellMovesLeftOnceShortened) {
    const wxColour bg = list_->GetTextBkColour();
    Span fits = Ink(Render(0), 100, 180, bg);
    ASSERT_GE(fits.left, 0);
    EXPECT_GT(fits.left, 140) << "a fitting number sits at the right of its column";
    EXPECT_LE(fits.right, 180 - 6);

    list_->SetItemText(0, 1, "1234567890123456789");
    Span cut = Ink(Render(0), 100, 180, bg);
    ASSERT_GE(cut.left, 0);
    EXPECT_LE(cut.left, 100 + 6 + 2) << "a shortened text starts at the column's left";
    EXPECT_LE(cut.right, 180 + 8) << "and ends near the column's edge";
}

TEST_F(ListViewExTest, HighlightRunsToTheClientEdgeOnlyWithFocusOrShowSelectionAlways) {
    list_->SelectOnly(1);
    const wxColour hl = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    auto at = [](const wxImage& img, int x) {
        return wxColour(img.GetRed(x, img.GetHeight() / 2), img.GetGreen(x, img.GetHeight() / 2),
                        img.GetBlue(x, img.GetHeight() / 2));
    };
    other_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return !list_->ListHasFocus(); }));
    const int edge = list_->ClientWidth() - 2;
    ASSERT_GT(edge, 180 + 50) << "the columns must end well before the edge";
    EXPECT_FALSE(Near(at(Render(1), edge), hl.Red(), hl.Green(), hl.Blue()));

    list_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return list_->ListHasFocus(); }));
    const wxImage focused = Render(1);
    EXPECT_TRUE(Near(at(focused, edge), hl.Red(), hl.Green(), hl.Blue())) << "past the last column";
    EXPECT_TRUE(Near(at(focused, 150), hl.Red(), hl.Green(), hl.Blue()));
    EXPECT_FALSE(Near(at(Render(0), edge), hl.Red(), hl.Green(), hl.Blue())) << "an unselected row";

    other_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return !list_->ListHasFocus(); }));
    list_->SetShowSelectionAlways(true);
    EXPECT_TRUE(Near(at(Render(1), edge), hl.Red(), hl.Green(), hl.Blue()));
}

TEST_F(ListViewExTest, TheScreenFollowsTheFocus) {
    list_->SelectOnly(0);
    const wxColour hl = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    // What the screen shows in the middle of row 0, right of the last column,
    // read from the X server as a screenshot tool does.
    auto shownHighlighted = [&] {
        wxRect r = list_->GetItemRect(0);
        wxPoint p = list_->Body()->ClientToScreen(wxPoint(list_->ClientWidth() - 10, r.y + r.height / 2));
        auto shot = testsupport::RunProgram(
            {"/usr/bin/import", "-window", "root", "-crop", wxString::Format("1x1+%d+%d", p.x, p.y).ToStdString(), "-depth", "8", "txt:-"});
        const size_t hash = shot.out.find('#', shot.out.find("0,0:"));
        if (hash == std::string::npos) return false;
        const unsigned long rgb = std::stoul(shot.out.substr(hash + 1, 6), nullptr, 16);
        return Near(wxColour(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF), hl.Red(), hl.Green(), hl.Blue());
    };
    other_->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return !shownHighlighted(); }));
    list_->SetFocus();
    EXPECT_TRUE(PumpUntil(shownHighlighted)) << "gaining the focus repaints the selected row";
    other_->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return !shownHighlighted(); })) << "losing it repaints it plain";
}

TEST_F(ListViewExTest, KeysMoveTheSelectionAndTheTextBackgroundFillsTheRow) {
    list_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return list_->ListHasFocus(); }));
    wxKeyEvent down(wxEVT_KEY_DOWN);
    down.m_keyCode = WXK_DOWN;
    list_->Body()->GetEventHandler()->ProcessEvent(down);
    EXPECT_EQ(list_->GetFirstSelected(), 0);
    list_->Body()->GetEventHandler()->ProcessEvent(down);
    list_->Body()->GetEventHandler()->ProcessEvent(down);
    EXPECT_EQ(list_->GetFirstSelected(), 1) << "the last row stays selected";
    EXPECT_EQ(list_->GetFocusedItem(), 1);
    EXPECT_EQ(list_->GetItemState(0) & CListViewEx::kSelected, 0u);

    list_->SetTextBkColour(wxColour(1, 2, 3));
    list_->SetTextColour(wxColour(4, 5, 6));
    list_->SetBkColour(wxColour(7, 8, 9));
    const wxImage img = Render(0);
    EXPECT_TRUE(Near(wxColour(img.GetRed(60, 1), img.GetGreen(60, 1), img.GetBlue(60, 1)), 1, 2, 3))
        << "an unselected row is filled with the text background";
}

}  // namespace
