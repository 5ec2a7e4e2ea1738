#include "shellext/server.h"

#include "common/registry/setting_key.h"
#include "shellext/register_menu.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <new>

#define PARVEX_EXPORT extern "C" __attribute__((visibility("default")))

namespace shellext {

namespace {

struct Entry {
    const char* key;
    const char* valueName;  // empty: the key's default value
    const char* value;
};

// The handler's entries, in the order they are written; %1 is the class id.
const Entry kRegistrationTable[] = {
    {"*\\shellex\\ContextMenuHandlers\\parvex", "", "%1"},
    {"CLSID\\%1\\InProcServer32", "ThreadingModel", "Apartment"},
    {"Directory\\shellex\\ContextMenuHandlers\\parvex", "", "%1"},
    {"Folder\\shellex\\ContextMenuHandlers\\parvex", "", "%1"},
    {"parvex\\CLSID", "", "%1"},
    {"shellex\\shellex\\ContextMenuHandlers\\parvex", "", "%1"},
};

// %1 the class id, %2 the ProgID, %3 the module's path.
std::string Expand(const char* text) {
    const std::string clsid = com::GuidText(CLSID_ParvexMenu);
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '3') {
            out += p[1] == '1' ? clsid : p[1] == '2' ? std::string(kProgId) : ModulePath();
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string ClassKey() { return "CLSID\\" + com::GuidText(CLSID_ParvexMenu); }

bool SetValue(const std::string& key, const std::string& name, const std::string& value) {
    SettingKey k;
    return k.CreateKey(winreg::HKEY_CLASSES_ROOT, key) == winreg::ERROR_SUCCESS &&
           k.WriteString(name, value) == winreg::ERROR_SUCCESS;
}

bool KeyExists(const std::string& key) {
    SettingKey k;
    return k.OpenKey(winreg::HKEY_CLASSES_ROOT, key) == winreg::ERROR_SUCCESS;
}

class ClassFactory final : public com::IClassFactory {
public:
    com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
        if (!object) return com::E_POINTER;
        if (iid == com::IID_IUnknown || iid == com::IID_IClassFactory) {
            *object = static_cast<com::IClassFactory*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    // The factory lives as long as the module.
    com::ULONG AddRef() override { return 2; }
    com::ULONG Release() override { return 1; }

    com::HRESULT CreateInstance(com::IUnknown* outer, const com::IID& iid, void** object) override {
        if (!object) return com::E_POINTER;
        *object = nullptr;
        if (outer) return com::CLASS_E_NOAGGREGATION;
        auto* menu = new (std::nothrow) CRegisterMenu;
        if (!menu) return com::E_OUTOFMEMORY;
        com::HRESULT hr = menu->QueryInterface(iid, object);
        menu->Release();
        return hr;
    }
    com::HRESULT LockServer(bool lock) override {
        if (lock)
            ++ModuleLocks();
        else
            --ModuleLocks();
        return com::S_OK;
    }
};

ClassFactory g_factory;

}  // namespace

std::string ModulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return "";
    char resolved[PATH_MAX];
    return ::realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

bool RegisterServer() {
    // All or nothing: a half-registered handler would offer a menu whose class cannot be found.
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return false;
    const std::string clsid = com::GuidText(CLSID_ParvexMenu);
    if (!SetValue(ClassKey(), "", "CRegisterMenu") || !SetValue(ClassKey() + "\\ProgID", "", kProgId) ||
        !SetValue(ClassKey() + "\\InprocServer32", "", ModulePath()) || !SetValue(kProgId, "", "CRegisterMenu") ||
        !SetValue(std::string(kProgId) + "\\CLSID", "", clsid))
        return false;
    for (const Entry& e : kRegistrationTable) {
        std::string key = Expand(e.key);
        if (key.empty()) continue;
        if (!SetValue(key, e.valueName, Expand(e.value))) return false;
    }
    return transaction.Commit() == winreg::ERROR_SUCCESS;
}

bool UnregisterServer() {
    auto gone = [](winreg::LONG r) { return r == winreg::ERROR_SUCCESS || r == winreg::ERROR_FILE_NOT_FOUND; };
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return false;
    // An entry already missing is as good as removed; any other failure stops the removal.
    for (const Entry& e : kRegistrationTable) {
        std::string key = Expand(e.key);
        if (key.empty()) continue;
        winreg::LONG r;
        if (*e.valueName == '\0') {
            r = winreg::RegDeleteKey(winreg::HKEY_CLASSES_ROOT, key.c_str());
        } else {
            SettingKey k;
            r = k.OpenKey(winreg::HKEY_CLASSES_ROOT, key);
            if (r == winreg::ERROR_SUCCESS) r = k.DeleteValue(e.valueName);
        }
        if (!gone(r)) return false;
    }
    if (!gone(winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, ClassKey().c_str())) ||
        !gone(winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, kProgId)))
        return false;
    return transaction.Commit() == winreg::ERROR_SUCCESS;
}

bool MenuOffered(bool files, bool folders) {
    if (!KeyExists(ClassKey() + "\\InprocServer32")) return false;
    if (files && !KeyExists("*\\shellex\\ContextMenuHandlers\\parvex")) return false;
    if (folders && !KeyExists("Directory\\shellex\\ContextMenuHandlers\\parvex") &&
        !KeyExists("Folder\\shellex\\ContextMenuHandlers\\parvex"))
        return false;
    return true;
}

}  // namespace shellext

PARVEX_EXPORT com::HRESULT DllGetClassObject(const com::CLSID& clsid, const com::IID& iid, void** object) {
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (!(clsid == shellext::CLSID_ParvexMenu)) return com::CLASS_E_CLASSNOTAVAILABLE;
    return shellext::g_factory.QueryInterface(iid, object);
}

PARVEX_EXPORT com::HRESULT DllCanUnloadNow() { return shellext::ModuleLocks() == 0 ? com::S_OK : com::S_FALSE; }

// SELFREG_E_CLASS when the store could not be written (a corrupt or
// unwritable store): the caller must not believe the menu is (un)registered.
PARVEX_EXPORT com::HRESULT DllRegisterServer() {
    return shellext::RegisterServer() ? com::S_OK : com::SELFREG_E_CLASS;
}

PARVEX_EXPORT com::HRESULT DllUnregisterServer() {
    return shellext::UnregisterServer() ? com::S_OK : com::SELFREG_E_CLASS;
}

PARVEX_EXPORT int ParvexMenuOffered(int files, int folders) {
    return shellext::MenuOffered(files != 0, folders != 0) ? 1 : 0;
}
