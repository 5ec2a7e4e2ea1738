// GNOME Files' side of the extension interface (fm_host.h over libnautilus-extension). The keyboard state the module
// asks GDK 4 for comes from the stand-ins below, which GTK 4 puts into the real file manager's process. Include it in
// one file per program: the stand-ins are definitions, and the program must export them (ENABLE_EXPORTS) for the
// module to find them.
#pragma once

#define nautilus_module_initialize host_unused_nautilus_module_initialize
#define nautilus_module_shutdown host_unused_nautilus_module_shutdown
#define nautilus_module_list_types host_unused_nautilus_module_list_types
#include <nautilus-extension.h>
#undef nautilus_module_initialize
#undef nautilus_module_shutdown
#undef nautilus_module_list_types

#include "tests/shellext/fm_host.h"

namespace nautilushost {
// Modifier keys held when an item is activated: GDK_SHIFT_MASK 1, GDK_CONTROL_MASK 4.
inline unsigned g_modifiers = 0;
}  // namespace nautilushost

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))
HOST_EXPORT void* gdk_display_get_default() { return &nautilushost::g_modifiers; }
HOST_EXPORT void* gdk_display_get_default_seat(void* display) { return display; }
HOST_EXPORT void* gdk_seat_get_keyboard(void* seat) { return seat; }
HOST_EXPORT unsigned gdk_device_get_modifier_state(void* keyboard) { return *static_cast<unsigned*>(keyboard); }
#undef HOST_EXPORT

namespace nautilushost {

struct Nautilus {
    using FileInfo = NautilusFileInfo;
    using FileInfoInterface = NautilusFileInfoInterface;
    using MenuItem = NautilusMenuItem;
    using Menu = NautilusMenu;
    using Provider = NautilusMenuProvider;
    static constexpr const char* kPrefix = "nautilus";
    static GType FileInfoType() { return NAUTILUS_TYPE_FILE_INFO; }
    static GType ProviderType() { return NAUTILUS_TYPE_MENU_PROVIDER; }
    static GList* FileItems(Provider* p, GList* files) { return nautilus_menu_provider_get_file_items(p, files); }
    static GList* MenuItems(Menu* m) { return nautilus_menu_get_items(m); }
    static void FreeItems(GList* items) { nautilus_menu_item_list_free(items); }
    static void Activate(MenuItem* item) { nautilus_menu_item_activate(item); }
};

}  // namespace nautilushost
