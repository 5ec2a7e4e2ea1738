// The push button of every dialog in the suite: an icon beside or above the
// caption, drawn flat with a border while the pointer is over it (or as a
// classic 3-D button), with its own tooltip. GTK buttons cannot be drawn by
// their owner, so this is a control of its own that behaves as a push button
// for the user: click, Space and Enter when focused, Alt + the "&" letter,
// the disabled state, and a wxEVT_BUTTON event carrying its id.
#pragma once

#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/cursor.h>

#include <cstdint>

class CImageButton : public wxControl {
public:
    // The template's default-push-button style bit.
    static constexpr long kDefaultPushButton = 0x0001;

    // What the button is drawn as; the paint handler derives it from the
    // pointer, the keyboard and the enabled state.
    struct ItemState {
        bool selected = false;  // pressed
        bool focus = false;
        bool disabled = false;
    };

    CImageButton() { Init(); }
    CImageButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = 0) {
        Init();
        Create(parent, id, label, pos, size, style);
    }
    bool Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    // Icons from the program's icon table: `hoverId` while hovered or
    // pressed, `normalId` otherwise (0: the hover icon again). A missing hover
    // icon turns icon drawing off. Repaints at once.
    void SetIcon(int hoverId, int normalId = 0, int size = 16);
    // The same with images the caller already holds.
    void SetIconBitmaps(const wxBitmap& hover, const wxBitmap& normal = wxBitmap());

    // Sets the tooltip's text and shows it on hover when `activate`, or keeps
    // it silent otherwise.
    void SetTooltipText(const wxString& text, bool activate = true);
    // The same from the string table; an unknown or empty string leaves the
    // tooltip as it was.
    void SetTooltipText(int stringId, bool activate = true);
    // Turns the tooltip on or off without changing its text.
    void ActivateTooltip(bool activate = true);
    const wxString& TooltipText() const { return tipText_; }
    bool TooltipActive() const { return tipActive_; }

    // Whether the button was created with kDefaultPushButton.
    bool GetDefault() const { return default_; }

    // Back to the system colours; repaint when asked.
    void SetDefaultInactiveBgColor(bool repaint = false);
    void SetDefaultInactiveFgColor(bool repaint = false);
    void SetDefaultActiveBgColor(bool repaint = false);
    void SetDefaultActiveFgColor(bool repaint = false);

    // Plain settings; they take effect at the next repaint.
    void SetAlign(int align) { align_ = align; }  // 0: icon left of the caption, 1: above it
    void SetShowText(bool show) { showText_ = show; }
    void SetDrawBorder(bool draw) { drawBorder_ = draw; }
    void SetFlat(bool flat) { flat_ = flat; }
    void SetFlatFocus(bool focus) { flatFocus_ = focus; }
    void SetButtonCursor(const wxCursor& cursor) { cursor_ = cursor; }
    // Paints the parent's background colour instead of the button face.
    void SetDrawTransparent(bool transparent) { transparent_ = transparent; }

    bool IsFlat() const { return flat_; }
    bool IsMouseOver() const { return mouseOver_; }
    int IconWidth() const { return iconWidth_; }
    int IconHeight() const { return iconHeight_; }

    // Draws the button for `state` into `dc` over `item` (client
    // coordinates). The paint handler uses it; the tests render with it.
    void DrawItem(wxDC& dc, const wxRect& item, const ItemState& state);
    // What the paint handler would draw now.
    ItemState CurrentState() const;

    // Sends the button event, as a click does.
    void Click();

    void SetLabel(const wxString& label) override;
    bool Enable(bool enable = true) override;
    bool AcceptsFocus() const override { return IsEnabled() && IsShown(); }
    bool HasTransparentBackground() override { return transparent_; }

protected:
    wxSize DoGetBestSize() const override;

private:
    void Init();
    void OnPaint(wxPaintEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnKillFocus(wxFocusEvent& event);
    void OnSetFocus(wxFocusEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);
    void OnTopLevelCharHook(wxKeyEvent& event);
    void DrawIcon(wxDC& dc, const wxRect& item, wxRect& caption, const ItemState& state, bool hasCaption);

    int align_ = 0;
    bool showText_ = true;
    bool drawBorder_ = true;
    bool flat_ = true;
    bool mouseOver_ = false;
    bool flatFocus_ = false;
    bool transparent_ = false;
    bool default_ = false;
    bool mousePressed_ = false;  // left button went down on us and is still down
    bool pointerInside_ = false;
    bool keyPressed_ = false;    // Space held while focused
    wxCursor cursor_;
    wxString tipText_;
    bool tipActive_ = false;
    wxBitmap hoverIcon_, normalIcon_;
    std::uint8_t iconWidth_ = 0, iconHeight_ = 0;
    wxColour inactiveBg_, inactiveFg_, activeBg_, activeFg_;
    wxChar mnemonic_ = 0;
    // No wx class information: the settings library carries its own copy of
    // this class, and wx refuses a class name registered twice in one process
    // (the manager shows the library's dialogs beside its own buttons).
};
