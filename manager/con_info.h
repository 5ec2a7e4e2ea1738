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
    // shown entry whose "MenuName" (its key name when it has none or an empty one) equals it
    // byte for byte becomes the current entry. Returns the row to select: that
    // entry's row, else 0.
    int Fill(const std::string& provider, const std::string& menuName);

    // The entry the properties and delete commands act on; both empty when none.
    const std::string& CurrentProvider() const { return currentProvider_; }
    const std::string& CurrentEntry() const { return currentEntry_; }
    // The provider whose own tree item was clicked last: delete then removes
    // that provider whole instead of the current entry. Empty when the last
    // click was on an entry.
    const std::string& ChosenProvider() const { return chosenProvider_; }
    void ChooseProvider(const std::string& provider) { chosenProvider_ = provider; }
    // Empties the current entry and the chosen provider.
    void ClearCurrent();

private:
    wxImageList images_{16, 16, true, 6};
    std::string currentProvider_;
    std::string currentEntry_;
    std::string chosenProvider_;
};
