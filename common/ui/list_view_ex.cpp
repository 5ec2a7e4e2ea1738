#include "common/ui/list_view_ex.h"

#include <wx/dc.h>
#include <wx/dcbuffer.h>
#include <wx/headerctrl.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/vscroll.h>

#include <algorithm>

namespace listviewex {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Whether every character of `s` is whole: a lead byte followed by the
// continuation bytes it announces. A text that is not UTF-8 is cut by bytes.
bool WholeUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k)
            if (!IsContinuation(static_cast<unsigned char>(s[i + k]))) return false;
        i += len;
    }
    return true;
}

}  // namespace

std::string MakeShortString(const std::string& text, int width, int offset,
                            const std::function<int(const std::string&)>& measure) {
    if (text.empty() || measure(text) + offset <= width) return text;
    const int dots = measure("...");
    const bool utf8 = WholeUtf8(text);
    // Going down from one character less; when nothing fits, the first
    // character stays (a one-character text keeps that character).
    size_t cut = text.size();
    for (size_t len = text.size() - 1; len > 0; --len) {
        if (utf8 && IsContinuation(static_cast<unsigned char>(text[len]))) continue;
        cut = len;
        if (measure(text.substr(0, len)) + offset + dots <= width) break;
    }
    return text.substr(0, cut) + "...";
}

}  // namespace listviewex

// The row area: scrolls by rows and hands painting, the pointer and the keys
// to its list.
class CListViewEx::RowArea : public wxVScrolledWindow {
public:
    explicit RowArea(CListViewEx* owner)
        : wxVScrolledWindow(owner, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS), owner_(owner) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &RowArea::OnPaint, this);
        Bind(wxEVT_LEFT_DOWN, &RowArea::OnLeftDown, this);
        Bind(wxEVT_KEY_DOWN, &RowArea::OnKeyDown, this);
        Bind(wxEVT_SET_FOCUS, &CListViewEx::OnBodyFocus, owner);
        Bind(wxEVT_KILL_FOCUS, &CListViewEx::OnBodyFocus, owner);
        Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
            e.Skip();
            owner_->OnBodySize(GetClientSize().x);
        });
    }
    bool AcceptsFocus() const override { return true; }
    wxCoord OnGetRowHeight(size_t) const override { return owner_->RowHeight(); }

private:
    void OnPaint(wxPaintEvent&) {
        wxAutoBufferedPaintDC dc(this);
        dc.SetFont(owner_->GetFont());
        dc.SetBackground(wxBrush(owner_->bk_));
        dc.Clear();
        const int first = static_cast<int>(GetVisibleRowsBegin());
        const int end = std::min(static_cast<int>(GetVisibleRowsEnd()), owner_->GetItemCount());
        for (int row = first; row < end; ++row) owner_->DrawItem(dc, row, owner_->GetItemRect(row));
    }
    void OnLeftDown(wxMouseEvent& e) {
        SetFocus();
        const int row = VirtualHitTest(e.GetY());
        if (row != wxNOT_FOUND && row < owner_->GetItemCount()) owner_->SelectOnly(row);
    }
    void OnKeyDown(wxKeyEvent& e) {
        const int count = owner_->GetItemCount();
        const int current = owner_->GetFocusedItem();
        const int page = std::max(1, GetClientSize().y / std::max(1, owner_->RowHeight()) - 1);
        int row = -1;
        switch (e.GetKeyCode()) {
        case WXK_DOWN: row = current < 0 ? 0 : current + 1; break;
        case WXK_UP: row = current < 0 ? 0 : current - 1; break;
        case WXK_HOME: row = 0; break;
        case WXK_END: row = count - 1; break;
        case WXK_PAGEDOWN: row = current + page; break;
        case WXK_PAGEUP: row = current - page; break;
        default: e.Skip(); return;
        }
        if (count > 0) owner_->SelectOnly(std::clamp(row, 0, count - 1));
    }

    CListViewEx* owner_;
};

bool CListViewEx::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style) {
    if (!wxControl::Create(parent, id, pos, size, (style & ~wxBORDER_MASK) | wxBORDER_SUNKEN))
        return false;
    text_ = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    textBk_ = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    bk_ = textBk_;
    showSelAlways_ = (style & kShowSelAlways) != 0;
    header_ = new wxHeaderCtrlSimple(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHD_DEFAULT_STYLE);
    body_ = new RowArea(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(header_, 0, wxEXPAND);
    sizer->Add(body_, 1, wxEXPAND);
    SetSizer(sizer);
    // The header resizes its own columns; the rows follow as the divider moves.
    auto resized = [this](wxHeaderCtrlEvent& e) {
        e.Skip();
        const int col = e.GetColumn();
        if (col >= 0 && col < GetColumnCount()) {
            columns_[col].width = std::max(0, e.GetWidth());
            body_->Refresh();
        }
    };
    header_->Bind(wxEVT_HEADER_RESIZING, resized);
    header_->Bind(wxEVT_HEADER_END_RESIZE, resized);
    fullRowSel_ = true;
    return true;
}

wxSize CListViewEx::DoGetBestSize() const { return wxSize(200, 100); }

bool CListViewEx::SetFont(const wxFont& font) {
    const bool changed = wxControl::SetFont(font);
    if (header_) header_->SetFont(font);
    if (body_) {
        body_->SetFont(font);
        body_->RefreshAll();
    }
    Layout();
    return changed;
}

void CListViewEx::SetShowSelectionAlways(bool always) {
    showSelAlways_ = always;
    if (body_) body_->Refresh();
}

int CListViewEx::InsertColumn(int col, const wxString& heading, Align align, int width) {
    if (col < 0 || col > GetColumnCount()) col = GetColumnCount();
    columns_.insert(columns_.begin() + col, Column{heading, align, width});
    for (auto& row : rows_)
        if (static_cast<int>(row.cells.size()) > col) row.cells.insert(row.cells.begin() + col, wxString());
    SyncHeader();
    return col;
}

int CListViewEx::GetColumnWidth(int col) const {
    return col >= 0 && col < GetColumnCount() ? columns_[col].width : 0;
}

bool CListViewEx::SetColumnWidth(int col, int width) {
    if (col < 0 || col >= GetColumnCount()) return false;
    columns_[col].width = std::max(0, width);
    SyncHeader();
    return true;
}

wxString CListViewEx::GetColumnHeading(int col) const {
    return col >= 0 && col < GetColumnCount() ? columns_[col].heading : wxString();
}

bool CListViewEx::FitColumnToHeading(int col) {
    if (col < 0 || col >= GetColumnCount() || !header_) return false;
    // The header draws a heading 5 pixels in from either side and ends it in
    // "..." when it is wider than what is left; its own title width leaves
    // those margins out. One pixel more each side keeps hinting from tipping it.
    constexpr int kHeadingMargin = 6;
    const int needed = std::max(header_->GetColumnTitleWidth(static_cast<unsigned>(col)),
                                header_->GetTextExtent(columns_[col].heading).x + 2 * kHeadingMargin);
    if (needed > columns_[col].width) SetColumnWidth(col, needed);
    return true;
}

void CListViewEx::SyncHeader() {
    if (!header_) return;
    header_->DeleteAllColumns();
    for (const auto& c : columns_) {
        const wxAlignment a = c.align == Align::Right    ? wxALIGN_RIGHT
                              : c.align == Align::Centre ? wxALIGN_CENTRE
                                                         : wxALIGN_LEFT;
        header_->AppendColumn(wxHeaderColumnSimple(c.heading, c.width, a, wxCOL_RESIZABLE));
    }
    Layout();
    body_->Refresh();
}

int CListViewEx::InsertItem(int row, const wxString& text, int image) {
    if (row < 0) return -1;
    row = std::min(row, GetItemCount());
    Row r;
    r.cells.assign(std::max<size_t>(1, columns_.size()), wxString());
    r.cells[0] = text;
    r.image = image;
    rows_.insert(rows_.begin() + row, std::move(r));
    body_->SetRowCount(rows_.size());
    body_->Refresh();
    return row;
}

bool CListViewEx::SetItemText(int row, int col, const wxString& text) {
    if (row < 0 || row >= GetItemCount() || col < 0 || col >= std::max(1, GetColumnCount())) return false;
    auto& cells = rows_[row].cells;
    if (static_cast<int>(cells.size()) <= col) cells.resize(col + 1);
    cells[col] = text;
    body_->RefreshRow(row);
    return true;
}

wxString CListViewEx::GetItemText(int row, int col) const {
    if (row < 0 || row >= GetItemCount() || col < 0 || col >= static_cast<int>(rows_[row].cells.size()))
        return wxString();
    return rows_[row].cells[col];
}

int CListViewEx::GetItemImage(int row) const { return row >= 0 && row < GetItemCount() ? rows_[row].image : -1; }

bool CListViewEx::DeleteItem(int row) {
    if (row < 0 || row >= GetItemCount()) return false;
    rows_.erase(rows_.begin() + row);
    body_->SetRowCount(rows_.size());
    body_->Refresh();
    return true;
}

void CListViewEx::DeleteAllItems() {
    rows_.clear();
    body_->SetRowCount(0);
    body_->Refresh();
}

unsigned CListViewEx::GetItemState(int row) const { return row >= 0 && row < GetItemCount() ? rows_[row].state : 0; }

bool CListViewEx::SetItemState(int row, unsigned state, unsigned mask) {
    if (row < 0 || row >= GetItemCount()) return false;
    if ((mask & kFocused) && (state & kFocused))
        for (int k = 0; k < GetItemCount(); ++k)
            if (k != row && (rows_[k].state & kFocused)) {
                rows_[k].state &= ~kFocused;
                body_->RefreshRow(k);
            }
    rows_[row].state = (rows_[row].state & ~mask) | (state & mask);
    body_->RefreshRow(row);
    return true;
}

void CListViewEx::SelectOnly(int row) {
    if (row < 0 || row >= GetItemCount()) return;
    for (int k = 0; k < GetItemCount(); ++k)
        if (k != row && (rows_[k].state & kSelected)) SetItemState(k, 0, kSelected);
    SetItemState(row, kSelected | kFocused, kSelected | kFocused);
    if (!body_->IsRowVisible(row)) body_->ScrollToRow(row);
}

int CListViewEx::GetFirstSelected() const {
    for (int k = 0; k < GetItemCount(); ++k)
        if (rows_[k].state & kSelected) return k;
    return -1;
}

int CListViewEx::GetFocusedItem() const {
    for (int k = 0; k < GetItemCount(); ++k)
        if (rows_[k].state & kFocused) return k;
    return -1;
}

void CListViewEx::SetSmallImageList(wxImageList* list) {
    small_ = list;
    body_->RefreshAll();
}

void CListViewEx::SetTextColour(const wxColour& c) {
    text_ = c;
    body_->Refresh();
}
void CListViewEx::SetTextBkColour(const wxColour& c) {
    textBk_ = c;
    body_->Refresh();
}
void CListViewEx::SetBkColour(const wxColour& c) {
    bk_ = c;
    body_->Refresh();
}

bool CListViewEx::ListHasFocus() const { return hasFocus_; }

wxWindow* CListViewEx::Body() const { return body_; }

void CListViewEx::SetFocus() {
    if (body_) body_->SetFocus();
}

int CListViewEx::RowHeight() const {
    // Room for a 16-pixel icon and the font, whichever is higher.
    const int text = GetCharHeight();
    return std::max(18, text + 4);
}

wxRect CListViewEx::GetItemRect(int row) const {
    if (row < 0 || row >= GetItemCount()) return wxRect();
    int width = 0;
    for (const auto& c : columns_) width += c.width;
    const int top = (row - static_cast<int>(body_->GetVisibleRowsBegin())) * RowHeight();
    return wxRect(0, top, width, RowHeight());
}

int CListViewEx::LabelLeft() const { return stateImageOffset_ + (small_ ? 18 : 0); }

void CListViewEx::OnBodySize(int width) { clientWidth_ = width; }

void CListViewEx::DrawItem(wxDC& dc, int row, const wxRect& bounds) {
    if (row < 0 || row >= GetItemCount()) return;
    const Row& item = rows_[row];
    const bool focused = ListHasFocus();
    const bool selected =
        ((focused || showSelAlways_) && (item.state & kSelected)) || (item.state & kDropHilited);

    // The highlight leaves the icon alone and runs on to the client edge.
    wxRect all = bounds;
    all.x = bounds.x + LabelLeft();
    all.width = bounds.GetRight() + 1 - all.x;
    if (clientWidthSel && all.GetRight() + 1 < clientWidth_) all.width = clientWidth_ - all.x;

    const wxColour fg = selected ? wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT) : text_;
    const wxColour fill = selected ? wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT) : textBk_;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(fill));
    dc.DrawRectangle(all);
    dc.SetTextForeground(fg);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

    if (small_ && item.image >= 0 && item.image < small_->GetImageCount() && bounds.width > 1) {
        wxBitmap icon = small_->GetBitmap(item.image);
        // A cut item looks faded, as it does in a file manager.
        if (item.state & kCut) icon = icon.ConvertToDisabled();
        dc.DrawBitmap(icon, bounds.x + stateImageOffset_ + 1, bounds.y + (bounds.height - 16) / 2, true);
    }

    auto measure = [&dc](const std::string& s) { return dc.GetTextExtent(wxString::FromUTF8(s)).x; };
    auto shorten = [&](const wxString& text, int width, int offset, bool& cut) {
        const std::string utf8 = text.utf8_string();
        const std::string s = listviewex::MakeShortString(utf8, width, offset, measure);
        cut = s != utf8;
        return wxString::FromUTF8(s);
    };
    auto drawText = [&dc](const wxString& text, const wxRect& r, Align align) {
        const wxSize ext = dc.GetTextExtent(text);
        int x = r.x;
        if (align == Align::Right) x = r.GetRight() + 1 - ext.x;
        if (align == Align::Centre) x = r.x + (r.width - ext.x) / 2;
        dc.DrawText(text, x, r.y + (r.height - ext.y) / 2);
    };

    const int firstWidth = columns_.empty() ? bounds.width : columns_[0].width;
    wxRect label(bounds.x + LabelLeft(), bounds.y, std::max(0, firstWidth - LabelLeft() - stateImageOffset_),
                 bounds.height);
    bool cut = false;
    const wxString first = shorten(item.cells.empty() ? wxString() : item.cells[0], label.width,
                                   listviewex::kFirstColumnOffset, cut);
    drawText(first, wxRect(label.x + 2, label.y, label.width - 4, label.height), Align::Left);

    int x = bounds.x + firstWidth;
    for (int col = 1; col < GetColumnCount(); ++col) {
        const wxRect cell(x, bounds.y, columns_[col].width, bounds.height);
        x += columns_[col].width;
        const wxString text = col < static_cast<int>(item.cells.size()) ? item.cells[col] : wxString();
        if (text.empty()) continue;
        const wxString shown = shorten(text, cell.width, listviewex::kOtherColumnOffset, cut);
        // A shortened text reads from its start, whatever the column's alignment.
        drawText(shown, wxRect(cell.x + 6, cell.y, cell.width - 12, cell.height), cut ? Align::Left : columns_[col].align);
    }

    if ((item.state & kFocused) && focused) {
        dc.SetPen(wxPen(fg, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(all);
    }
}

void CListViewEx::RepaintSelectedItems() {
    // Only the rows whose look depends on the focus change.
    auto refresh = [this](int row) {
        wxRect r = GetItemRect(row);
        if (r.IsEmpty()) return;
        r.x += LabelLeft();
        r.width = std::max(r.width, clientWidth_) - r.x;
        body_->RefreshRect(r, false);
    };
    refresh(GetFocusedItem());
    if (!showSelAlways_)
        for (int k = 0; k < GetItemCount(); ++k)
            if (rows_[k].state & kSelected) refresh(k);
    body_->Update();
}

void CListViewEx::OnBodyFocus(wxFocusEvent& event) {
    event.Skip();
    // Kept from the events themselves: while a focus-out is being handled the
    // toolkit may still name the row area as the focused window.
    hasFocus_ = event.GetEventType() == wxEVT_SET_FOCUS;
    // The focus moving to or from a window inside the list (an edit over a
    // label) does not change how the rows look.
    wxWindow* other = event.GetWindow();
    for (wxWindow* w = other; w; w = w->GetParent())
        if (w == this) return;
    if (fullRowSel_) RepaintSelectedItems();
}
