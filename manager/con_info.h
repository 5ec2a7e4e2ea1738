// CConInfo: the manager's connection list, one row per entry of the provider
// chosen in the tree (the per-extension entry never shown), and the entry the
// provider commands act on.
#pragma once

#include "common/ui/list_view_ex.h"

#include <wx/imaglist.h>

#include <string>

class CConInfo : public CListViewEx {
public:
    explicit CConInfo(wxWindow* parent);

    // Refills the list with the entries of `provider`. A value missing from
    // an entry shows as an empty cell. When `menuName` is not empty, the first
    // shown entry whose "MenuName" (its key name when it has none) equals it
    // byte for byte becomes the current entry. Returns the row to select: that
    // entry's row, else 0.
    int Fill(const std::string& provider, const std::string& menuName);

    // The entry the properties and delete commands act on; both empty when none.
    const std::string& CurrentProvider() const { return currentProvider_; }
    const std::string& CurrentEntry() const { return currentEntry_; }
    void ClearCurrent();

private:
    wxImageList images_{16, 16, true, 6};
    std::string currentProvider_;
    std::string currentEntry_;
};
