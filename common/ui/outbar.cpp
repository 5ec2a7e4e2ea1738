#include "common/ui/outbar.h"

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include <algorithm>

wxDEFINE_EVENT(EVT_OUTBAR_NOTIFY, COutBarEvent);

namespace outbar {

namespace {

// The folder drawn as selected: the selection may name no folder (the bar
// starts at folder 1, whatever it holds), and is then taken as the last one.
int Shown(const LayoutInput& in) {
    if (in.folderCount <= 0) return -1;
    return std::clamp(in.selectedFolder, 0, in.folderCount - 1);
}

int Gap(const LayoutInput& in) { return in.smallIcons ? in.metrics.smallItemGap : in.metrics.largeItemGap; }

int FirstVisible(const LayoutInput& in) {
    int count = static_cast<int>(in.items.size());
    return count == 0 ? 0 : std::clamp(in.firstVisible, 0, count - 1);
}

// Offset of item k from the first item's top, before scrolling.
int Offset(const LayoutInput& in, int k) {
    int y = 0;
    for (int j = 0; j < k && j < static_cast<int>(in.items.size()); ++j) y += ItemSize(in, j).y + Gap(in);
    return y;
}

}  // namespace

wxRect HeaderRect(const LayoutInput& in, int folder) {
    const int n = in.folderCount, s = Shown(in), h = in.metrics.headerHeight;
    if (folder < 0 || folder >= n) return {};
    if (folder <= s) return {0, folder * h - 1, in.client.x, h};
    return {0, in.client.y - h * (n - folder), in.client.x, h};
}

wxRect ItemArea(const LayoutInput& in) {
    const int n = in.folderCount, s = Shown(in), h = in.metrics.headerHeight;
    if (n <= 0) return {0, 0, in.client.x, in.client.y};
    int top = (s + 1) * h - 1, bottom = in.client.y - (n - s - 1) * h;
    return {0, top, in.client.x, std::max(0, bottom - top)};
}

wxSize ItemSize(const LayoutInput& in, int k) {
    if (k < 0 || k >= static_cast<int>(in.items.size())) return {};
    const ItemExtent& e = in.items[k];
    if (in.smallIcons)
        return {e.icon.x + in.metrics.smallLabelGap + e.caption.x, std::max(e.icon.y, e.caption.y)};
    return {std::max(e.icon.x, e.caption.x), e.icon.y + in.metrics.largeLabelGap + e.caption.y + in.metrics.largeItemGap};
}

wxRect ItemRect(const LayoutInput& in, int k) {
    if (k < 0 || k >= static_cast<int>(in.items.size())) return {};
    wxRect area = ItemArea(in);
    wxSize size = ItemSize(in, k);
    int top = area.y + in.metrics.topMargin + Offset(in, k) - Offset(in, FirstVisible(in));
    if (in.smallIcons) return {in.metrics.leftMargin, top, size.x, size.y};
    return {area.x, top, area.width, size.y};
}

wxRect IconRect(const LayoutInput& in, int k) {
    wxRect r = ItemRect(in, k);
    if (r.IsEmpty()) return {};
    wxSize icon = in.items[k].icon;
    if (in.smallIcons) return {r.x + 2, r.y + (r.height - icon.y) / 2, icon.x, icon.y};
    return {r.x + (r.width - icon.x) / 2, r.y, icon.x, icon.y};
}

wxRect CaptionRect(const LayoutInput& in, int k) {
    wxRect r = ItemRect(in, k);
    if (r.IsEmpty()) return {};
    const ItemExtent& e = in.items[k];
    if (in.smallIcons)
        return {r.x + e.icon.x + in.metrics.smallLabelGap, r.y + (r.height - e.caption.y) / 2, e.caption.x, e.caption.y};
    return {r.x + (r.width - e.caption.x) / 2, r.y + e.icon.y + in.metrics.largeLabelGap, e.caption.x, e.caption.y};
}

wxRect UpArrowRect(const LayoutInput& in) {
    wxRect area = ItemArea(in);
    return {area.x + area.width - 5 - in.arrowSize, area.y + 5, in.arrowSize, in.arrowSize};
}

wxRect DownArrowRect(const LayoutInput& in) {
    wxRect area = ItemArea(in);
    return {area.x + area.width - 5 - in.arrowSize, area.y + area.height - 5 - in.arrowSize, in.arrowSize,
            in.arrowSize};
}

bool UpArrowNeeded(const LayoutInput& in) { return !in.items.empty() && FirstVisible(in) > 0; }

bool DownArrowNeeded(const LayoutInput& in) {
    if (in.items.empty()) return false;
    wxRect area = ItemArea(in), last = ItemRect(in, static_cast<int>(in.items.size()) - 1);
    return last.y + last.height > area.y + area.height;
}

bool CanScrollDown(const LayoutInput& in) {
    return DownArrowNeeded(in) && FirstVisible(in) < static_cast<int>(in.items.size()) - 1;
}

Hit HitTest(const LayoutInput& in, wxPoint p, bool upShown, bool downShown) {
    if (upShown && UpArrowRect(in).Contains(p)) return {HitKind::UpArrow, -1};
    if (downShown && DownArrowRect(in).Contains(p)) return {HitKind::DownArrow, -1};
    for (int i = 0; i < in.folderCount; ++i)
        if (HeaderRect(in, i).Contains(p)) return {HitKind::Header, i};
    wxRect area = ItemArea(in);
    if (!area.Contains(p)) return {};
    for (int k = FirstVisible(in); k < static_cast<int>(in.items.size()); ++k) {
        wxRect r = ItemRect(in, k);
        if (r.y > area.y + area.height) break;
        bool over = in.smallIcons ? r.Contains(p) : (IconRect(in, k).Contains(p) || CaptionRect(in, k).Contains(p));
        if (over) return {HitKind::Item, k};
    }
    return {};
}

wxRect MarkerRect(const LayoutInput& in, int k, MarkerKind kind) {
    wxRect item = ItemRect(in, k);
    if (item.IsEmpty() && in.items.empty()) return {};
    wxRect area = ItemArea(in);
    int y;
    switch (kind) {
    case MarkerKind::First: y = item.y - 2; break;
    case MarkerKind::Between: y = item.y - (in.smallIcons ? 5 : 13); break;
    default: y = item.y + item.height + 6; break;
    }
    // The line with up to four rows of wedge on either side of it.
    return {area.x + 2, y - 4, std::max(0, area.width - 4), 9};
}

std::vector<wxString> WrapCaption(wxDC& dc, const wxString& text, int width) {
    std::vector<wxString> out;
    wxString plain = text;
    plain.Replace("\r", wxEmptyString);
    size_t from = 0;
    for (;;) {
        size_t nl = plain.find('\n', from);
        wxString para = plain.substr(from, nl == wxString::npos ? wxString::npos : nl - from);
        const size_t n = para.length();
        wxArrayInt w;
        if (n == 0 || !dc.GetPartialTextExtents(para, w) || w.size() != n) {
            out.push_back(para);
        } else {
            size_t start = 0;
            while (start < n) {
                const int base = start ? w[start - 1] : 0;
                size_t end = start;
                while (end < n && w[end] - base <= width) ++end;
                if (end == n) {
                    out.push_back(para.substr(start));
                    break;
                }
                if (end == start) end = start + 1;  // one character wider than the line: it goes alone
                // Break at the last space that leaves something on the line.
                size_t brk = 0;
                for (size_t j = end; j > start; --j)
                    if (para[j] == ' ') {
                        brk = j;
                        break;
                    }
                if (brk) {
                    out.push_back(para.substr(start, brk - start));
                    start = brk;
                    while (start < n && para[start] == ' ') ++start;
                } else {
                    out.push_back(para.substr(start, end - start));
                    start = end;
                }
            }
        }
        if (nl == wxString::npos) break;
        from = nl + 1;
    }
    return out;
}

}  // namespace outbar

using outbar::Hit;
using outbar::HitKind;
using outbar::LayoutInput;
using outbar::MarkerKind;

namespace {

wxColour Sys(wxSystemColour c) { return wxSystemSettings::GetColour(c); }

void Fill(wxDC& dc, const wxColour& c, const wxRect& r) {
    if (r.width <= 0 || r.height <= 0) return;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(c));
    dc.DrawRectangle(r);
}

// A 3-D edge as GDI draws it: top and left in one colour, bottom and right in
// the other. Filled rectangles, as cairo smears one-pixel lines over two.
void Edge(wxDC& dc, const wxRect& r, const wxColour& topLeft, const wxColour& bottomRight) {
    Fill(dc, topLeft, {r.x, r.y, r.width - 1, 1});
    Fill(dc, topLeft, {r.x, r.y, 1, r.height - 1});
    Fill(dc, bottomRight, {r.x, r.y + r.height - 1, r.width, 1});
    Fill(dc, bottomRight, {r.x + r.width - 1, r.y, 1, r.height});
}

// A caption on one line: a line break in a name must not run into the next row.
wxString OneLine(const wxString& text) {
    wxString s = text;
    s.Replace("\r\n", " ");
    s.Replace("\n", " ");
    s.Replace("\r", " ");
    return s;
}

constexpr int kHoverTimer = 1;
constexpr int kArrowTimer = 2;

}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl()
    : lineColour(Sys(wxSYS_COLOUR_DESKTOP)),
      faceColour(Sys(wxSYS_COLOUR_BTNFACE)),
      highlightColour(Sys(wxSYS_COLOUR_BTNHIGHLIGHT)),
      darkShadowColour(Sys(wxSYS_COLOUR_3DDKSHADOW)),
      hoverTimer_(this, kHoverTimer),
      arrowTimer_(this, kArrowTimer),
      itemCursor_(wxCURSOR_HAND),
      dragCursor_(wxCURSOR_SIZENS),
      noDropCursor_(wxCURSOR_NO_ENTRY) {}

CGfxOutBarCtrl::~CGfxOutBarCtrl() {
    hoverTimer_.Stop();
    arrowTimer_.Stop();
    if (HasCapture()) ReleaseMouse();
}

bool CGfxOutBarCtrl::CreateBar(long style, const wxRect& rect, wxWindow* parent, wxWindowID id, std::uint32_t flags) {
    flags_ = flags;
    SetBackgroundStyle(wxBG_STYLE_PAINT);  // the paint handler covers every pixel
    if (!wxControl::Create(parent, id, rect.GetPosition(), rect.GetSize(),
                           style | wxBORDER_STATIC | wxFULL_REPAINT_ON_RESIZE))
        return false;
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    Bind(wxEVT_PAINT, &CGfxOutBarCtrl::OnPaint, this);
    Bind(wxEVT_SIZE, &CGfxOutBarCtrl::OnSize, this);
    Bind(wxEVT_MOTION, &CGfxOutBarCtrl::OnMotion, this);
    Bind(wxEVT_LEFT_DOWN, &CGfxOutBarCtrl::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CGfxOutBarCtrl::OnLeftDown, this);  // a double click is two presses
    Bind(wxEVT_LEFT_UP, &CGfxOutBarCtrl::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CGfxOutBarCtrl::OnCaptureLost, this);
    Bind(wxEVT_SET_CURSOR, &CGfxOutBarCtrl::OnSetCursor, this);
    Bind(wxEVT_TIMER, &CGfxOutBarCtrl::OnHoverTimer, this, kHoverTimer);
    Bind(wxEVT_TIMER, &CGfxOutBarCtrl::OnArrowTimer, this, kArrowTimer);
    return true;
}

// ---- Data --------------------------------------------------------------

int CGfxOutBarCtrl::AppendFolder(const wxString& caption, std::uint32_t userValue) {
    Folder f;
    f.caption = caption;
    f.data = userValue;
    folders_.push_back(std::move(f));
    Refresh();
    return FolderCount() - 1;
}

int CGfxOutBarCtrl::InsertFolderItem(int folder, int position, const wxString& caption, int image,
                                     std::uint32_t userValue) {
    if (!ValidFolder(folder)) return -1;
    auto& items = folders_[folder].items;
    if (position < 0 || position > static_cast<int>(items.size())) position = static_cast<int>(items.size());
    Item item;
    item.image = image;
    item.caption = caption;
    item.data = userValue;
    items.insert(items.begin() + position, std::move(item));
    if (folder == ShownFolder()) {
        // The marks stay on the items they were on.
        if (selItem_ >= position) ++selItem_;
        if (hotItem_ >= position) ++hotItem_;
        if (pressedItem_ >= position) ++pressedItem_;
        Refresh();
    }
    return position;
}

void CGfxOutBarCtrl::SelectFolder(int folder) {
    if (!ValidFolder(folder)) return;
    if (press_ != Press::None) EndPress();
    const int from = ShownFolder();
    if (from >= 0 && folders_[from].child) folders_[from].child->Hide();

    if (folder != from && from >= 0 && (flags_ & kAnimation) && animationStepDelay >= 0 && IsShownOnScreen()) {
        const wxSize client = GetClientSize();
        const int lo = std::min(from, folder), hi = std::max(from, folder);
        const int h = LayoutFor(from, client, 0).metrics.headerHeight;
        const wxRect area = outbar::ItemArea(LayoutFor(from, client, 0));
        if (area.height > 0) {
            // Each folder's contents as they will show, two headers taller
            // than the item area so that a slice never runs off the image.
            auto image = [&](int f) {
                wxBitmap bmp(std::max(1, area.width), area.height + 2 * h);
                wxMemoryDC dc(bmp);
                RenderFolderImage(dc, f, wxRect(0, 0, area.width, area.height + 2 * h));
                dc.SelectObject(wxNullBitmap);
                return bmp;
            };
            animUpper_ = image(lo);
            animLower_ = image(hi);
            animFrom_ = from;
            animTo_ = folder;
            animating_ = true;
            for (int offset = h;; offset += h) {
                animOffset_ = std::min(offset, area.height);
                Refresh();
                Update();
                if (animationStepDelay > 0) wxMilliSleep(animationStepDelay);
                if (animOffset_ >= area.height) break;
            }
            animating_ = false;
            animUpper_ = animLower_ = wxNullBitmap;
        }
    }

    selFolder_ = folder;
    firstVisible_ = 0;
    selItem_ = -1;
    hotItem_ = -1;
    hotPressed_ = false;
    PlaceChild();
    NotifySimple(COutBarEvent::kFolderChanged, folder);
    Refresh();
}

wxImageList* CGfxOutBarCtrl::AssignImageList(wxImageList* list, int kind) {
    wxImageList** slot = kind == kSmallImageList ? &small_ : kind == kLargeImageList ? &large_ : nullptr;
    if (!slot) return nullptr;
    wxImageList* old = *slot;
    *slot = list;
    Refresh();
    return old;
}

wxImageList* CGfxOutBarCtrl::AssignFolderImageList(int folder, wxImageList* list, int kind) {
    if (!ValidFolder(folder)) return nullptr;
    Folder& f = folders_[folder];
    wxImageList** slot = kind == kSmallImageList ? &f.small : kind == kLargeImageList ? &f.large : nullptr;
    if (!slot) return nullptr;
    wxImageList* old = *slot;
    *slot = list;
    Refresh();
    return old;
}

bool CGfxOutBarCtrl::SetFolderChild(int folder, wxWindow* child) {
    if (!ValidFolder(folder)) return false;
    Folder& f = folders_[folder];
    if (f.child && f.child != child) f.child->Hide();
    f.child = child;
    if (child) {
        if (child->GetParent() != this) child->Reparent(this);
        child->Hide();
    }
    if (folder == ShownFolder()) PlaceChild();
    Refresh();
    return true;
}

int CGfxOutBarCtrl::SelectedFolderItemCount() const {
    return ValidFolder(selFolder_) ? static_cast<int>(folders_[selFolder_].items.size()) : 0;
}

void CGfxOutBarCtrl::SetFlags(std::uint32_t flags) {
    flags_ = flags;
    Refresh();
}

wxString CGfxOutBarCtrl::FolderCaption(int folder) const {
    return ValidFolder(folder) ? folders_[folder].caption : wxString();
}

std::uint32_t CGfxOutBarCtrl::FolderData(int folder) const { return ValidFolder(folder) ? folders_[folder].data : 0; }

int CGfxOutBarCtrl::ItemCount(int folder) const {
    return ValidFolder(folder) ? static_cast<int>(folders_[folder].items.size()) : 0;
}

wxString CGfxOutBarCtrl::ItemCaption(int folder, int item) const {
    return item >= 0 && item < ItemCount(folder) ? folders_[folder].items[item].caption : wxString();
}

int CGfxOutBarCtrl::ItemImage(int folder, int item) const {
    return item >= 0 && item < ItemCount(folder) ? folders_[folder].items[item].image : -1;
}

std::uint32_t CGfxOutBarCtrl::ItemData(int folder, int item) const {
    return item >= 0 && item < ItemCount(folder) ? folders_[folder].items[item].data : 0;
}

int CGfxOutBarCtrl::ShownFolder() const {
    if (folders_.empty()) return -1;
    return std::clamp(selFolder_, 0, FolderCount() - 1);
}

wxImageList* CGfxOutBarCtrl::ImagesOf(int folder) const {
    const bool small = UsesSmallIcons();
    if (ValidFolder(folder)) {
        wxImageList* own = small ? folders_[folder].small : folders_[folder].large;
        if (own) return own;
    }
    return small ? small_ : large_;
}

// ---- Layout ------------------------------------------------------------

const std::vector<wxString>& CGfxOutBarCtrl::MeasuredLines(const Item& item, bool small, int width) const {
    if (item.measuredWidth == width && item.measuredSmall == small) return item.lines;
    static wxBitmap scratch(1, 1);
    wxMemoryDC dc(scratch);
    dc.SetFont(GetFont().IsOk() ? GetFont() : wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    item.lines = small ? std::vector<wxString>{OneLine(item.caption)} : outbar::WrapCaption(dc, item.caption, width);
    item.extent = wxSize(0, 0);
    const int lineHeight = dc.GetCharHeight();
    for (const wxString& line : item.lines) item.extent.x = std::max(item.extent.x, dc.GetTextExtent(line).x);
    item.extent.y = item.caption.empty() ? 0 : lineHeight * static_cast<int>(item.lines.size());
    item.measuredWidth = width;
    item.measuredSmall = small;
    return item.lines;
}

LayoutInput CGfxOutBarCtrl::LayoutFor(int folder, wxSize client, int firstVisible) const {
    LayoutInput in;
    in.client = client;
    in.folderCount = FolderCount();
    in.selectedFolder = folder;
    in.smallIcons = UsesSmallIcons();
    in.firstVisible = firstVisible;
    in.arrowSize = std::max(8, wxSystemSettings::GetMetric(wxSYS_VSCROLL_ARROW_X, this));
    if (!ValidFolder(folder) || folders_[folder].child) return in;  // a child window shows no items
    const int width = outbar::ItemArea(in).width;
    wxImageList* images = ImagesOf(folder);
    for (const Item& item : folders_[folder].items) {
        outbar::ItemExtent e;
        if (images && item.image >= 0 && item.image < images->GetImageCount()) e.icon = images->GetSize();
        MeasuredLines(item, in.smallIcons, width);
        e.caption = item.extent;
        in.items.push_back(e);
    }
    return in;
}

LayoutInput CGfxOutBarCtrl::Layout() const { return LayoutFor(ShownFolder(), GetClientSize(), firstVisible_); }

void CGfxOutBarCtrl::UpdateArrows(const LayoutInput& in) {
    upShown_ = outbar::UpArrowNeeded(in);
    downShown_ = outbar::DownArrowNeeded(in);
}

Hit CGfxOutBarCtrl::HitAt(wxPoint p) {
    LayoutInput in = Layout();
    UpdateArrows(in);
    return outbar::HitTest(in, p, upShown_, downShown_);
}

// ---- Drawing -----------------------------------------------------------

void CGfxOutBarCtrl::OnPaint(wxPaintEvent&) {
    // One off-screen image copied in one step: no flicker while hovering.
    wxBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (!animating_) UpdateArrows(LayoutFor(ShownFolder(), size, firstVisible_));
    Render(dc, size);
}

void CGfxOutBarCtrl::Render(wxDC& dc, const wxSize& size) {
    if (animating_) {
        DrawAnimation(dc, size);
        return;
    }
    const int shown = ShownFolder();
    LayoutInput in = LayoutFor(shown, size, firstVisible_);
    const wxRect area = outbar::ItemArea(in);
    const bool child = shown >= 0 && folders_[shown].child;
    if (!child) Fill(dc, backgroundColour, area);
    DrawHeaders(dc, in);
    if (!child && shown >= 0) DrawItems(dc, shown, in, area, true);
}

void CGfxOutBarCtrl::DrawHeaders(wxDC& dc, const LayoutInput& in) {
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(Sys(wxSYS_COLOUR_BTNTEXT));
    for (int i = 0; i < in.folderCount; ++i) {
        wxRect r = outbar::HeaderRect(in, i);
        if (animating_) {
            // Headers between the two folders ride on the moving block: up
            // from the bottom stack, or down from the top one.
            const int lo = std::min(animFrom_, animTo_), hi = std::max(animFrom_, animTo_);
            if (i > lo && i <= hi) {
                LayoutInput start = in;
                start.selectedFolder = animTo_ > animFrom_ ? lo : hi;
                r = outbar::HeaderRect(start, i);
                r.y += animTo_ > animFrom_ ? -animOffset_ : animOffset_;
            }
        }
        Fill(dc, lineColour, {r.x, r.y, r.width, 1});
        wxRect frame(r.x, r.y + 1, r.width, r.height - 1);
        Edge(dc, frame, highlightColour, lineColour);
        wxRect inside = frame.Deflate(1);
        Fill(dc, faceColour, inside);
        wxString caption = OneLine(folders_[i].caption);
        wxSize extent = dc.GetTextExtent(caption);
        dc.SetClippingRegion(inside);
        dc.DrawText(caption, inside.x + (inside.width - extent.x) / 2, inside.y + (inside.height - extent.y) / 2);
        dc.DestroyClippingRegion();
    }
}

void CGfxOutBarCtrl::DrawFrame(wxDC& dc, const wxRect& r, bool raised) {
    if (raised)
        Edge(dc, r, faceColour, darkShadowColour);
    else
        Edge(dc, r, darkShadowColour, faceColour);
}

void CGfxOutBarCtrl::DrawItems(wxDC& dc, int folder, const LayoutInput& in, const wxRect& area, bool live) {
    if (area.IsEmpty()) return;
    dc.SetClippingRegion(area);
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(textColour);
    const auto& items = folders_[folder].items;
    wxImageList* images = ImagesOf(folder);
    const int count = static_cast<int>(std::min(items.size(), in.items.size()));
    const int lineHeight = dc.GetCharHeight();
    for (int k = std::clamp(in.firstVisible, 0, std::max(0, count - 1)); k < count; ++k) {
        wxRect r = outbar::ItemRect(in, k);
        if (r.y > area.y + area.height) break;
        const Item& item = items[k];
        wxRect icon = outbar::IconRect(in, k);
        if (images && item.image >= 0 && item.image < images->GetImageCount())
            images->Draw(item.image, dc, icon.x, icon.y, wxIMAGELIST_DRAW_TRANSPARENT);
        wxRect caption = outbar::CaptionRect(in, k);
        const std::vector<wxString>& lines = MeasuredLines(item, in.smallIcons, area.width);
        int y = caption.y;
        for (const wxString& line : lines) {
            int x = in.smallIcons ? caption.x : r.x + (r.width - dc.GetTextExtent(line).x) / 2;
            dc.DrawText(line, x, y);
            y += lineHeight;
        }
        if (!live) continue;
        if ((flags_ & kSelHighlight) && k == selItem_) DrawFrame(dc, wxRect(icon).Inflate(1), false);
        if (k == hotItem_ && (hotPressed_ || !FocusInChild())) DrawFrame(dc, wxRect(icon).Inflate(1), !hotPressed_);
    }
    if (live) {
        if (dragging_ && dropPos_ >= 0) DrawMarker(dc, in);
        // Arrows last, over whatever item runs under them.
        if (outbar::UpArrowNeeded(in)) DrawArrow(dc, outbar::UpArrowRect(in), true, upPressed_);
        if (outbar::DownArrowNeeded(in)) DrawArrow(dc, outbar::DownArrowRect(in), false, downPressed_);
    }
    dc.DestroyClippingRegion();
}

void CGfxOutBarCtrl::DrawArrow(wxDC& dc, const wxRect& r, bool up, bool pressed) {
    // A classic scroll button: raised two-tone edge, or a flat shadow frame
    // with the glyph one pixel down-right while pressed.
    Fill(dc, faceColour, r);
    if (pressed) {
        Edge(dc, r, Sys(wxSYS_COLOUR_BTNSHADOW), Sys(wxSYS_COLOUR_BTNSHADOW));
    } else {
        Edge(dc, r, Sys(wxSYS_COLOUR_3DLIGHT), darkShadowColour);
        Edge(dc, wxRect(r).Deflate(1), highlightColour, Sys(wxSYS_COLOUR_BTNSHADOW));
    }
    const int half = std::max(1, r.width / 4);
    const int cx = r.x + r.width / 2 + (pressed ? 1 : 0);
    const int top = r.y + (r.height - half - 1) / 2 + (pressed ? 1 : 0);
    for (int row = 0; row <= half; ++row) {
        int w = up ? row : half - row;
        Fill(dc, Sys(wxSYS_COLOUR_BTNTEXT), {cx - w, top + row, 2 * w + 1, 1});
    }
}

void CGfxOutBarCtrl::DrawMarker(wxDC& dc, const LayoutInput& in) {
    wxRect r = outbar::MarkerRect(in, dropPos_, dropKind_);
    if (r.IsEmpty()) return;
    const int y = r.y + 4, x0 = r.x, x1 = r.x + r.width;
    Fill(dc, *wxBLACK, {x0, y, r.width, 1});
    const bool above = dropKind_ != MarkerKind::First, below = dropKind_ != MarkerKind::End;
    const int lengths[] = {7, 5, 3, 1};
    for (int row = 0; row < 4; ++row) {
        int len = std::min(lengths[row], r.width / 2);
        for (int side : {-1, 1}) {
            if ((side < 0 && !above) || (side > 0 && !below)) continue;
            int yy = y + side * (row + 1);
            Fill(dc, *wxBLACK, {x0, yy, len, 1});
            Fill(dc, *wxBLACK, {x1 - len, yy, len, 1});
        }
    }
}

void CGfxOutBarCtrl::RenderFolderImage(wxDC& dc, int folder, const wxRect& area) {
    const bool child = ValidFolder(folder) && folders_[folder].child;
    Fill(dc, child ? faceColour : backgroundColour, area);
    if (child || !ValidFolder(folder)) return;
    // The folder's items as they will show, from the top, in an image of
    // their own: lay them out as if the image were the item area.
    LayoutInput in = LayoutFor(folder, GetClientSize(), 0);
    LayoutInput flat = in;
    flat.folderCount = 0;
    flat.client = area.GetSize();
    DrawItems(dc, folder, flat, area, false);
}

void CGfxOutBarCtrl::DrawAnimation(wxDC& dc, wxSize size) {
    const int lo = std::min(animFrom_, animTo_), hi = std::max(animFrom_, animTo_);
    LayoutInput in = LayoutFor(lo, size, 0);
    in.items.clear();
    const wxRect area = outbar::ItemArea(in);
    const int h = in.metrics.headerHeight, block = (hi - lo) * h;
    // The moving block of headers starts under the upper folder's contents
    // and pushes the lower folder's contents out beneath it.
    const int blockTop = animTo_ > animFrom_ ? area.y + area.height - animOffset_ : area.y + animOffset_;
    const int upperHeight = blockTop - area.y;
    const int lowerTop = blockTop + block;
    const int lowerHeight = area.y + area.height + block - lowerTop;
    wxMemoryDC src;
    if (upperHeight > 0 && animUpper_.IsOk()) {
        src.SelectObject(animUpper_);
        dc.Blit(area.x, area.y, area.width, upperHeight, &src, 0, 0);
        src.SelectObject(wxNullBitmap);
    }
    if (lowerHeight > 0 && animLower_.IsOk()) {
        src.SelectObject(animLower_);
        dc.Blit(area.x, lowerTop, area.width, lowerHeight, &src, 0, 0);
        src.SelectObject(wxNullBitmap);
    }
    DrawHeaders(dc, in);
}

// ---- Interaction -------------------------------------------------------

bool CGfxOutBarCtrl::FocusInChild() const {
    for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent()) {
        if (w == this) return false;
        if (w->GetParent() == this) return true;
    }
    return false;
}

void CGfxOutBarCtrl::RefreshItem(int item) {
    if (item < 0) return;
    LayoutInput in = Layout();
    if (item >= static_cast<int>(in.items.size())) return;
    RefreshRect(outbar::IconRect(in, item).Inflate(2));
}

void CGfxOutBarCtrl::RefreshItemArea() { RefreshRect(outbar::ItemArea(Layout())); }

void CGfxOutBarCtrl::SetHot(int item) {
    if (item == hotItem_) return;
    RefreshItem(hotItem_);
    hotItem_ = item;
    hotPressed_ = false;
    RefreshItem(hotItem_);
}

void CGfxOutBarCtrl::Notify(COutBarEvent& event) {
    event.SetEventType(EVT_OUTBAR_NOTIFY);
    event.SetId(GetId());
    event.SetEventObject(this);
    ProcessWindowEvent(event);  // reaches the parent: a command event climbs to it
}

void CGfxOutBarCtrl::NotifySimple(int code, int value) {
    COutBarEvent event(EVT_OUTBAR_NOTIFY, GetId());
    event.SetInt(code);
    event.SetExtraLong(value);
    Notify(event);
}

void CGfxOutBarCtrl::PlaceChild() {
    const int shown = ShownFolder();
    if (shown < 0 || !folders_[shown].child) return;
    wxWindow* child = folders_[shown].child;
    child->SetSize(outbar::ItemArea(Layout()));
    child->Show();
}

void CGfxOutBarCtrl::OnSize(wxSizeEvent& event) {
    event.Skip();
    upShown_ = downShown_ = false;
    const wxRect area = outbar::ItemArea(Layout());
    for (Folder& f : folders_)
        if (f.child) f.child->SetSize(area);
    Refresh();
}

void CGfxOutBarCtrl::OnMotion(wxMouseEvent& event) {
    const wxPoint p = event.GetPosition();
    if (press_ == Press::UpArrow || press_ == Press::DownArrow) {
        LayoutInput in = Layout();
        const bool up = press_ == Press::UpArrow;
        const bool on = (up ? outbar::UpArrowRect(in) : outbar::DownArrowRect(in)).Contains(p);
        bool& pressed = up ? upPressed_ : downPressed_;
        if (pressed != on) {
            pressed = on;
            RefreshItemArea();
        }
        return;
    }
    if (press_ == Press::Item) {
        if (dragging_) {
            UpdateDrop(p);
            return;
        }
        Hit hit = HitAt(p);
        if (hit.kind == HitKind::Item) {
            const bool same = hit.index == pressedItem_;
            if (hotPressed_ != same) {
                hotPressed_ = same;
                RefreshItem(pressedItem_);
            }
        } else if (flags_ & kDragItems) {
            dragging_ = true;
            hotPressed_ = true;
            RefreshItem(pressedItem_);
            UpdateDrop(p);
        }
        return;
    }
    // Plain hovering.
    if (FocusInChild()) return;
    Hit hit = HitAt(p);
    if (hit.kind == HitKind::Item) {
        SetHot(hit.index);
        hoverTimer_.Start(100);
    } else {
        SetHot(-1);
    }
}

void CGfxOutBarCtrl::UpdateDrop(wxPoint p) {
    LayoutInput in = Layout();
    UpdateArrows(in);
    const int count = static_cast<int>(in.items.size());
    Hit hit = outbar::HitTest(in, p, upShown_, downShown_);
    int pos = -1;
    MarkerKind kind = MarkerKind::Between;
    if (hit.kind == HitKind::Item) {
        pos = hit.index;
        kind = hit.index == 0 ? MarkerKind::First : MarkerKind::Between;
    } else if (count > 0 && hit.kind == HitKind::None && outbar::ItemArea(in).Contains(p)) {
        wxRect last = outbar::ItemRect(in, count - 1);
        if (p.y >= last.y + last.height) {
            pos = count - 1;
            kind = MarkerKind::End;
        }
    }
    if (pos != dropPos_ || kind != dropKind_) {
        if (dropPos_ >= 0) RefreshRect(outbar::MarkerRect(in, dropPos_, dropKind_));
        dropPos_ = pos;
        dropKind_ = kind;
        if (dropPos_ >= 0) RefreshRect(outbar::MarkerRect(in, dropPos_, dropKind_));
    }
    current_ = pos >= 0 ? dragCursor_ : noDropCursor_;
    SetCursor(current_);
}

void CGfxOutBarCtrl::OnLeftDown(wxMouseEvent& event) {
    if (press_ != Press::None) return;
    SetFocus();
    Hit hit = HitAt(event.GetPosition());
    switch (hit.kind) {
    case HitKind::UpArrow:
    case HitKind::DownArrow:
        press_ = hit.kind == HitKind::UpArrow ? Press::UpArrow : Press::DownArrow;
        (hit.kind == HitKind::UpArrow ? upPressed_ : downPressed_) = true;
        if (!HasCapture()) CaptureMouse();
        RefreshItemArea();
        arrowTimer_.Start(300);
        break;
    case HitKind::Item:
        press_ = Press::Item;
        pressedItem_ = hit.index;
        RefreshItem(hotItem_);
        hotItem_ = hit.index;
        hotPressed_ = true;
        dragging_ = false;
        dropPos_ = -1;
        if (!HasCapture()) CaptureMouse();
        RefreshItem(hotItem_);
        break;
    default:
        event.Skip();
    }
}

void CGfxOutBarCtrl::OnLeftUp(wxMouseEvent& event) {
    const wxPoint p = event.GetPosition();
    if (press_ == Press::UpArrow || press_ == Press::DownArrow) {
        const bool up = press_ == Press::UpArrow;
        LayoutInput in = Layout();
        if ((up ? outbar::UpArrowRect(in) : outbar::DownArrowRect(in)).Contains(p)) ScrollStep(up);
        EndArrowTracking();
        return;
    }
    if (press_ != Press::Item) {
        event.Skip();
        return;
    }
    const int item = pressedItem_;
    const int folder = ShownFolder();
    if (!dragging_) {
        Hit hit = HitAt(p);
        EndPress();
        if (hit.kind == HitKind::Item && hit.index == item) {
            if (selItem_ != item) RefreshItem(selItem_);
            selItem_ = item;
            RefreshItem(item);
            NotifySimple(COutBarEvent::kItemClicked, item);
        }
        return;
    }
    // The end of a drag: the marker says where, the owner says whether.
    UpdateDrop(p);
    const int pos = dropPos_;
    const MarkerKind kind = dropKind_;
    const int count = SelectedFolderItemCount();
    EndPress();
    Refresh();
    if (pos < 0 || (kind != MarkerKind::End && pos == item)) return;
    COutBarEvent::DropRecord drop;
    drop.target = kind == MarkerKind::End ? count : pos;
    drop.marker = static_cast<int>(kind);
    drop.folder = folder;
    drop.item = item;
    COutBarEvent ev(EVT_OUTBAR_NOTIFY, GetId());
    ev.SetInt(COutBarEvent::kItemDropped);
    ev.SetExtraLong(item);
    ev.SetDrop(drop);
    Notify(ev);
    if (!ev.Answer()) return;
    // The owner may have changed the bar while it decided: move only what is
    // still where it was.
    if (ShownFolder() != folder || !ValidFolder(folder)) return;
    auto& items = folders_[folder].items;
    const int n = static_cast<int>(items.size());
    if (n != count || item >= n) return;
    int to = std::min(drop.target, n);
    if (to > item) --to;
    if (to == item) return;
    Item moved = std::move(items[item]);
    items.erase(items.begin() + item);
    items.insert(items.begin() + to, std::move(moved));
    // The selection stays with the item it was on.
    if (selItem_ == item)
        selItem_ = to;
    else if (selItem_ > item && selItem_ <= to)
        --selItem_;
    else if (selItem_ < item && selItem_ >= to)
        ++selItem_;
    hotItem_ = -1;
    Refresh();
}

void CGfxOutBarCtrl::EndPress() {
    const bool dragged = dragging_;
    press_ = Press::None;
    dragging_ = false;
    dropPos_ = -1;
    hotPressed_ = false;
    if (HasCapture()) ReleaseMouse();
    if (dragged) {
        SetCursor(wxNullCursor);
        Refresh();
    }
    RefreshItem(pressedItem_);
    pressedItem_ = -1;
}

void CGfxOutBarCtrl::ScrollStep(bool up) {
    LayoutInput in = Layout();
    if (up) {
        if (firstVisible_ > 0) --firstVisible_;
    } else if (outbar::CanScrollDown(in)) {
        ++firstVisible_;
    }
    UpdateArrows(Layout());
    RefreshItemArea();
}

void CGfxOutBarCtrl::EndArrowTracking() {
    arrowTimer_.Stop();
    press_ = Press::None;
    upPressed_ = downPressed_ = false;
    if (HasCapture()) ReleaseMouse();
    RefreshItemArea();
}

void CGfxOutBarCtrl::OnCaptureLost(wxMouseCaptureLostEvent&) {
    // Another window took the pointer: whatever was under way is dropped.
    if (press_ == Press::UpArrow || press_ == Press::DownArrow)
        EndArrowTracking();
    else if (press_ == Press::Item)
        EndPress();
}

void CGfxOutBarCtrl::OnSetCursor(wxSetCursorEvent& event) {
    if (dragging_) {
        event.SetCursor(current_);
        return;
    }
    if (press_ == Press::None && HitAt(wxPoint(event.GetX(), event.GetY())).kind == HitKind::Item) {
        event.SetCursor(itemCursor_);
        return;
    }
    event.Skip();
}

void CGfxOutBarCtrl::OnHoverTimer(wxTimerEvent&) {
    // The pointer may leave without a motion event reaching us (a fast move
    // out of the window): look where it is.
    const wxPoint p = ScreenToClient(wxGetMousePosition());
    if (press_ == Press::Item) return;
    if (!wxRect(GetClientSize()).Contains(p)) {
        SetHot(-1);
        hoverTimer_.Stop();
    }
}

void CGfxOutBarCtrl::OnArrowTimer(wxTimerEvent&) {
    if (press_ != Press::UpArrow && press_ != Press::DownArrow) {
        arrowTimer_.Stop();
        return;
    }
    const bool up = press_ == Press::UpArrow;
    const wxPoint p = ScreenToClient(wxGetMousePosition());
    LayoutInput in = Layout();
    if ((up ? outbar::UpArrowRect(in) : outbar::DownArrowRect(in)).Contains(p)) ScrollStep(up);
}
