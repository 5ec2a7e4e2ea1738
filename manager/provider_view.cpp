#include "manager/provider_view.h"

#include "common/registry/layout.h"
#include "common/ui/resources.h"
#include "manager/con_info.h"
#include "manager/main_frame.h"
#include "manager/resources.h"

using namespace morvane;

namespace {

// The exact bytes an item stands for: a key name need not survive a round
// trip through the shown text.
struct Name : wxTreeItemData {
    explicit Name(std::string n) : name(std::move(n)) {}
    std::string name;
};

wxBitmap Icon(int id) {
    wxBitmap bmp = ui::LoadBitmap(id, 16);
    return bmp.IsOk() ? bmp : wxBitmap(16, 16);
}

}  // namespace

CProvider::CProvider(wxWindow* parent, CMainFrame* frame)
    : wxTreeCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(100, 100),
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE | wxBORDER_SUNKEN),
      frame_(frame) {
    for (int id : {IDI_ROOT, IDI_PROVIDER, IDI_ENTRY}) images_.Add(Icon(id));
    SetImageList(&images_);
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
        e.Skip();
        ClickAt(e.GetPosition());
    });
    Rebuild();
}

std::string CProvider::ItemName(const wxTreeItemId& item) const {
    auto* data = item.IsOk() ? dynamic_cast<Name*>(GetItemData(item)) : nullptr;
    return data ? data->name : std::string();
}

void CProvider::Rebuild() {
    DeleteAllItems();
    const std::string rootText = ui::LoadString(IDS_TREE_ROOT).utf8_string();
    const wxTreeItemId root = AddRoot(wxString::FromUTF8(rootText), 0, 0, new Name(rootText));
    firstProvider_.clear();
    firstMenuName_.clear();

    SettingKey providers;
    if (providers.OpenKey(winreg::HKEY_CURRENT_USER, layout::kProviderKey) != winreg::ERROR_SUCCESS) return;
    const std::string autoEntry = ui::LoadString(IDS_AUTO_TRANSFER).utf8_string();
    bool first = true;
    for (const std::string& provider : layout::SubKeyNames(providers)) {
        const wxTreeItemId item = AppendItem(root, wxString::FromUTF8(provider), 1, 1, new Name(provider));
        SettingKey key;
        if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(provider)) != winreg::ERROR_SUCCESS) continue;
        for (const std::string& entry : layout::SubKeyNames(key)) {
            if (entry == autoEntry) continue;
            SettingKey entryKey;
            std::string menu;
            if (entryKey.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry)) == winreg::ERROR_SUCCESS)
                entryKey.ReadString(layout::kMenuName, menu);
            // Without a menu name (or with an empty one) the entry shows its key
            // name: an empty label could never be clicked, edited or deleted.
            if (menu.empty()) menu = entry;
            AppendItem(item, wxString::FromUTF8(menu), 2, 2, new Name(menu));
            Expand(item);
            if (first) {
                firstProvider_ = provider;
                firstMenuName_ = menu;
                first = false;
            }
        }
    }
    Expand(root);
}

bool CProvider::ClickAt(const wxPoint& point) {
    int flags = 0;
    const wxTreeItemId item = HitTest(point, flags);
    if (!item.IsOk() || !(flags & wxTREE_HITTEST_ONITEMLABEL)) return false;
    const wxTreeItemId parent = GetItemParent(item);
    if (!parent.IsOk()) return false;  // the root
    std::string provider, menu;
    // A provider's own item chooses the provider for delete; an entry's does not.
    frame_->List()->ChooseProvider(parent == GetRootItem() ? ItemName(item) : std::string());
    if (ItemHasChildren(item)) {
        provider = ItemName(item);
    } else {
        // An entry, or a provider without entries (whose "provider" is then
        // the root's text: the list stays empty).
        provider = ItemName(parent);
        menu = ItemName(item);
    }
    const int row = frame_->List()->Fill(provider, menu);
    frame_->CallAfter([frame = frame_, row] { frame->SelectRow(row); });
    frame_->SetProviderLabel(provider, menu);
    return true;
}
