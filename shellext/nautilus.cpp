// GNOME Files (Nautilus 43) meets the handler here: the module's
// NautilusMenuProvider asks the class factory for a CRegisterMenu at every
// right-click, exactly as a shell would, and turns its menu into
// NautilusMenuItems (shellext/file_manager.h).
#include "shellext/file_manager.h"

// The header declares the module entry points without C linkage; its
// declarations are renamed out of the way and ours below are the real ones.
#define nautilus_module_initialize parvex_unused_nautilus_module_initialize
#define nautilus_module_shutdown parvex_unused_nautilus_module_shutdown
#define nautilus_module_list_types parvex_unused_nautilus_module_list_types
#include <nautilus-extension.h>
#undef nautilus_module_initialize
#undef nautilus_module_shutdown
#undef nautilus_module_list_types

#define PARVEX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Nautilus {
    using FileInfo = NautilusFileInfo;
    using MenuItem = NautilusMenuItem;
    using Menu = NautilusMenu;
    static MenuItem* NewItem(const char* name, const char* label, const char* tip) {
        return nautilus_menu_item_new(name, label, tip, nullptr);
    }
    static Menu* NewMenu() { return nautilus_menu_new(); }
    static void Append(Menu* menu, MenuItem* item) { nautilus_menu_append_item(menu, item); }
    static void SetSubmenu(MenuItem* item, Menu* menu) { nautilus_menu_item_set_submenu(item, menu); }
    static GFile* Location(FileInfo* info) { return nautilus_file_info_get_location(info); }
    static bool IsDirectory(FileInfo* info) { return nautilus_file_info_is_directory(info); }
};

GType g_providerType = 0;

void ProviderInterfaceInit(gpointer iface, gpointer) {
    static_cast<NautilusMenuProviderInterface*>(iface)->get_file_items = [](NautilusMenuProvider*, GList* files) {
        return shellext::FileManagerMenu<Nautilus>::FileItems(files);
    };
}

}  // namespace

PARVEX_EXPORT void nautilus_module_initialize(GTypeModule* module) {
    g_providerType = shellext::RegisterMenuProvider(module, NAUTILUS_TYPE_MENU_PROVIDER, ProviderInterfaceInit);
}

PARVEX_EXPORT void nautilus_module_list_types(const GType** types, int* count) {
    static GType list[1];
    list[0] = g_providerType;
    *types = list;
    *count = g_providerType ? 1 : 0;
}

PARVEX_EXPORT void nautilus_module_shutdown() {}
