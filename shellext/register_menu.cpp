#include "shellext/register_menu.h"

#include "common/registry/layout.h"
#include "platform/os/os.h"
#include "shellext/host.h"
#include "shellext/menu.h"

#include <climits>
#include <cstring>
#include <ctime>

namespace shellext {

namespace {

// The module's string table.
constexpr int IDS_PARVEX = 6;
constexpr int IDS_AUTO_TRANSFER = 7;
const char* LoadString(int id) {
    switch (id) {
    case IDS_PARVEX: return "Parvex";
    case IDS_AUTO_TRANSFER: return "拡張子別転送";
    default: return "";
    }
}

const char* const kHelpText = "指定プロバイダへファイル送信";

// No entry's "MENUID" is ever this: a missing value must not match offset 0.
constexpr winreg::DWORD kNoMenuId = 0xFFFFFFFF;

}  // namespace

std::vector<std::string>& Selection() {
    static std::vector<std::string> selection;
    return selection;
}

std::atomic<long>& ModuleLocks() {
    static std::atomic<long> locks{0};
    return locks;
}

CRegisterMenu::CRegisterMenu() {
    ++ModuleLocks();
    Selection().clear();
}

CRegisterMenu::~CRegisterMenu() { --ModuleLocks(); }

com::HRESULT CRegisterMenu::QueryInterface(const com::IID& iid, void** object) {
    if (!object) return com::E_POINTER;
    if (iid == com::IID_IUnknown || iid == com::IID_IShellExtInit) {
        *object = static_cast<com::IShellExtInit*>(this);
    } else if (iid == com::IID_IContextMenu) {
        *object = static_cast<com::IContextMenu*>(this);
    } else {
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    AddRef();
    return com::S_OK;
}

com::ULONG CRegisterMenu::AddRef() { return ++refs_; }

com::ULONG CRegisterMenu::Release() {
    com::ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

com::HRESULT CRegisterMenu::Initialize(const char*, com::IDataObject* data, void*) {
    if (!data) return com::E_FAIL;
    com::UINT count = data->DragQueryFile(0xFFFFFFFF, nullptr, 0);
    if (count == 0) return com::E_FAIL;
    // A Linux path can be far longer than the 260 bytes of a Windows one; a
    // cut path would upload the wrong file.
    std::string buffer(PATH_MAX + 1, '\0');
    for (com::UINT i = 0; i < count; ++i) {
        com::UINT n = data->DragQueryFile(i, buffer.data(), static_cast<com::UINT>(buffer.size()));
        if (n > 0) Selection().emplace_back(buffer.data(), n);
    }
    return Selection().empty() ? com::E_FAIL : com::S_OK;
}

com::HRESULT CRegisterMenu::QueryContextMenu(com::Menu* menu, com::UINT index, com::UINT idCmdFirst, com::UINT,
                                             com::UINT) {
    if (!menu) return com::E_INVALIDARG;
    auto parvex = std::make_shared<com::Menu>();
    menu->Insert(index, com::MenuItem{});
    menu->Insert(index + 1, com::MenuItem{com::MenuItem::Kind::Popup, LoadString(IDS_PARVEX), 0, parvex});

    // The numbers are stored in one write: each on its own would wait for a
    // busy store once per entry, on the file manager's own thread.
    winreg::Transaction transaction;
    const bool store = transaction.Status() == winreg::ERROR_SUCCESS;
    auto entryKey = [store](SettingKey& key, const std::string& path) {
        return store ? key.CreateKey(winreg::HKEY_CURRENT_USER, path) : key.OpenKey(winreg::HKEY_CURRENT_USER, path);
    };
    SettingKey providers;
    entryKey(providers, layout::kProviderKey);
    const std::string autoName = LoadString(IDS_AUTO_TRANSFER);
    com::UINT command = 0;
    winreg::DWORD menuId = 0;
    for (const std::string& provider : layout::SubKeyNames(providers)) {
        auto popup = std::make_shared<com::Menu>();
        parvex->AppendPopup(popup, provider);

        popup->AppendCommand(idCmdFirst + command, autoName);
        popup->AppendSeparator();
        {
            SettingKey autoEntry;
            entryKey(autoEntry, layout::EntryKey(provider, autoName));
            if (store) autoEntry.WriteDword(layout::kMenuId, menuId);
        }
        ++command, ++menuId;

        SettingKey providerKey;
        providerKey.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(provider));
        for (const std::string& entry : layout::SubKeyNames(providerKey)) {
            if (entry == autoName) continue;
            SettingKey key;
            entryKey(key, layout::EntryKey(provider, entry));
            // Without a "MenuName" the item shows the entry's own name: every
            // item must tell the user where it sends the files.
            std::string text = entry;
            key.ReadString(layout::kMenuName, text);
            popup->AppendCommand(idCmdFirst + command, text);
            if (store) key.WriteDword(layout::kMenuId, menuId);
            ++command, ++menuId;
        }
    }
    menu->Insert(index + 2, com::MenuItem{});
    idsStatus_ = store ? transaction.Commit() : transaction.Status();
    return com::MAKE_HRESULT(0, 0, command + 1);
}

com::HRESULT CRegisterMenu::GetCommandString(std::uintptr_t, com::UINT type, com::UINT*, char* name,
                                             com::UINT size) {
    if (type != com::GCS_HELPTEXTA || !name) return com::S_OK;
    // As strncpy: unterminated when the text fills the buffer; never cut
    // inside a character, though.
    const std::size_t length = std::strlen(kHelpText);
    std::size_t n = std::min<std::size_t>(length, size);
    while (n > 0 && n < length && (static_cast<unsigned char>(kHelpText[n]) & 0xC0) == 0x80) --n;
    std::memcpy(name, kHelpText, n);
    if (n < size) std::memset(name + n, 0, size - n);
    return com::S_OK;
}

com::HRESULT CRegisterMenu::InvokeCommand(const com::CMINVOKECOMMANDINFO* info) {
    if (!info || !com::IS_INTRESOURCE(info->lpVerb)) return com::E_INVALIDARG;
    const auto offset = static_cast<winreg::DWORD>(reinterpret_cast<std::uintptr_t>(info->lpVerb) & 0xFFFF);
    if (idsStatus_ != winreg::ERROR_SUCCESS) {
        Selection().clear();
        return idsStatus_ == winreg::ERROR_BUSY ? E_STORE_BUSY : com::E_FAIL;
    }

    std::string provider, entry;
    bool found = false;
    {
        SettingKey providers;
        providers.CreateKey(winreg::HKEY_CURRENT_USER, layout::kProviderKey);
        for (const std::string& p : layout::SubKeyNames(providers)) {
            SettingKey providerKey;
            providerKey.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(p));
            for (const std::string& e : layout::SubKeyNames(providerKey)) {
                SettingKey entryKey;
                entryKey.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(p, e));
                winreg::DWORD id = kNoMenuId;
                entryKey.ReadDword(layout::kMenuId, id);
                if (id == offset) {
                    provider = p, entry = e, found = true;
                    break;
                }
            }
            if (found) break;
        }
    }
    // The settings changed since the menu was built: nobody knows where to send the files.
    if (!found || Selection().empty()) {
        Selection().clear();
        return com::E_FAIL;
    }

    const bool browser = (info->fMask & com::CMIC_MASK_SHIFT_DOWN) != 0;
    const bool alsoBrowser = !browser && (info->fMask & com::CMIC_MASK_CONTROL_DOWN) != 0;
    std::string commandLine;
    const winreg::LONG status = WriteHandOff(provider, entry, browser, alsoBrowser, commandLine);
    const bool written = status == winreg::ERROR_SUCCESS;
    // Started only once the whole hand-off is stored: a program started on
    // half of it would upload half of the selection.
    const bool started = written && os::StartProgram(commandLine) > 0;
    if (written && !started) DropHandOff(provider, entry, alsoBrowser);
    Selection().clear();
    if (started) return com::S_OK;
    return status == winreg::ERROR_BUSY ? E_STORE_BUSY : com::E_FAIL;
}

winreg::LONG CRegisterMenu::WriteHandOff(const std::string& provider, const std::string& entry, bool browser,
                                         bool alsoBrowser, std::string& commandLine) {
    using winreg::ERROR_SUCCESS;
    winreg::Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    // Only this entry's hand-off is replaced: one beside it may be waiting
    // for a program started a moment ago. The old values go with it, since
    // readers stop at the first missing "Selected%d" and values left from a
    // larger earlier selection would be uploaded with this one.
    const std::string key = layout::SelectedEntryKey(provider, entry);
    winreg::LONG st = winreg::RegDeleteTree(winreg::HKEY_CURRENT_USER, key.c_str());
    if (st != ERROR_SUCCESS && st != winreg::ERROR_FILE_NOT_FOUND) return st;
    SettingKey handOff;
    if ((st = handOff.CreateKey(winreg::HKEY_CURRENT_USER, key)) != ERROR_SUCCESS) return st;
    const auto& paths = Selection();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        st = handOff.WriteString(layout::SelectedValueName(static_cast<int>(i)), paths[i]);
        if (st != ERROR_SUCCESS) return st;
    }
    if ((st = handOff.WriteString(layout::kRootDir, layout::FolderOf(paths.front()))) != ERROR_SUCCESS) return st;
    // Readers take the first hand-off there is: one that no program took
    // (its program failed to start or died) must not be sent in place of
    // this one, while one written a moment ago is still on its way.
    const auto now = static_cast<winreg::DWORD>(std::time(nullptr));
    if ((st = handOff.WriteDword(layout::kWritten, now)) != ERROR_SUCCESS) return st;
    if ((st = layout::DropStaleHandOffs(provider, entry, now)) != ERROR_SUCCESS) return st;

    SettingKey running;
    if ((st = running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey())) != ERROR_SUCCESS) return st;
    running.ReadString(browser ? layout::kInstDirBrovin : layout::kInstDir, commandLine);
    if (alsoBrowser && (st = running.WriteDword(layout::kRemoteBrowser, 1)) != ERROR_SUCCESS) return st;
    return transaction.Commit();
}

void CRegisterMenu::DropHandOff(const std::string& provider, const std::string& entry, bool alsoBrowser) {
    // Nobody will take the hand-off over: it must not wait for the next program started by hand.
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return;
    layout::DeleteHandOffEntry(layout::kSelectedKey, provider, entry);
    if (alsoBrowser) {
        SettingKey running;
        if (running.OpenKey(winreg::HKEY_CURRENT_USER, layout::RunningKey()) == winreg::ERROR_SUCCESS)
            running.DeleteValue(layout::kRemoteBrowser);
    }
    transaction.Commit();
}

}  // namespace shellext
