#include "common/ui/file_types.h"

#include <gio/gio.h>
#include <wx/artprov.h>
#include <wx/image.h>

namespace ui {

std::string ContentTypeOfName(const std::string& name) {
    gboolean uncertain = FALSE;
    gchar* guessed = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
    std::string type = guessed ? guessed : "application/octet-stream";
    g_free(guessed);
    return type;
}

wxString ContentTypeDescription(const std::string& contentType) {
    gchar* desc = g_content_type_get_description(contentType.c_str());
    wxString description = desc ? wxString::FromUTF8(desc) : wxString();
    g_free(desc);
    return description;
}

wxBitmap ThemeIcon(const wxString& name, int size) {
    wxBitmap bmp = wxArtProvider::GetBitmap(name, wxART_OTHER, wxSize(size, size));
    if (!bmp.IsOk()) return bmp;
    if (bmp.GetWidth() != size || bmp.GetHeight() != size) {
        wxImage img = bmp.ConvertToImage();
        img.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
        bmp = wxBitmap(img);
    }
    return bmp;
}

wxBitmap ContentTypeIcon(const std::string& contentType, int size) {
    wxBitmap found;
    GIcon* icon = g_content_type_get_icon(contentType.c_str());
    if (icon && G_IS_THEMED_ICON(icon)) {
        for (const gchar* const* n = g_themed_icon_get_names(G_THEMED_ICON(icon)); n && *n && !found.IsOk(); ++n)
            found = ThemeIcon(wxString::FromUTF8(*n), size);
    }
    if (icon) g_object_unref(icon);
    return found;
}

}  // namespace ui
