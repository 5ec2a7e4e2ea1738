#include "manager/con_info.h"

#include "common/registry/layout.h"
#include "common/ui/resources.h"
#include "manager/resources.h"

#include <vector>

using namespace morvane;

CConInfo::CConInfo(wxWindow* parent) : CListViewEx(parent, wxID_ANY, wxDefaultPosition, wxSize(100, 100)) {
    wxBitmap icon = ui::LoadBitmap(IDI_ROW, 16);
    images_.Add(icon.IsOk() ? icon : wxBitmap(16, 16));
    SetSmallImageList(&images_);
    const int widths[] = {100, 100, 100, 80, 80};
    for (int col = 0; col < 5; ++col) {
        InsertColumn(col, ui::LoadString(IDS_COL_SERVER + col), Align::Left, widths[col]);
        // In the desktop's font the headings are wider than these widths allow.
        FitColumnToHeading(col);
    }
}

void CConInfo::ClearCurrent() {
    currentProvider_.clear();
    currentEntry_.clear();
    chosenProvider_.clear();
}

int CConInfo::Fill(const std::string& provider, const std::string& menuName) {
    DeleteAllItems();
    SettingKey key;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(provider)) != winreg::ERROR_SUCCESS) return 0;
    const std::string autoEntry = ui::LoadString(IDS_AUTO_TRANSFER).utf8_string();
    auto name = [](int id) { return ui::LoadString(id).utf8_string(); };
    std::vector<std::string> rows;
    for (const std::string& entry : layout::SubKeyNames(key)) {
        if (entry == autoEntry) continue;
        SettingKey e;
        e.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry));
        // Every cell starts empty: a value the entry lacks never shows another row's.
        std::string server, user, root;
        winreg::DWORD anonymous = 0, port = 0;
        e.ReadString(name(IDS_VALUE_SERVER), server);
        e.ReadString(name(IDS_VALUE_SERVER + 1), user);
        e.ReadString(name(IDS_VALUE_SERVER + 2), root);
        const bool hasAnonymous = e.ReadDword(name(IDS_VALUE_SERVER + 3), anonymous) == winreg::ERROR_SUCCESS;
        const bool hasPort = e.ReadDword(name(IDS_VALUE_SERVER + 4), port) == winreg::ERROR_SUCCESS;
        const int row = InsertItem(GetItemCount(), wxString::FromUTF8(server), 0);
        SetItemText(row, 1, wxString::FromUTF8(user));
        SetItemText(row, 2, wxString::FromUTF8(root));
        if (hasAnonymous) SetItemText(row, 3, wxString::FromUTF8(anonymous != 0 ? "する" : "しない"));
        if (hasPort) SetItemText(row, 4, wxString::Format("%d", static_cast<int>(port)));
        rows.push_back(entry);
    }
    if (menuName.empty()) return 0;
    // The per-extension entry is never shown, so it never becomes the entry
    // that properties or delete act on, whatever its menu name.
    for (size_t row = 0; row < rows.size(); ++row) {
        SettingKey e;
        std::string menu;
        if (e.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, rows[row])) == winreg::ERROR_SUCCESS)
            e.ReadString(layout::kMenuName, menu);
        if (menu.empty()) menu = rows[row];  // as the tree shows it
        if (menu == menuName) {
            currentProvider_ = provider;
            currentEntry_ = rows[row];
            return static_cast<int>(row);
        }
    }
    return 0;
}
