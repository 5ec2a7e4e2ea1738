// The image push button as a user meets it: what it draws (rendered into
// memory and measured), and how it answers the pointer and the keyboard.
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

namespace {

using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::SendKey;
using testsupport::SendMouse;

constexpr int kW = 140, kH = 32;

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
    double centreX() const { return (left + right + 1) / 2.0; }
    double centreY() const { return (top + bottom + 1) / 2.0; }
    void Add(int x, int y) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
};

bool Same(const wxImage& img, int x, int y, const wxColour& c) { return testsupport::SameColour(img, {x, y}, c); }

class ImageButtonTest : public testsupport::FrameTest {
protected:
    void SetUp() override { panel_->SetFont(ui::DialogFont(wxString::FromUTF8("ＭＳ Ｐゴシック"), 9)); }

    CImageButton* Make(const char* label, long style = 0) {
        auto* b = new CImageButton(panel_, 1002, wxString::FromUTF8(label), wxPoint(10, 10), wxSize(kW, kH), style);
        b->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) {
            ++clicks_;
            lastId_ = e.GetId();
        });
        return b;
    }

    wxImage Render(CImageButton* b, CImageButton::ItemState state = {}) {
        return testsupport::RenderImage({kW, kH}, [&](wxDC& dc) { b->DrawItem(dc, wxRect(0, 0, kW, kH), state); });
    }

    static Box Find(const wxImage& img, const std::function<bool(int, int)>& match) {
        Box box;
        for (int y = 0; y < img.GetHeight(); ++y)
            for (int x = 0; x < img.GetWidth(); ++x)
                if (match(x, y)) box.Add(x, y);
        return box;
    }
    static Box Red(const wxImage& img) {
        return Find(img, [&](int x, int y) { return img.GetRed(x, y) > 200 && img.GetGreen(x, y) < 60; });
    }
    // Text pixels: clearly darker than the face colour, and not the icon.
    static Box Text(const wxImage& img) {
        return Find(img, [&](int x, int y) {
            return img.GetRed(x, y) + img.GetGreen(x, y) + img.GetBlue(x, y) < 3 * 128 && img.GetGreen(x, y) > 0 &&
                   !(img.GetRed(x, y) > 200 && img.GetGreen(x, y) < 60);
        });
    }

    int clicks_ = 0;
    int lastId_ = 0;
};

TEST_F(ImageButtonTest, AmpersandUnderlinesTheNextLetterAndIsNotDrawn) {
    CImageButton* with = Make("閉じる(&C)");
    CImageButton* without = Make("閉じる(C)");
    wxImage a = Render(with), b = Render(without);
    Box differs = Find(a, [&](int x, int y) {
        return a.GetRed(x, y) != b.GetRed(x, y) || a.GetGreen(x, y) != b.GetGreen(x, y);
    });
    ASSERT_FALSE(differs.empty()) << "no underline drawn";
    Box text = Text(b);
    // Only the underline differs: a thin run under one letter, near the end of the caption.
    EXPECT_LE(differs.bottom - differs.top, 2);
    EXPECT_GE(differs.top, text.centreY());
    EXPECT_LT(differs.right - differs.left, (text.right - text.left) / 3);
    EXPECT_GT(differs.left, text.centreX());
}

TEST_F(ImageButtonTest, FlatButtonShowsItsBorderOnlyWhileThePointerIsOver) {
    CImageButton* b = Make("Flat");
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    ASSERT_NE(face, shadow);

    wxImage idle = Render(b);
    for (int x = 0; x < kW; ++x) ASSERT_TRUE(Same(idle, x, kH - 1, face)) << "border drawn while idle at x=" << x;

    SendMouse(b, wxEVT_ENTER_WINDOW, wxPoint(5, 5), false);
    EXPECT_TRUE(b->IsMouseOver());
    wxImage hot = Render(b);
    for (wxPoint p : {wxPoint(0, kH - 1), wxPoint(kW / 2, kH - 1), wxPoint(kW - 1, kH / 2)})
        EXPECT_TRUE(Same(hot, p.x, p.y, shadow)) << p.x << "," << p.y;
    EXPECT_TRUE(Same(hot, 0, 0, wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT)));

    SendMouse(b, wxEVT_LEAVE_WINDOW, wxPoint(-5, -5), false);
    EXPECT_FALSE(b->IsMouseOver());
    EXPECT_TRUE(Same(Render(b), kW / 2, kH - 1, face));

    // A press that began elsewhere does not light the button when dragged onto it.
    SendMouse(b, wxEVT_ENTER_WINDOW, wxPoint(5, 5), true);
    EXPECT_FALSE(b->IsMouseOver());
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(5, 5), false);
    EXPECT_EQ(clicks_, 0);
}

TEST_F(ImageButtonTest, ClassicDefaultButtonHasTheBlackFrameWithoutFocus) {
    CImageButton* def = Make("Default", CImageButton::kDefaultPushButton);
    def->SetFlat(false);
    wxImage img = Render(def);
    for (wxPoint p : {wxPoint(0, 0), wxPoint(kW - 1, kH - 1), wxPoint(kW / 2, 0)})
        EXPECT_TRUE(Same(img, p.x, p.y, *wxBLACK)) << p.x << "," << p.y;
    EXPECT_FALSE(Same(img, 1, 1, *wxBLACK));

    CImageButton* plain = Make("Plain");
    plain->SetFlat(false);
    EXPECT_TRUE(Same(Render(plain), 0, 0, wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT))) << "no frame";
    EXPECT_TRUE(Same(Render(plain, {false, true, false}), 0, 0, *wxBLACK)) << "focus brings the frame";
}

TEST_F(ImageButtonTest, IconsComeFromTheTableAndZeroMeansTheSameIcon) {
    static const char* const kRed[] = {"2 2 1 1", "r c #ff0000", "rr", "rr"};
    static const char* const kBlue[] = {"2 2 1 1", "b c #0000ff", "bb", "bb"};
    ui::RegisterIcons({{9001, nullptr, kRed}, {9002, nullptr, kBlue}});

    CImageButton* same = Make("A");
    same->SetIcon(9001, 0);
    EXPECT_FALSE(Red(Render(same)).empty()) << "normal state draws the hover icon";
    SendMouse(same, wxEVT_ENTER_WINDOW, wxPoint(3, 3), false);
    EXPECT_FALSE(Red(Render(same)).empty());

    CImageButton* two = Make("B");
    two->SetIcon(9001, 9002);
    EXPECT_TRUE(Red(Render(two)).empty()) << "normal state draws the second icon";
    SendMouse(two, wxEVT_ENTER_WINDOW, wxPoint(3, 3), false);
    EXPECT_FALSE(Red(Render(two)).empty()) << "hover draws the first";

    CImageButton* missing = Make("OK");
    missing->SetIcon(9999);
    EXPECT_EQ(missing->IconWidth(), 0);
    EXPECT_NEAR(Text(Render(missing)).centreX(), kW / 2.0, 2.5) << "no icon: no room kept for one";
}

TEST_F(ImageButtonTest, PressAndReleaseInsideClicksAndReleasingOutsideDoesNot) {
    CImageButton* b = Make("Go");
    testsupport::ShowAndSettle(frame_);

    SendMouse(b, wxEVT_LEFT_DOWN, wxPoint(5, 5), true);
    EXPECT_TRUE(b->CurrentState().selected);
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(6, 6), false);
    EXPECT_EQ(clicks_, 1);
    EXPECT_EQ(lastId_, 1002);
    EXPECT_FALSE(b->CurrentState().selected);

    SendMouse(b, wxEVT_LEFT_DOWN, wxPoint(5, 5), true);
    SendMouse(b, wxEVT_MOTION, wxPoint(kW + 20, 5), true);
    EXPECT_FALSE(b->CurrentState().selected) << "dragged off: drawn released";
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(kW + 20, 5), false);
    EXPECT_EQ(clicks_, 1);

    // A double click is two presses.
    SendMouse(b, wxEVT_LEFT_DOWN, wxPoint(5, 5), true);
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(5, 5), false);
    SendMouse(b, wxEVT_LEFT_DCLICK, wxPoint(5, 5), true);
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(5, 5), false);
    EXPECT_EQ(clicks_, 3);

    b->Disable();
    SendMouse(b, wxEVT_LEFT_DOWN, wxPoint(5, 5), true);
    SendMouse(b, wxEVT_LEFT_UP, wxPoint(5, 5), false);
    b->Click();
    EXPECT_EQ(clicks_, 3) << "a disabled button sends nothing";
    EXPECT_FALSE(b->AcceptsFocus());
}

TEST_F(ImageButtonTest, KeyboardSpaceEnterAndMnemonic) {
    CImageButton* b = Make("転送中断(&S)");
    testsupport::ShowAndSettle(frame_);

    SendKey(b, wxEVT_KEY_DOWN, WXK_SPACE);
    EXPECT_TRUE(b->CurrentState().selected);
    EXPECT_EQ(clicks_, 0) << "Space clicks on release";
    SendKey(b, wxEVT_KEY_UP, WXK_SPACE);
    EXPECT_EQ(clicks_, 1);
    SendKey(b, wxEVT_KEY_DOWN, WXK_RETURN);
    EXPECT_EQ(clicks_, 2);

    SendKey(frame_, wxEVT_CHAR_HOOK, 'S', wxMOD_ALT);
    EXPECT_EQ(clicks_, 3);
    SendKey(frame_, wxEVT_CHAR_HOOK, 'X', wxMOD_ALT);
    SendKey(frame_, wxEVT_CHAR_HOOK, 'S', 0);
    EXPECT_EQ(clicks_, 3) << "only Alt + the underlined letter";
}

TEST_F(ImageButtonTest, RealPointerLightsClicksAndLeaves) {
    CImageButton* b = Make("Real");
    testsupport::ShowAndSettle(frame_);
    wxUIActionSimulator sim;
    wxPoint centre = b->ClientToScreen(wxPoint(kW / 2, kH / 2));
    sim.MouseMove(centre);
    ASSERT_TRUE(PumpUntil([b] { return b->IsMouseOver(); })) << "hover not seen";
    sim.MouseClick();
    EXPECT_TRUE(PumpUntil([this] { return clicks_ == 1; }));
    sim.MouseMove(b->ClientToScreen(wxPoint(kW + 40, kH + 40)));
    EXPECT_TRUE(PumpUntil([b] { return !b->IsMouseOver(); }));
}

}  // namespace
