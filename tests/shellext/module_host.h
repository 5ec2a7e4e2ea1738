// parvex.so loaded the way a shell loads it: by path, through its entry points only. The module shares the process's
// settings store, which keeps its file open once used, so a test binary points PARVEX_REGISTRY at one store for all
// its tests (SuiteStore) and empties the trees between them.
#pragma once

#include "common/registry/layout.h"
#include "shellext/com.h"
#include "shellext/host.h"
#include "shellext/menu.h"
#include "shellext/server.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace shelltest {

inline void* Module() {
    static void* handle = ::dlopen(PARVEX_MODULE, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

template <typename F>
F Export(const char* name) {
    return reinterpret_cast<F>(::dlsym(Module(), name));
}

// The HKEY_CLASSES_ROOT keys the handler registers below.
inline constexpr const char* kClassRoots[] = {"*", "CLSID", "Directory", "Folder", "parvex", "shellex"};

// One store for the whole binary, emptied before each test.
class SuiteStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static testsupport::ScopedStore store;  // lives until the process ends
        ASSERT_NE(Module(), nullptr) << ::dlerror();
    }
    void SetUp() override {
        winreg::RegDeleteTree(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex);
        for (const char* k : kClassRoots) winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, k);
    }

    // Providers as the provider manager writes them: provider -> entries (name, MenuName).
    static void Entry(const std::string& provider, const std::string& entry, const std::string& menuName) {
        SettingKey key;
        key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry));
        if (!menuName.empty()) key.WriteString(layout::kMenuName, menuName);
    }
    static void Provider(const std::string& provider) {
        SettingKey key;
        key.CreateKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(provider));
    }
    static winreg::DWORD MenuId(const std::string& provider, const std::string& entry) {
        SettingKey key;
        winreg::DWORD id = 0xDEAD;
        key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry));
        key.ReadDword(layout::kMenuId, id);
        return id;
    }

    // The programs the handler starts: shell lines that record their start in `record`
    // (the transfer program's line is `dravik` when one is given).
    static void Programs(const std::string& record, const std::string& dravik = "") {
        SettingKey running;
        running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
        running.WriteString(layout::kInstDir, dravik.empty() ? "/bin/sh -c \"echo dravik >> " + record + "\"" : dravik);
        running.WriteString(layout::kInstDirBrovin, "/bin/sh -c \"echo brovin >> " + record + "\"");
    }
    // RemoteBrowser as the handler left it; -1 when it is not there.
    static long long RemoteBrowser() {
        SettingKey running;
        winreg::DWORD flag = 0;
        running.OpenKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
        return running.ReadDword(layout::kRemoteBrowser, flag) == 0 ? static_cast<long long>(flag) : -1;
    }
    // What `record` holds once something was started, or "" after `ms`.
    static std::string Started(const std::string& record, int ms = 5000) {
        std::string s;
        testsupport::WaitUntil([&] { return !(s = testsupport::ReadFile(record)).empty(); }, ms);
        return s;
    }
};

// A handler for one right-click, through the class factory.
class Handler {
public:
    explicit Handler(const std::vector<std::string>& paths, com::HRESULT* initResult = nullptr) {
        com::HRESULT hr = com::CreateMenuHandler(Export<DllGetClassObjectFn>("DllGetClassObject"), paths, &menu_);
        if (initResult) *initResult = hr;
    }
    ~Handler() {
        if (menu_) menu_->Release();
    }
    com::IContextMenu* operator->() { return menu_; }

    // The "Parvex" menu built at position 0 of an empty file-manager menu, ids from `first`.
    com::Menu Build(com::UINT first = 1, com::HRESULT* result = nullptr) {
        com::Menu host;
        com::HRESULT hr = menu_->QueryContextMenu(&host, 0, first, 0x7FFF, com::CMF_NORMAL);
        if (result) *result = hr;
        return host;
    }
    com::HRESULT Invoke(com::UINT offset, com::UINT mask = 0) {
        com::CMINVOKECOMMANDINFO info;
        info.fMask = mask;
        info.lpVerb = com::MAKEINTRESOURCE(offset);
        return menu_->InvokeCommand(&info);
    }

private:
    com::IContextMenu* menu_ = nullptr;
};

// A handler whose menu was built (ids from 1), as the file manager does before a click.
struct Shown : Handler {
    explicit Shown(const std::vector<std::string>& paths) : Handler(paths) { Build(); }
};

// A menu as text, one line per item, two spaces per level: "-" separator, "name #id" command, "name >" popup.
inline void Dump(const com::Menu& menu, std::vector<std::string>& out, const std::string& indent = "") {
    for (const auto& item : menu.items) {
        switch (item.kind) {
        case com::MenuItem::Kind::Separator: out.push_back(indent + "-"); break;
        case com::MenuItem::Kind::Command: out.push_back(indent + item.text + " #" + std::to_string(item.id)); break;
        case com::MenuItem::Kind::Popup:
            out.push_back(indent + item.text + " >");
            if (item.popup) Dump(*item.popup, out, indent + "  ");
            break;
        }
    }
}
inline std::vector<std::string> Dump(const com::Menu& menu) {
    std::vector<std::string> out;
    Dump(menu, out);
    return out;
}

}  // namespace shelltest
