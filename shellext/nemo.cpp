// Nemo (Cinnamon's file manager) meets the handler here, as GNOME Files does in
// nautilus.cpp: a NemoMenuProvider whose items come from a CRegisterMenu
// made for each right-click (shellext/file_manager.h). The host is GTK 3;
// the module still links no toolkit, it needs none of it.
#include "shellext/file_manager.h"

#include <libnemo-extension/nemo-menu-provider.h>

#define PARVEX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Nemo {
    using FileInfo = NemoFileInfo;
    using MenuItem = NemoMenuItem;
    using Menu = NemoMenu;
    static MenuItem* NewItem(const char* name, const char* label, const char* tip) {
        return nemo_menu_item_new(name, label, tip, nullptr);
    }
    static Menu* NewMenu() { return nemo_menu_new(); }
    static void Append(Menu* menu, MenuItem* item) { nemo_menu_append_item(menu, item); }
    static void SetSubmenu(MenuItem* item, Menu* menu) { nemo_menu_item_set_submenu(item, menu); }
    static GFile* Location(FileInfo* info) { return nemo_file_info_get_location(info); }
    static bool IsDirectory(FileInfo* info) { return nemo_file_info_is_directory(info); }
};

GType g_providerType = 0;

void ProviderInterfaceInit(gpointer iface, gpointer) {
    static_cast<NemoMenuProviderIface*>(iface)->get_file_items = [](NemoMenuProvider*, GtkWidget*, GList* files) {
        return shellext::FileManagerMenu<Nemo>::FileItems(files);
    };
}

}  // namespace

PARVEX_EXPORT void nemo_module_initialize(GTypeModule* module) {
    g_providerType = shellext::RegisterMenuProvider(module, NEMO_TYPE_MENU_PROVIDER, ProviderInterfaceInit);
}

PARVEX_EXPORT void nemo_module_list_types(const GType** types, int* count) {
    static GType list[1];
    list[0] = g_providerType;
    *types = list;
    *count = g_providerType ? 1 : 0;
}

PARVEX_EXPORT void nemo_module_shutdown() {}
