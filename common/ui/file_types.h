// File types as the desktop knows them (the shared-mime-info database through
// GIO): the type of a file name, its description in the user's language and
// its icon in the desktop theme. Guessed from the name alone: no file is read.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

#include <string>

namespace ui {

// The content type of files named like `name` ("x.html" → "text/html");
// "application/octet-stream" when the database does not know the name.
std::string ContentTypeOfName(const std::string& name);

// The type's description ("HTML 文書"); empty when it has none.
wxString ContentTypeDescription(const std::string& contentType);

// The type's icon at `size` × `size` pixels: the first of its icon names (the
// specific one, then the generic ones) that the desktop theme has, scaled
// when the theme has it only at another size. Invalid when none is found.
wxBitmap ContentTypeIcon(const std::string& contentType, int size);

// The theme icon `name` at exactly `size` × `size`; invalid when the theme lacks it.
wxBitmap ThemeIcon(const wxString& name, int size);

}  // namespace ui
