#include "common/ui/image_button.h"

#include "common/ui/resources.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/toplevel.h>
#include <wx/tooltip.h>

namespace {

wxColour Sys(wxSystemColour c) { return wxSystemSettings::GetColour(c); }

// Pixels of the axis-aligned polyline a -> b -> c, end point excluded, as a
// GDI pen of width 1 draws it. Filled rectangles instead of lines: cairo
// would smear a one-pixel line over two pixels.
void Polyline(wxDC& dc, const wxColour& colour, wxPoint a, wxPoint b, wxPoint c) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    auto segment = [&dc](wxPoint from, wxPoint to) {
        int x0 = std::min(from.x, to.x), x1 = std::max(from.x, to.x);
        int y0 = std::min(from.y, to.y), y1 = std::max(from.y, to.y);
        // The segment's end pixel belongs to the next segment, or to nobody at the very end.
        if (from.x == to.x) {
            if (to.y < from.y) ++y0; else --y1;
        } else {
            if (to.x < from.x) ++x0; else --x1;
        }
        if (x1 >= x0 && y1 >= y0) dc.DrawRectangle(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    };
    segment(a, b);
    segment(b, c);
}

void Frame(wxDC& dc, const wxColour& colour, const wxRect& r) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(r.x, r.y, r.width, 1);
    dc.DrawRectangle(r.x, r.y + r.height - 1, r.width, 1);
    dc.DrawRectangle(r.x, r.y, 1, r.height);
    dc.DrawRectangle(r.x + r.width - 1, r.y, 1, r.height);
}

}  // namespace

void CImageButton::Init() {
    SetDefaultInactiveBgColor();
    SetDefaultInactiveFgColor();
    SetDefaultActiveBgColor();
    SetDefaultActiveFgColor();
}

bool CImageButton::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                          const wxSize& size, long style) {
    default_ = (style & kDefaultPushButton) != 0;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, pos, size, (style & ~kDefaultPushButton) | wxBORDER_NONE | wxWANTS_CHARS))
        return false;
    SetLabel(label);
    SetInitialSize(size);

    Bind(wxEVT_PAINT, &CImageButton::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &CImageButton::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CImageButton::OnLeave, this);
    Bind(wxEVT_MOTION, &CImageButton::OnMotion, this);
    Bind(wxEVT_LEFT_DOWN, &CImageButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CImageButton::OnLeftDown, this);  // a double click is two presses
    Bind(wxEVT_LEFT_UP, &CImageButton::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CImageButton::OnCaptureLost, this);
    Bind(wxEVT_KILL_FOCUS, &CImageButton::OnKillFocus, this);
    Bind(wxEVT_SET_FOCUS, &CImageButton::OnSetFocus, this);
    Bind(wxEVT_KEY_DOWN, &CImageButton::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &CImageButton::OnKeyUp, this);
    Bind(wxEVT_SET_CURSOR, &CImageButton::OnSetCursor, this);
    // Mnemonics: GTK gives custom controls none, so the button watches its
    // dialog's keys. The binding goes away with the button.
    if (wxWindow* top = wxGetTopLevelParent(this)) top->Bind(wxEVT_CHAR_HOOK, &CImageButton::OnTopLevelCharHook, this);
    if (default_)
        if (auto* tlw = wxDynamicCast(wxGetTopLevelParent(this), wxTopLevelWindow)) tlw->SetDefaultItem(this);
    return true;
}

void CImageButton::SetLabel(const wxString& label) {
    wxControl::SetLabel(label);
    int index = FindAccelIndex(label);
    mnemonic_ = 0;
    if (index >= 0) {
        wxString stripped = RemoveMnemonics(label);
        if (static_cast<size_t>(index) < stripped.length()) mnemonic_ = wxToupper(stripped[index]);
    }
    InvalidateBestSize();
    Refresh();
}

bool CImageButton::Enable(bool enable) {
    bool changed = wxControl::Enable(enable);
    if (!enable) {
        mousePressed_ = keyPressed_ = mouseOver_ = false;
        if (HasCapture()) ReleaseMouse();
    }
    Refresh();
    return changed;
}

void CImageButton::SetIcon(int hoverId, int normalId, int size) {
    wxBitmap hover = ui::LoadBitmap(hoverId, size);
    wxBitmap normal = normalId == 0 ? hover : ui::LoadBitmap(normalId, size);
    SetIconBitmaps(hover, normal);
}

void CImageButton::SetIconBitmaps(const wxBitmap& hover, const wxBitmap& normal) {
    hoverIcon_ = hover;
    normalIcon_ = normal.IsOk() ? normal : hover;
    // Kept in 8 bits, as the size of a button icon always fits.
    iconWidth_ = static_cast<std::uint8_t>(hover.IsOk() ? hover.GetWidth() : 0);
    iconHeight_ = static_cast<std::uint8_t>(hover.IsOk() ? hover.GetHeight() : 0);
    InvalidateBestSize();
    Refresh();
    Update();
}

void CImageButton::SetTooltipText(const wxString& text, bool activate) {
    tipText_ = text;
    ActivateTooltip(activate);
}

void CImageButton::SetTooltipText(int stringId, bool activate) {
    wxString text = ui::LoadString(stringId);
    if (text.empty()) return;
    SetTooltipText(text, activate);
}

void CImageButton::ActivateTooltip(bool activate) {
    tipActive_ = activate;
    if (activate && !tipText_.empty())
        SetToolTip(tipText_);
    else
        UnsetToolTip();
}

void CImageButton::SetDefaultInactiveBgColor(bool repaint) {
    inactiveBg_ = Sys(wxSYS_COLOUR_BTNFACE);
    if (repaint) Refresh();
}
void CImageButton::SetDefaultInactiveFgColor(bool repaint) {
    inactiveFg_ = Sys(wxSYS_COLOUR_BTNTEXT);
    if (repaint) Refresh();
}
void CImageButton::SetDefaultActiveBgColor(bool repaint) {
    activeBg_ = Sys(wxSYS_COLOUR_BTNFACE);
    if (repaint) Refresh();
}
void CImageButton::SetDefaultActiveFgColor(bool repaint) {
    activeFg_ = Sys(wxSYS_COLOUR_BTNTEXT);
    if (repaint) Refresh();
}

wxSize CImageButton::DoGetBestSize() const {
    wxClientDC dc(const_cast<CImageButton*>(this));
    dc.SetFont(GetFont());
    wxSize text = showText_ ? dc.GetTextExtent(RemoveMnemonics(GetLabel())) : wxSize(0, 0);
    int w = text.x + 16, h = text.y + 10;
    if (hoverIcon_.IsOk()) {
        if (align_ == 0) {
            w += iconWidth_ + 3;
            h = std::max(h, iconHeight_ + 8);
        } else {
            w = std::max(w, iconWidth_ + 8);
            h += iconHeight_;
        }
    }
    return wxSize(w, h);
}

CImageButton::ItemState CImageButton::CurrentState() const {
    ItemState s;
    s.selected = (mousePressed_ && pointerInside_) || keyPressed_;
    s.focus = HasFocus();
    s.disabled = !IsEnabled();
    return s;
}

void CImageButton::Click() {
    if (!IsEnabled()) return;
    wxCommandEvent event(wxEVT_BUTTON, GetId());
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CImageButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    DrawItem(dc, GetClientRect(), CurrentState());
}

void CImageButton::DrawItem(wxDC& dc, const wxRect& item, const ItemState& state) {
    const bool pressed = state.selected, focused = state.focus, disabled = state.disabled;
    wxRect r = item;

    if (!flat_ && (focused || default_)) {
        Frame(dc, *wxBLACK, r);
        r.Deflate(1);
    }

    const bool active = mouseOver_ || pressed;
    const wxColour& bg = active ? activeBg_ : inactiveBg_;
    dc.SetPen(*wxTRANSPARENT_PEN);
    wxColour fill = bg;
    if (transparent_ && GetParent()) fill = GetParent()->GetBackgroundColour();
    dc.SetBrush(wxBrush(fill));
    dc.DrawRectangle(r);

    const int L = r.GetLeft(), T = r.GetTop(), Rt = r.GetLeft() + r.GetWidth(), B = r.GetTop() + r.GetHeight();
    if (pressed && !flat_) {
        Frame(dc, Sys(wxSYS_COLOUR_BTNSHADOW), r);
    } else if (pressed && flat_ && drawBorder_) {
        Polyline(dc, Sys(wxSYS_COLOUR_BTNSHADOW), {L, B - 1}, {L, T}, {Rt, T});
        Polyline(dc, Sys(wxSYS_COLOUR_BTNHIGHLIGHT), {L, B - 1}, {Rt - 1, B - 1}, {Rt - 1, T - 1});
    } else if (!pressed && !flat_) {
        Polyline(dc, Sys(wxSYS_COLOUR_BTNHIGHLIGHT), {L, B - 1}, {L, T}, {Rt, T});
        Polyline(dc, Sys(wxSYS_COLOUR_3DLIGHT), {L + 1, B - 1}, {L + 1, T + 1}, {Rt, T + 1});
        Polyline(dc, Sys(wxSYS_COLOUR_3DDKSHADOW), {L, B - 1}, {Rt - 1, B - 1}, {Rt - 1, T - 1});
        Polyline(dc, Sys(wxSYS_COLOUR_BTNSHADOW), {L + 1, B - 2}, {Rt - 2, B - 2}, {Rt - 2, T});
    } else if (!pressed && flat_ && mouseOver_ && drawBorder_) {
        Polyline(dc, Sys(wxSYS_COLOUR_BTNHIGHLIGHT), {L, B - 1}, {L, T}, {Rt, T});
        Polyline(dc, Sys(wxSYS_COLOUR_BTNSHADOW), {L, B - 1}, {Rt - 1, B - 1}, {Rt - 1, T - 1});
    }

    wxString caption = showText_ ? GetLabel() : wxString();
    wxRect q = item;
    if (hoverIcon_.IsOk()) DrawIcon(dc, item, q, state, !caption.empty());

    if (!caption.empty()) {
        if (pressed) q.Offset(1, 1);
        dc.SetFont(GetFont());
        wxString plain;
        int accel = FindAccelIndex(caption, &plain);
        wxSize extent = dc.GetTextExtent(plain);
        wxRect text(q.x + (q.width - extent.x) / 2, q.y + (q.height - extent.y) / 2, extent.x, extent.y);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        if (disabled) {
            // Embossed: a highlight copy one pixel down-right under the shadow-coloured text.
            dc.SetTextForeground(Sys(wxSYS_COLOUR_BTNHIGHLIGHT));
            wxRect below = text;
            below.Offset(1, 1);
            dc.DrawLabel(plain, below, wxALIGN_LEFT | wxALIGN_TOP, accel);
            dc.SetTextForeground(Sys(wxSYS_COLOUR_BTNSHADOW));
        } else {
            dc.SetTextForeground(active ? activeFg_ : inactiveFg_);
        }
        dc.DrawLabel(plain, text, wxALIGN_LEFT | wxALIGN_TOP, accel);
    }

    if (focused && (!flat_ || flatFocus_)) {
        wxRect f = r;
        f.Deflate(3);
        wxRendererNative::Get().DrawFocusRect(this, dc, f);
    }
}

void CImageButton::DrawIcon(wxDC& dc, const wxRect& item, wxRect& caption, const ItemState& state, bool hasCaption) {
    const int w = iconWidth_, h = iconHeight_;
    int x, y;
    if (align_ == 0) {
        if (hasCaption) {
            x = item.x + 3;
            caption.x += w + 3;
            caption.width -= w + 3;
        } else {
            x = item.x + (item.width - w) / 2;
        }
        y = item.y + (item.height - h) / 2;
    } else {
        x = item.x + (item.width - w) / 2;
        if (hasCaption) {
            y = item.y;
            caption.y += h;
            caption.height -= h;
        } else {
            y = item.y + (item.height - h) / 2;
        }
    }
    if (state.selected) {
        ++x;
        ++y;
    }
    const wxBitmap& icon = (mouseOver_ || state.selected) ? hoverIcon_ : normalIcon_;
    dc.DrawBitmap(state.disabled ? icon.ConvertToDisabled() : icon, x, y, true);
}

void CImageButton::OnEnter(wxMouseEvent& event) {
    pointerInside_ = true;
    // A press that started elsewhere does not light the button.
    if (event.LeftIsDown() && !mouseOver_ && !mousePressed_) return;
    if (flat_ && !mouseOver_) {
        mouseOver_ = true;
        Refresh();
    } else if (mousePressed_) {
        Refresh();
    }
}

void CImageButton::OnLeave(wxMouseEvent&) {
    pointerInside_ = false;
    if (mouseOver_) {
        mouseOver_ = false;
        Refresh();
    } else if (mousePressed_) {
        Refresh();
    }
}

void CImageButton::OnMotion(wxMouseEvent& event) {
    event.Skip();
    if (!mousePressed_) return;
    bool inside = GetClientRect().Contains(event.GetPosition());
    if (inside != pointerInside_) {
        pointerInside_ = inside;
        if (flat_) mouseOver_ = inside;
        Refresh();
    }
}

void CImageButton::OnLeftDown(wxMouseEvent&) {
    if (!IsEnabled()) return;
    if (AcceptsFocus()) SetFocus();
    mousePressed_ = pointerInside_ = true;
    if (flat_) mouseOver_ = true;
    if (!HasCapture()) CaptureMouse();
    Refresh();
}

void CImageButton::OnLeftUp(wxMouseEvent& event) {
    if (!mousePressed_) return;
    mousePressed_ = false;
    if (HasCapture()) ReleaseMouse();
    bool inside = GetClientRect().Contains(event.GetPosition());
    pointerInside_ = inside;
    if (flat_) mouseOver_ = inside;
    Refresh();
    if (inside) Click();
}

void CImageButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
    mousePressed_ = mouseOver_ = false;
    Refresh();
}

void CImageButton::OnKillFocus(wxFocusEvent& event) {
    event.Skip();
    keyPressed_ = false;
    if (flat_ && mouseOver_) mouseOver_ = false;
    Refresh();
}

void CImageButton::OnSetFocus(wxFocusEvent& event) {
    event.Skip();
    Refresh();
}

void CImageButton::OnKeyDown(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_SPACE:
        if (!keyPressed_) {
            keyPressed_ = true;
            Refresh();
        }
        return;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        Click();
        return;
    default:
        event.Skip();  // Tab navigation and the dialog's own keys
    }
}

void CImageButton::OnKeyUp(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_SPACE && keyPressed_) {
        keyPressed_ = false;
        Refresh();
        Click();
        return;
    }
    event.Skip();
}

void CImageButton::OnSetCursor(wxSetCursorEvent& event) {
    if (cursor_.IsOk())
        event.SetCursor(cursor_);
    else
        event.Skip();
}

void CImageButton::OnTopLevelCharHook(wxKeyEvent& event) {
    event.Skip();
    if (!mnemonic_ || !event.AltDown() || event.ControlDown()) return;
    if (!IsEnabled() || !IsShownOnScreen()) return;
    int key = event.GetUnicodeKey() != WXK_NONE ? static_cast<int>(event.GetUnicodeKey()) : event.GetKeyCode();
    if (key > 0 && static_cast<wxChar>(wxToupper(key)) == mnemonic_) {
        event.Skip(false);
        Click();
    }
}
