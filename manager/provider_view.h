// CProvider: the tree of providers and their entries in the manager's middle
// pane, read afresh from the settings store at every rebuild. Only a mouse
// click on an item's label drives the list and the label; moving the
// selection with the keyboard changes neither.
#pragma once

#include <wx/imaglist.h>
#include <wx/treectrl.h>

#include <string>

class CMainFrame;

class CProvider : public wxTreeCtrl {
public:
    CProvider(wxWindow* parent, CMainFrame* frame);

    // Rereads the whole tree: the root, one item per provider, under each
    // one item per entry but the per-extension one, shown by its "MenuName"
    // (its key name when it has none or an empty one). A missing PROVIDER key
    // leaves the root alone.
    void Rebuild();

    // "MenuName" of the first entry the last rebuild found, and its provider;
    // empty when there was none.
    const std::string& FirstProvider() const { return firstProvider_; }
    const std::string& FirstMenuName() const { return firstMenuName_; }

    // The name an item stands for (a provider's key name, an entry's menu
    // name, the root's text), kept byte for byte.
    std::string ItemName(const wxTreeItemId& item) const;

    // A click at `point` (client coordinates): on an item's label other than
    // the root it fills the list, moves the list's selection and sets the
    // label; a provider's item also chooses that provider for delete.
    // Returns whether it did.
    bool ClickAt(const wxPoint& point);

private:
    CMainFrame* frame_;
    wxImageList images_{16, 16, true, 6};
    std::string firstProvider_;
    std::string firstMenuName_;
};
