// Resources by number, as every program of the suite names them: a string
// table, icons, and the dialog font. Each program registers its own tables
// at start-up; the shared controls look texts and icons up by the same ids.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/icon.h>
#include <wx/string.h>

#include <initializer_list>
#include <map>

class wxWindow;

namespace ui {

struct StringResource {
    int id;
    const char* text;  // UTF-8, as the program shows it
};

// Adds (or replaces) entries of the program's string table.
void RegisterStrings(std::initializer_list<StringResource> strings);
// The text of string `id`; empty when the table has none.
wxString LoadString(int id);

struct IconResource {
    int id;
    const char* themeName;        // icon name in the desktop theme, tried first
    const char* const* fallback;  // embedded XPM used when the theme has no such icon; may be null
};

// A string and icon table by number. Each program has one (the functions
// below); a shared library that shows windows keeps one of its own, so that
// its numbers never clash with those of the program that loads it.
class ResourceTable {
public:
    void RegisterStrings(std::initializer_list<StringResource> strings);
    // Empty when the table has no such string.
    wxString LoadString(int id) const;
    void RegisterIcons(std::initializer_list<IconResource> icons);
    // Invalid when the id is unknown or neither the theme nor the embedded image provides it.
    wxBitmap LoadBitmap(int id, int size = 16) const;

private:
    std::map<int, wxString> strings_;
    std::map<int, IconResource> icons_;
};

// Adds (or replaces) entries of the program's icon table.
void RegisterIcons(std::initializer_list<IconResource> icons);
// Icon `id` at `size` pixels; an invalid bitmap when the id is unknown or
// neither the theme nor the embedded image provides it.
wxBitmap LoadBitmap(int id, int size = 16);
// The same as a window icon; invalid when missing.
wxIcon LoadIcon(int id, int size = 32);

// The font a dialog template asks for: `face` when it is installed, else an
// installed proportional Japanese gothic, else the system's GUI font; always
// at `points`.
wxFont DialogFont(const wxString& face, int points);
// The face DialogFont settles on for `face`.
wxString ResolveFace(const wxString& face);

// A template rectangle in dialog units turned into pixels with the
// window's current font (set the template font first).
wxRect DialogRect(wxWindow* window, int x, int y, int width, int height);

// Gives the stock Cancel button under `window` its Japanese label. The
// programs load no wx message catalogue, so wx would label it "Cancel"
// beside Japanese texts; "OK" reads the same in both.
void SetStockButtonLabels(wxWindow* window);

// Asks `question` in a message box captioned `caption` with the buttons
// はい and いいえ, for the same reason; `style` adds the icon and
// wxNO_DEFAULT. Returns whether the user chose はい.
bool AskYesNo(wxWindow* parent, const wxString& question, const wxString& caption, long style = wxICON_QUESTION);

}  // namespace ui
