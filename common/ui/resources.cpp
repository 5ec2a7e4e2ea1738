#include "common/ui/resources.h"

#include <wx/artprov.h>
#include <wx/fontenum.h>
#include <wx/settings.h>
#include <wx/window.h>

#include <map>

namespace ui {

namespace {

// Filled once at start-up on the window thread, read afterwards; the
// workers never look texts up themselves.
std::map<int, wxString>& Strings() {
    static std::map<int, wxString> table;
    return table;
}

std::map<int, IconResource>& Icons() {
    static std::map<int, IconResource> table;
    return table;
}

}  // namespace

void RegisterStrings(std::initializer_list<StringResource> strings) {
    for (const auto& s : strings) Strings()[s.id] = wxString::FromUTF8(s.text);
}

wxString LoadString(int id) {
    auto it = Strings().find(id);
    return it == Strings().end() ? wxString() : it->second;
}

void RegisterIcons(std::initializer_list<IconResource> icons) {
    for (const auto& i : icons) Icons()[i.id] = i;
}

wxBitmap LoadBitmap(int id, int size) {
    auto it = Icons().find(id);
    if (it == Icons().end()) return wxBitmap();
    wxBitmap bmp;
    if (it->second.themeName && *it->second.themeName)
        bmp = wxArtProvider::GetBitmap(wxString::FromUTF8(it->second.themeName), wxART_OTHER, wxSize(size, size));
    if (!bmp.IsOk() && it->second.fallback) {
        wxImage image(it->second.fallback);
        if (image.IsOk()) {
            if (image.GetWidth() != size || image.GetHeight() != size)
                image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
            bmp = wxBitmap(image);
        }
    }
    return bmp;
}

wxIcon LoadIcon(int id, int size) {
    wxIcon icon;
    wxBitmap bmp = LoadBitmap(id, size);
    if (bmp.IsOk()) icon.CopyFromBitmap(bmp);
    return icon;
}

wxString ResolveFace(const wxString& face) {
    if (wxFontEnumerator::IsValidFacename(face)) return face;
    // Proportional Japanese gothics a Debian desktop may carry, the README's
    // setup installing the first.
    static const char* const kFallbacks[] = {"IPAPGothic", "IPA Pゴシック", "VL PGothic", "TakaoPGothic",
                                             "Noto Sans CJK JP"};
    for (const char* f : kFallbacks) {
        wxString name = wxString::FromUTF8(f);
        if (wxFontEnumerator::IsValidFacename(name)) return name;
    }
    return wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetFaceName();
}

wxFont DialogFont(const wxString& face, int points) {
    wxFont font(wxFontInfo(points).FaceName(ResolveFace(face)));
    if (!font.IsOk()) font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(points);
    return font;
}

wxRect DialogRect(wxWindow* window, int x, int y, int width, int height) {
    wxPoint pos = window->ConvertDialogToPixels(wxPoint(x, y));
    wxSize size = window->ConvertDialogToPixels(wxSize(width, height));
    return wxRect(pos, size);
}

}  // namespace ui
