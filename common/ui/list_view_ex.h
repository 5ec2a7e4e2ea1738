// CListViewEx: a report list that draws its rows itself. A selected row is
// highlighted across every column up to the right edge of the window, texts
// that do not fit their column end in "...", and the highlight follows the
// focus: without it (and without the show-selection-always style) selected
// rows look like the others, and they are repainted as the focus comes and
// goes. GTK's list control cannot be drawn by its owner, so this is a control
// of its own: a column header over a body of fixed-height rows.
#pragma once

#include <wx/colour.h>
#include <wx/control.h>
#include <wx/string.h>

#include <functional>
#include <string>
#include <vector>

class wxDC;
class wxHeaderCtrlSimple;
class wxImageList;

namespace listviewex {

// The shortening rule of every cell: `text` unchanged when it is empty or its
// width plus `offset` fits `width`; otherwise the longest shorter prefix,
// down to its first character, whose width plus `offset` plus the width of
// "..." fits, followed by "...". Cuts fall only between UTF-8 characters
// (a text that is not valid UTF-8 is cut between bytes). `measure` gives the
// drawn width of a text.
std::string MakeShortString(const std::string& text, int width, int offset,
                            const std::function<int(const std::string&)>& measure);

// Offsets added to a text's width before it is compared with its column.
inline constexpr int kFirstColumnOffset = 4;
inline constexpr int kOtherColumnOffset = 12;

}  // namespace listviewex

class CListViewEx : public wxControl {
public:
    // Item state bits.
    static constexpr unsigned kSelected = 0x0002;
    static constexpr unsigned kFocused = 0x0001;
    static constexpr unsigned kCut = 0x0004;
    static constexpr unsigned kDropHilited = 0x0008;
    // Style: selected rows stay highlighted without the focus.
    static constexpr long kShowSelAlways = 0x0008;

    // Column formats.
    enum class Align { Left, Right, Centre };

    CListViewEx() = default;
    CListViewEx(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0) {
        Create(parent, id, pos, size, style);
    }
    // Creates the window in report style with full-row drawing on. Returns
    // false when the window cannot be created.
    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    // Whether rows are drawn with the full-row highlight (set at creation).
    bool GetFullRowSel() const { return fullRowSel_; }
    // Whether the highlight reaches the client area's right edge past the last column.
    bool clientWidthSel = true;
    void SetShowSelectionAlways(bool always);
    bool ShowsSelectionAlways() const { return showSelAlways_; }

    // Columns. Returns the index used, -1 when it is out of range.
    int InsertColumn(int col, const wxString& heading, Align align = Align::Left, int width = 100);
    int GetColumnCount() const { return static_cast<int>(columns_.size()); }
    int GetColumnWidth(int col) const;
    bool SetColumnWidth(int col, int width);
    wxString GetColumnHeading(int col) const;
    // Widens column `col` until its heading shows whole, without the "..."
    // the header puts on a heading it cannot fit; never narrows it.
    // Returns false for a column that does not exist.
    bool FitColumnToHeading(int col);

    // Rows. InsertItem returns the row index used (appended past the end), or
    // -1; the other setters return false for a row or column that does not exist.
    int InsertItem(int row, const wxString& text, int image = -1);
    bool SetItemText(int row, int col, const wxString& text);
    wxString GetItemText(int row, int col = 0) const;
    int GetItemImage(int row) const;
    bool DeleteItem(int row);
    void DeleteAllItems();
    int GetItemCount() const { return static_cast<int>(rows_.size()); }

    // State bits of a row (kSelected, kFocused, kCut, kDropHilited); setting
    // kFocused moves the focus mark from any other row.
    unsigned GetItemState(int row) const;
    bool SetItemState(int row, unsigned state, unsigned mask);
    // Makes `row` the only selected row and the focused one, and scrolls to it.
    void SelectOnly(int row);
    // The first selected row, or -1.
    int GetFirstSelected() const;
    int GetFocusedItem() const;

    // The small image list drawn before each row's first cell (not owned).
    void SetSmallImageList(wxImageList* list);
    wxImageList* GetSmallImageList() const { return small_; }

    // Colours, kept and used at the next paint.
    void SetTextColour(const wxColour& c);
    void SetTextBkColour(const wxColour& c);
    void SetBkColour(const wxColour& c);
    wxColour GetTextColour() const { return text_; }
    wxColour GetTextBkColour() const { return textBk_; }
    wxColour GetBkColour() const { return bk_; }

    // Whether the list (its row area) has the keyboard focus.
    bool ListHasFocus() const;
    // The window that takes the focus and the keys: the row area.
    wxWindow* Body() const;
    void SetFocus() override;

    // Height of a row and the client width the highlight reaches.
    int RowHeight() const;
    int ClientWidth() const { return clientWidth_; }
    // Rectangle of row `row` in the row area's client coordinates (its
    // bounds across every column), empty for a row that does not exist.
    wxRect GetItemRect(int row) const;
    // Where the first column's label starts: after the small icon.
    int LabelLeft() const;

    // Draws row `row` into `dc` at `bounds` (the row across every column,
    // as GetItemRect gives it). The paint handler uses it; tests render with it.
    void DrawItem(wxDC& dc, int row, const wxRect& bounds);

    // Sets the font of the rows and the header.
    bool SetFont(const wxFont& font) override;

protected:
    wxSize DoGetBestSize() const override;

private:
    class RowArea;
    friend class RowArea;
    struct Column {
        wxString heading;
        Align align = Align::Left;
        int width = 100;
    };
    struct Row {
        std::vector<wxString> cells;
        int image = -1;
        unsigned state = 0;
    };

    void RepaintSelectedItems();
    void OnBodyFocus(wxFocusEvent& event);
    void OnBodySize(int width);
    void MoveSelection(int row);
    void SyncHeader();

    wxHeaderCtrlSimple* header_ = nullptr;
    RowArea* body_ = nullptr;
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    wxImageList* small_ = nullptr;
    bool fullRowSel_ = false;
    bool showSelAlways_ = false;
    bool hasFocus_ = false;
    int clientWidth_ = 0;
    int stateImageOffset_ = 0;  // state images need no room of their own here
    wxColour text_, textBk_, bk_;
};
