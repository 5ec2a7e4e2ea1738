#include "shellext/file_manager.h"

#include "platform/registry/registry.h"
#include "shellext/host.h"
#include "shellext/server.h"

#include <dlfcn.h>

extern "C" com::HRESULT DllGetClassObject(const com::CLSID& clsid, const com::IID& iid, void** object);

namespace shellext {

namespace {

template <typename F>
F Gdk(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

// GDK's modifier bits, the same in GDK 3 and 4: none when GDK is absent.
unsigned GdkModifiers() {
    using GetDisplay = void* (*)();
    auto display = Gdk<GetDisplay>("gdk_display_get_default");
    void* d = display ? display() : nullptr;
    if (!d) return 0;
    // GDK 4: the seat's keyboard knows its modifiers.
    auto seat = Gdk<void* (*)(void*)>("gdk_display_get_default_seat");
    auto keyboard = Gdk<void* (*)(void*)>("gdk_seat_get_keyboard");
    auto state4 = Gdk<unsigned (*)(void*)>("gdk_device_get_modifier_state");
    if (seat && keyboard && state4) {
        void* s = seat(d);
        void* k = s ? keyboard(s) : nullptr;
        return k ? state4(k) : 0;
    }
    // GDK 3: the display's keymap does.
    auto keymap = Gdk<void* (*)(void*)>("gdk_keymap_get_for_display");
    auto state3 = Gdk<unsigned (*)(void*)>("gdk_keymap_get_modifier_state");
    void* m = keymap && state3 ? keymap(d) : nullptr;
    return m ? state3(m) : 0;
}

void TellNothingStarted(const char* body) {
    GApplication* app = g_application_get_default();
    if (!app || !g_application_get_is_registered(app)) return;
    GNotification* notice = g_notification_new(kNothingStartedSummary);
    g_notification_set_body(notice, body);
    g_notification_set_priority(notice, G_NOTIFICATION_PRIORITY_HIGH);
    g_application_send_notification(app, "parvex-nothing-started", notice);
    g_object_unref(notice);
}

}  // namespace

com::UINT ModifierMask() {
    const unsigned mods = GdkModifiers();
    constexpr unsigned kShift = 1u << 0, kControl = 1u << 2;  // GDK_SHIFT_MASK, GDK_CONTROL_MASK
    com::UINT mask = 0;
    if (mods & kShift) mask |= com::CMIC_MASK_SHIFT_DOWN;
    if (mods & kControl) mask |= com::CMIC_MASK_CONTROL_DOWN;
    return mask;
}

void ActivateCommand(com::IContextMenu* menu, com::UINT offset) {
    com::CMINVOKECOMMANDINFO info;
    info.fMask = ModifierMask();
    info.lpVerb = com::MAKEINTRESOURCE(offset);
    const com::HRESULT hr = menu->InvokeCommand(&info);
    if (com::FAILED(hr)) TellNothingStarted(hr == E_STORE_BUSY ? kStoreBusyBody : kNothingStartedBody);
}

com::IContextMenu* MenuForSelection(const std::vector<std::string>& paths, bool anyFile, bool anyFolder,
                                    com::Menu& menu) {
    // Asked afresh each time: unregistering takes the menu away at the next right-click.
    if (paths.empty() || !MenuOffered(anyFile, anyFolder)) return nullptr;
    com::IContextMenu* handler = nullptr;
    if (com::FAILED(com::CreateMenuHandler(DllGetClassObject, paths, &handler))) return nullptr;
    if (com::FAILED(handler->QueryContextMenu(&menu, 0, kFirstMenuId, 0x7FFF, com::CMF_NORMAL))) {
        handler->Release();
        return nullptr;
    }
    return handler;
}

GType RegisterMenuProvider(GTypeModule* module, GType providerInterface, GInterfaceInitFunc init) {
    winreg::SetBusyTimeout(kModuleStoreWaitMs);
    static const GTypeInfo info = {sizeof(GObjectClass), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   sizeof(GObject),      0,       nullptr, nullptr};
    GType type = g_type_module_register_type(module, G_TYPE_OBJECT, "ParvexMenuProvider", &info, GTypeFlags(0));
    const GInterfaceInfo provider = {init, nullptr, nullptr};
    g_type_module_add_interface(module, type, providerInterface, &provider);
    return type;
}

}  // namespace shellext
