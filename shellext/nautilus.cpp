// GNOME Files (Nautilus 43) meets the handler here: the module's
// NautilusMenuProvider asks the class factory for a CRegisterMenu at every
// right-click, exactly as a shell would, and turns its menu into
// NautilusMenuItems. Nautilus 43 runs on GTK 4 and aborts when GTK 2 or 3
// is loaded too, so nothing here links a toolkit: the keyboard's modifier
// state comes from GDK 4 functions already in the process, found at run time.
#include "shellext/com.h"
#include "shellext/host.h"
#include "shellext/menu.h"
#include "shellext/register_menu.h"
#include "shellext/server.h"

#include <dlfcn.h>
// The header declares the module entry points without C linkage; its
// declarations are renamed out of the way and ours below are the real ones.
#define nautilus_module_initialize parvex_unused_nautilus_module_initialize
#define nautilus_module_shutdown parvex_unused_nautilus_module_shutdown
#define nautilus_module_list_types parvex_unused_nautilus_module_list_types
#include <nautilus-extension.h>
#undef nautilus_module_initialize
#undef nautilus_module_shutdown
#undef nautilus_module_list_types

#include <string>
#include <vector>

#define PARVEX_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" com::HRESULT DllGetClassObject(const com::CLSID& clsid, const com::IID& iid, void** object);

namespace {

GType g_providerType = 0;

// Shift and Ctrl as GDK 4 sees them now; none when GDK 4 is not in the process.
com::UINT ModifierMask() {
    using GetDisplay = void* (*)();
    using GetSeat = void* (*)(void*);
    using GetKeyboard = void* (*)(void*);
    using GetState = unsigned (*)(void*);
    auto display = reinterpret_cast<GetDisplay>(::dlsym(RTLD_DEFAULT, "gdk_display_get_default"));
    auto seat = reinterpret_cast<GetSeat>(::dlsym(RTLD_DEFAULT, "gdk_display_get_default_seat"));
    auto keyboard = reinterpret_cast<GetKeyboard>(::dlsym(RTLD_DEFAULT, "gdk_seat_get_keyboard"));
    auto state = reinterpret_cast<GetState>(::dlsym(RTLD_DEFAULT, "gdk_device_get_modifier_state"));
    if (!display || !seat || !keyboard || !state) return 0;
    void* d = display();
    void* s = d ? seat(d) : nullptr;
    void* k = s ? keyboard(s) : nullptr;
    if (!k) return 0;
    unsigned mods = state(k);
    constexpr unsigned kShift = 1u << 0, kControl = 1u << 2;  // GDK_SHIFT_MASK, GDK_CONTROL_MASK
    com::UINT mask = 0;
    if (mods & kShift) mask |= com::CMIC_MASK_SHIFT_DOWN;
    if (mods & kControl) mask |= com::CMIC_MASK_CONTROL_DOWN;
    return mask;
}

// What an item's activation needs: the handler that built the menu and the command's offset.
struct Command {
    com::IContextMenu* menu;
    com::UINT offset;
};

void FreeCommand(gpointer data) {
    auto* c = static_cast<Command*>(data);
    c->menu->Release();
    delete c;
}

// Through the file manager's own application: GNOME Files shows nothing for
// an extension's failed command, and no toolkit may be loaded here.
void TellNothingStarted(const char* body) {
    GApplication* app = g_application_get_default();
    if (!app || !g_application_get_is_registered(app)) return;
    GNotification* notice = g_notification_new(shellext::kNothingStartedSummary);
    g_notification_set_body(notice, body);
    g_notification_set_priority(notice, G_NOTIFICATION_PRIORITY_HIGH);
    g_application_send_notification(app, "parvex-nothing-started", notice);
    g_object_unref(notice);
}

void OnActivate(NautilusMenuItem*, gpointer data) {
    auto* c = static_cast<Command*>(data);
    com::CMINVOKECOMMANDINFO info;
    info.fMask = ModifierMask();
    info.lpVerb = com::MAKEINTRESOURCE(c->offset);
    com::HRESULT hr = c->menu->InvokeCommand(&info);
    if (com::FAILED(hr))
        TellNothingStarted(hr == shellext::E_STORE_BUSY ? shellext::kStoreBusyBody : shellext::kNothingStartedBody);
}

constexpr com::UINT kFirstId = 1;
constexpr int kStoreWaitMs = 1000;

NautilusMenuItem* ToItem(const com::MenuItem& item, const std::string& name, com::IContextMenu* handler);

NautilusMenu* ToMenu(const com::Menu& menu, const std::string& name, com::IContextMenu* handler) {
    NautilusMenu* out = nautilus_menu_new();
    int n = 0;
    for (const auto& item : menu.items)
        // GNOME Files menus have no separators.
        if (item.kind != com::MenuItem::Kind::Separator) {
            NautilusMenuItem* child = ToItem(item, name + "::" + std::to_string(n++), handler);
            nautilus_menu_append_item(out, child);
            g_object_unref(child);
        }
    return out;
}

NautilusMenuItem* ToItem(const com::MenuItem& item, const std::string& name, com::IContextMenu* handler) {
    NautilusMenuItem* out = nautilus_menu_item_new(name.c_str(), item.text.c_str(), nullptr, nullptr);
    if (item.kind == com::MenuItem::Kind::Popup && item.popup) {
        NautilusMenu* sub = ToMenu(*item.popup, name, handler);
        nautilus_menu_item_set_submenu(out, sub);
        g_object_unref(sub);
    } else if (item.kind == com::MenuItem::Kind::Command) {
        handler->AddRef();
        auto* c = new Command{handler, item.id - kFirstId};
        g_signal_connect_data(out, "activate", G_CALLBACK(OnActivate), c,
                              reinterpret_cast<GClosureNotify>(+[](gpointer data, GClosure*) { FreeCommand(data); }),
                              GConnectFlags(0));
    }
    return out;
}

GList* GetFileItems(NautilusMenuProvider*, GList* files) {
    if (!files) return nullptr;
    std::vector<std::string> paths;
    bool anyFile = false, anyFolder = false;
    for (GList* l = files; l; l = l->next) {
        auto* info = NAUTILUS_FILE_INFO(l->data);
        GFile* location = nautilus_file_info_get_location(info);
        char* path = location ? g_file_get_path(location) : nullptr;
        if (location) g_object_unref(location);
        if (!path) return nullptr;  // remote locations have no local path to upload from
        paths.emplace_back(path);
        g_free(path);
        (nautilus_file_info_is_directory(info) ? anyFolder : anyFile) = true;
    }
    // Built afresh each time: unregistering takes the menu away at the next right-click.
    if (!shellext::MenuOffered(anyFile, anyFolder)) return nullptr;

    com::IContextMenu* handler = nullptr;
    if (com::FAILED(com::CreateMenuHandler(DllGetClassObject, std::move(paths), &handler))) return nullptr;

    com::Menu menu;
    com::HRESULT hr = handler->QueryContextMenu(&menu, 0, kFirstId, 0x7FFF, com::CMF_NORMAL);
    GList* items = nullptr;
    if (com::SUCCEEDED(hr)) {
        int n = 0;
        for (const auto& item : menu.items)
            if (item.kind != com::MenuItem::Kind::Separator)
                items = g_list_append(items, ToItem(item, "Parvex::" + std::to_string(n++), handler));
    }
    handler->Release();  // the items hold their own references
    return items;
}

void ProviderInterfaceInit(gpointer iface, gpointer) {
    auto* i = static_cast<NautilusMenuProviderInterface*>(iface);
    i->get_file_items = GetFileItems;
}

}  // namespace

PARVEX_EXPORT void nautilus_module_initialize(GTypeModule* module) {
    // Every call runs on the file manager's main thread: a store that another
    // program holds may stop its windows only briefly, and the user is told.
    winreg::SetBusyTimeout(kStoreWaitMs);
    static const GTypeInfo info = {sizeof(GObjectClass), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   sizeof(GObject),      0,       nullptr, nullptr};
    g_providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "ParvexMenuProvider", &info, GTypeFlags(0));
    static const GInterfaceInfo provider = {ProviderInterfaceInit, nullptr, nullptr};
    g_type_module_add_interface(module, g_providerType, NAUTILUS_TYPE_MENU_PROVIDER, &provider);
}

PARVEX_EXPORT void nautilus_module_list_types(const GType** types, int* count) {
    static GType list[1];
    list[0] = g_providerType;
    *types = list;
    *count = g_providerType ? 1 : 0;
}

PARVEX_EXPORT void nautilus_module_shutdown() {}
