#include "common/ui/resources.h"

#include <wx/artprov.h>
#include <wx/fontenum.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/window.h>


namespace ui {

namespace {

// Filled once at start-up on the window thread, read afterwards; the
// workers never look texts up themselves.
ResourceTable& ProgramTable() {
    static ResourceTable table;
    return table;
}

}  // namespace

void ResourceTable::RegisterStrings(std::initializer_list<StringResource> strings) {
    for (const auto& s : strings) strings_[s.id] = wxString::FromUTF8(s.text);
}

wxString ResourceTable::LoadString(int id) const {
    auto it = strings_.find(id);
    return it == strings_.end() ? wxString() : it->second;
}

void ResourceTable::RegisterIcons(std::initializer_list<IconResource> icons) {
    for (const auto& i : icons) icons_[i.id] = i;
}

wxBitmap ResourceTable::LoadBitmap(int id, int size) const {
    auto it = icons_.find(id);
    if (it == icons_.end()) return wxBitmap();
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

void RegisterStrings(std::initializer_list<StringResource> strings) { ProgramTable().RegisterStrings(strings); }

wxString LoadString(int id) { return ProgramTable().LoadString(id); }

void RegisterIcons(std::initializer_list<IconResource> icons) { ProgramTable().RegisterIcons(icons); }

wxBitmap LoadBitmap(int id, int size) { return ProgramTable().LoadBitmap(id, size); }

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

void SetStockButtonLabels(wxWindow* window) {
    if (wxWindow* cancel = window->FindWindow(wxID_CANCEL)) cancel->SetLabel(wxString::FromUTF8("キャンセル"));
}

bool AskYesNo(wxWindow* parent, const wxString& question, const wxString& caption, long style) {
    wxMessageDialog ask(parent, question, caption, wxYES_NO | style);
    ask.SetYesNoLabels(wxString::FromUTF8("はい(&Y)"), wxString::FromUTF8("いいえ(&N)"));
    return ask.ShowModal() == wxID_YES;
}

}  // namespace ui
