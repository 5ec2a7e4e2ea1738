// The command bar of the browser's and the manager's left pane: a stack of
// folder headers with the selected folder's items (an icon over or beside a
// caption) between them. Items light up under the pointer, report a click
// when the button is released over the item it went down on, can be dragged
// to another place when the owner agrees, and scroll with two arrows when
// they do not fit. The selected folder changes only through SelectFolder,
// with a short sliding animation.
//
// The owner (the parent window) hears from the bar through EVT_OUTBAR_NOTIFY,
// a command event sent synchronously from the bar, so a handler bound on the
// parent (or on the bar) runs before the bar goes on and can answer a drop.
//
// Geometry and hit testing are plain functions on a description of the
// layout (namespace outbar), so they can be checked without a window.
#pragma once

#include <wx/colour.h>
#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/cursor.h>
#include <wx/event.h>
#include <wx/gdicmn.h>
#include <wx/timer.h>

#include <cstdint>
#include <vector>

class wxDC;
class wxImageList;

namespace outbar {

// Pixel sizes of the layout.
struct Metrics {
    int headerHeight = 22;   // each folder header
    int smallLabelGap = 4;   // small icons: icon to caption
    int largeLabelGap = 3;   // large icons: icon to caption
    int smallItemGap = 10;   // small icons: between items
    int largeItemGap = 8;    // large icons: between items, and added to each item's height
    int leftMargin = 5;      // small icons: item inset from the left
    int topMargin = 5;       // first item below the top of the item area
};

// What one item measures: its icon (0 x 0 without one) and its caption as
// drawn (large icons: word-wrapped to the item area's width).
struct ItemExtent {
    wxSize icon;
    wxSize caption;
};

// Everything the geometry depends on. Rectangles are wxRect (x, y, width,
// height); a rectangle's right and bottom edges are x + width and y + height.
struct LayoutInput {
    wxSize client;                  // the client area
    int folderCount = 0;
    int selectedFolder = 0;         // taken as the last folder when beyond it
    bool smallIcons = false;
    int firstVisible = 0;           // scroll position: the topmost item shown
    std::vector<ItemExtent> items;  // the selected folder's items
    int arrowSize = 16;             // the system's vertical scroll arrow width
    Metrics metrics;
};

// Header of `folder`: those up to the selected one stacked at the top, the
// others at the bottom. Empty for an index out of range.
wxRect HeaderRect(const LayoutInput& in, int folder);
// The space between the two stacks of headers.
wxRect ItemArea(const LayoutInput& in);
// Size of item `k`: large icons: as wide as the wider of icon and caption,
// icon + label gap + caption + item gap high; small icons: icon + label gap +
// caption wide, the higher of the two high.
wxSize ItemSize(const LayoutInput& in, int k);
// Where item `k` lies with the current scroll position (large icons: the whole
// width of the item area; small icons: from the left margin, as wide as the
// item). Items above the first visible one get negative offsets.
wxRect ItemRect(const LayoutInput& in, int k);
// The icon inside the item: large icons centred at its top, small icons at
// its left + 2, centred in the row.
wxRect IconRect(const LayoutInput& in, int k);
// The caption inside the item: large icons centred below the icon, small
// icons right of it after the label gap.
wxRect CaptionRect(const LayoutInput& in, int k);
// The scroll arrows, squares 5 pixels in from the item area's right edge and
// 5 pixels from its top (up) or its bottom (down).
wxRect UpArrowRect(const LayoutInput& in);
wxRect DownArrowRect(const LayoutInput& in);
// Whether the arrows are due: up when items are scrolled away at the top,
// down when the last item does not fit wholly in the item area.
bool UpArrowNeeded(const LayoutInput& in);
bool DownArrowNeeded(const LayoutInput& in);
// Whether one more step down is allowed: the last item still ends below the
// item area.
bool CanScrollDown(const LayoutInput& in);

enum class HitKind { None = -1, Header = 0, Item = 1, UpArrow = 2, DownArrow = 3 };
struct Hit {
    HitKind kind = HitKind::None;
    int index = -1;  // folder for Header, item for Item
};
// What lies under `p`, the first match winning: a shown up arrow, a shown
// down arrow, a folder header, an item from the first visible one on (large
// icons: its icon or its caption; small icons: its row), else nothing.
Hit HitTest(const LayoutInput& in, wxPoint p, bool upShown, bool downShown);

// Where the insertion marker goes while dragging.
enum class MarkerKind { First = 0, Between = 1, End = 2 };
// The rectangle the marker of `kind` at item `k` covers (line and wedges),
// for k = the target item (First, Between) or the last item (End).
wxRect MarkerRect(const LayoutInput& in, int k, MarkerKind kind);

// The caption broken into lines no wider than `width`: at spaces where it
// can, between characters where a word alone is too wide. Explicit line
// breaks are kept. Never returns an empty list.
std::vector<wxString> WrapCaption(wxDC& dc, const wxString& text, int width);

}  // namespace outbar

// What the bar tells its owner.
class COutBarEvent : public wxCommandEvent {
public:
    // Notification codes.
    static constexpr int kItemClicked = 1;    // Value(): the item, in the selected folder
    static constexpr int kItemDropped = 4;    // Value(): the dragged item; see Drop()
    static constexpr int kFolderChanged = 5;  // Value(): the new folder

    // The drop record of kItemDropped. `target` is where the item would be
    // inserted counting the items before the move (the item count for the
    // end), `marker` the marker kind (0 first, 1 between, 2 end).
    struct DropRecord {
        std::int32_t target = -1;
        std::int32_t marker = -1;
        std::int32_t folder = -1;
        std::int32_t item = -1;
    };

    explicit COutBarEvent(wxEventType type = wxEVT_NULL, int id = 0) : wxCommandEvent(type, id) {}

    int Code() const { return GetInt(); }
    int Value() const { return static_cast<int>(GetExtraLong()); }
    const DropRecord& Drop() const { return drop_; }
    // A drop handler sets a nonzero answer to let the item move; the answer
    // starts at 0, so a drop nobody answers changes nothing.
    void SetAnswer(long answer) { answer_ = answer; }
    long Answer() const { return answer_; }

    void SetDrop(const DropRecord& drop) { drop_ = drop; }
    wxEvent* Clone() const override { return new COutBarEvent(*this); }

private:
    DropRecord drop_;
    long answer_ = 0;
};

wxDECLARE_EVENT(EVT_OUTBAR_NOTIFY, COutBarEvent);

class CGfxOutBarCtrl : public wxControl {
public:
    // Feature flags.
    static constexpr std::uint32_t kSmallIcon = 0x001;      // small-icon layout (else large icons)
    static constexpr std::uint32_t kDragItems = 0x080;      // items can be dragged to a new place
    static constexpr std::uint32_t kAnimation = 0x100;      // SelectFolder slides
    static constexpr std::uint32_t kSelHighlight = 0x200;   // the last clicked item stays sunken
    static constexpr std::uint32_t kDefaultFlags = 0x3FC;
    // Image list kinds for AssignImageList.
    static constexpr int kSmallImageList = 1;
    static constexpr int kLargeImageList = 2;

    CGfxOutBarCtrl();
    ~CGfxOutBarCtrl() override;

    // Creates the window as a child of `parent` with a static edge and keeps
    // `flags`. Returns false when the window cannot be created.
    bool CreateBar(long style, const wxRect& rect, wxWindow* parent, wxWindowID id,
                   std::uint32_t flags = kDefaultFlags);

    // Appends a folder; returns its index.
    int AppendFolder(const wxString& caption, std::uint32_t userValue = 0);
    // Inserts an item into `folder` at `position` (negative or beyond the end:
    // appended). Returns the position used, or -1 for a folder that does not
    // exist.
    int InsertFolderItem(int folder, int position, const wxString& caption, int image, std::uint32_t userValue = 0);
    // Shows `folder` (sliding when kAnimation is set, the folder changes and
    // the step delay is not negative), scrolls to the top, clears the selected
    // item and sends kFolderChanged. An index that names no folder is ignored.
    void SelectFolder(int folder);
    // The bar's default image list of `kind` (kSmallImageList or
    // kLargeImageList); returns the previous one. Another kind changes nothing
    // and returns null. The bar does not own image lists: the caller keeps
    // them alive as long as the bar uses them.
    wxImageList* AssignImageList(wxImageList* list, int kind);
    // The same for one folder; null makes the folder use the bar's list.
    // Returns the previous one, or null for a bad folder or kind.
    wxImageList* AssignFolderImageList(int folder, wxImageList* list, int kind);
    // Makes `child` fill the item area while `folder` is selected, in place of
    // the items (null: items again). The bar becomes the child's parent, so
    // like any child window it goes with the bar unless the caller destroys
    // it first. Returns false for a folder that does not exist.
    bool SetFolderChild(int folder, wxWindow* child);

    int FolderCount() const { return static_cast<int>(folders_.size()); }
    int SelectedFolderItemCount() const;
    bool UsesSmallIcons() const { return (flags_ & kSmallIcon) != 0; }
    // The selected folder; may name no folder before the first SelectFolder
    // (the bar starts at folder 1) and is then drawn as the last folder.
    int SelectedFolder() const { return selFolder_; }
    std::uint32_t Flags() const { return flags_; }
    void SetFlags(std::uint32_t flags);

    // Read access for owners and tests; empty / 0 / -1 for bad indexes.
    wxString FolderCaption(int folder) const;
    std::uint32_t FolderData(int folder) const;
    int ItemCount(int folder) const;
    wxString ItemCaption(int folder, int item) const;
    int ItemImage(int folder, int item) const;
    std::uint32_t ItemData(int folder, int item) const;

    // Interaction state, as drawn.
    int FirstVisibleItem() const { return firstVisible_; }
    bool UpArrowShown() const { return upShown_; }
    bool DownArrowShown() const { return downShown_; }
    int HotItem() const { return hotItem_; }
    int SelectedItem() const { return selItem_; }
    bool IsDragging() const { return dragging_; }

    // The layout as it stands (measured with the bar's font).
    outbar::LayoutInput Layout() const;
    // Draws the whole bar, as it would appear at a client size of `size`,
    // into `dc`. The paint handler uses it; the tests render with it.
    void Render(wxDC& dc, const wxSize& size);

    // Milliseconds to wait after each step of the folder animation; a
    // negative value turns the animation off. The owner may set it at any time.
    int animationStepDelay = 10;

    // Colours (24-bit RGB), settable before the bar is shown.
    wxColour backgroundColour{178, 178, 178};  // item area; also erases hover frames
    wxColour lineColour;                       // above each header, its bottom-right edge
    wxColour textColour{0, 0, 0};              // item captions
    wxColour faceColour;                       // header fill, part of frames
    wxColour highlightColour;                  // header top-left edge
    wxColour darkShadowColour;                 // press and hover frames

private:
    struct Item {
        int image = -1;
        wxString caption;
        std::uint32_t data = 0;
        // The caption as last measured: for which layout and wrap width.
        mutable std::vector<wxString> lines;
        mutable wxSize extent;
        mutable int measuredWidth = -1;
        mutable bool measuredSmall = false;
    };
    struct Folder {
        wxString caption;
        std::uint32_t data = 0;
        wxImageList* large = nullptr;
        wxImageList* small = nullptr;
        std::vector<Item> items;
        wxWindow* child = nullptr;
    };
    enum class Press { None, Item, UpArrow, DownArrow };

    bool ValidFolder(int folder) const { return folder >= 0 && folder < FolderCount(); }
    int ShownFolder() const;  // the folder drawn as selected, -1 with none
    wxImageList* ImagesOf(int folder) const;
    outbar::LayoutInput LayoutFor(int folder, wxSize client, int firstVisible) const;
    void DrawHeaders(wxDC& dc, const outbar::LayoutInput& in);
    void DrawItems(wxDC& dc, int folder, const outbar::LayoutInput& in, const wxRect& area, bool arrows);
    void DrawFrame(wxDC& dc, const wxRect& r, bool raised);
    void DrawArrow(wxDC& dc, const wxRect& r, bool up, bool pressed);
    void DrawMarker(wxDC& dc, const outbar::LayoutInput& in);
    void DrawAnimation(wxDC& dc, wxSize size);
    void RenderFolderImage(wxDC& dc, int folder, const wxRect& area);
    void UpdateArrows(const outbar::LayoutInput& in);
    outbar::Hit HitAt(wxPoint p);
    const std::vector<wxString>& MeasuredLines(const Item& item, bool small, int width) const;
    void RefreshItem(int item);
    void RefreshItemArea();
    void SetHot(int item);
    void Notify(COutBarEvent& event);
    void NotifySimple(int code, int value);
    void ScrollStep(bool up);
    void EndArrowTracking();
    void EndPress();
    void UpdateDrop(wxPoint p);
    void PlaceChild();
    bool FocusInChild() const;

    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);
    void OnHoverTimer(wxTimerEvent& event);
    void OnArrowTimer(wxTimerEvent& event);

    std::uint32_t flags_ = kDefaultFlags;
    std::vector<Folder> folders_;
    int selFolder_ = 1;
    int selItem_ = -1;
    int firstVisible_ = 0;
    int hotItem_ = -1;
    bool hotPressed_ = false;
    bool upShown_ = false, downShown_ = false;
    bool upPressed_ = false, downPressed_ = false;
    wxImageList* large_ = nullptr;
    wxImageList* small_ = nullptr;

    Press press_ = Press::None;
    int pressedItem_ = -1;
    bool dragging_ = false;
    int dropPos_ = -1;  // item the marker is drawn at; -1: no marker
    outbar::MarkerKind dropKind_ = outbar::MarkerKind::Between;

    // The folder switch in progress, drawn by the paint handler.
    bool animating_ = false;
    int animFrom_ = -1, animTo_ = -1, animOffset_ = 0;
    wxBitmap animUpper_, animLower_;  // the two folders' contents

    wxTimer hoverTimer_;
    wxTimer arrowTimer_;
    wxCursor itemCursor_, dragCursor_, noDropCursor_;
    wxCursor current_;  // what the pointer shows while captured
};
