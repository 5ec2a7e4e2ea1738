#include "shellext/popup/popup.h"

#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "shellext/host.h"

#include <dlfcn.h>
#include <wx/menu.h>

namespace popup {

namespace {

// Provider and entry names are shown as they are: a "&" in them is no mnemonic.
wxString Label(const std::string& text) {
    wxString label = wxString::FromUTF8(text);
    label.Replace("&", "&&");
    return label;
}

}  // namespace

Handler::Handler(const std::string& modulePath) {
    module_ = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) error_ = std::string("cannot load ") + modulePath + ": " + ::dlerror();
}

Handler::~Handler() {
    if (handler_) handler_->Release();
    // The module stays loaded: the handler's objects are gone, but unloading buys nothing here.
}

bool Handler::Build(const std::vector<std::string>& paths) {
    if (!module_) return false;
    auto offered = reinterpret_cast<ParvexMenuOfferedFn>(::dlsym(module_, "ParvexMenuOffered"));
    auto getClass = reinterpret_cast<DllGetClassObjectFn>(::dlsym(module_, "DllGetClassObject"));
    if (!offered || !getClass) {
        error_ = "the module is not parvex.so";
        return false;
    }
    bool files = false, folders = false;
    for (const auto& p : paths) (os::IsDirectory(p) ? folders : files) = true;
    if (!offered(files, folders)) {
        // A store that cannot be read hides the registration too: running regsvr32 again would not help.
        winreg::HKEY classes = nullptr;
        winreg::LONG st = winreg::RegOpenKeyEx(winreg::HKEY_CLASSES_ROOT, "", 0, 0, &classes);
        if (st == winreg::ERROR_SUCCESS) winreg::RegCloseKey(classes);
        if (st != winreg::ERROR_SUCCESS)
            error_ = "the settings store " + winreg::StorePath() + " cannot be used (status " + std::to_string(st) +
                     "); repair or restore it";
        else
            error_ = "the Parvex menu is not registered; run: regsvr32 parvex.so";
        return false;
    }
    com::HRESULT hr = com::CreateMenuHandler(getClass, paths, &handler_);
    if (com::FAILED(hr)) {
        error_ = hr == com::CLASS_E_CLASSNOTAVAILABLE ? "the module offers no Parvex menu handler"
                 : hr == com::E_FAIL                 ? "nothing to send: no files given"
                                                     : "the handler cannot be created";
        return false;
    }
    menu_ = com::Menu();
    hr = handler_->QueryContextMenu(&menu_, 0, kFirstId, 0x7FFF, com::CMF_NORMAL);
    if (com::FAILED(hr)) {
        error_ = "the menu could not be built";
        return false;
    }
    return true;
}

const com::Menu* Handler::ParvexMenu() const {
    for (const auto& item : menu_.items)
        if (item.kind == com::MenuItem::Kind::Popup) return item.popup.get();
    return nullptr;
}

com::HRESULT Handler::Invoke(com::UINT id, com::UINT mask) {
    if (!handler_ || id < kFirstId) return com::E_INVALIDARG;
    com::CMINVOKECOMMANDINFO info;
    info.fMask = mask;
    info.lpVerb = com::MAKEINTRESOURCE(id - kFirstId);
    return handler_->InvokeCommand(&info);
}

std::unique_ptr<wxMenu> ToWxMenu(const com::Menu& menu, const std::string& title) {
    auto out = std::make_unique<wxMenu>(wxString::FromUTF8(title));
    std::size_t first = 0, last = menu.items.size();
    while (first < last && menu.items[first].kind == com::MenuItem::Kind::Separator) ++first;
    while (last > first && menu.items[last - 1].kind == com::MenuItem::Kind::Separator) --last;
    for (std::size_t i = first; i < last; ++i) {
        const auto& item = menu.items[i];
        switch (item.kind) {
        case com::MenuItem::Kind::Separator:
            out->AppendSeparator();
            break;
        case com::MenuItem::Kind::Command:
            out->Append(static_cast<int>(item.id), Label(item.text));
            break;
        case com::MenuItem::Kind::Popup:
            if (item.popup) out->AppendSubMenu(ToWxMenu(*item.popup).release(), Label(item.text));
            break;
        }
    }
    return out;
}

}  // namespace popup
