// Nemo's or Caja's side of the extension interface (fm_host.h over libnemo-extension or libcaja-extension): define
// PARVEX_HOST_NEMO or PARVEX_HOST_CAJA before including it; `Host` is then that file manager. Both are GTK 3
// programs; the keyboard state the module asks GDK 3 for comes from the stand-ins below, which the real file
// manager's GDK answers. Include it in one file per program, which must export the stand-ins (ENABLE_EXPORTS) for the
// module to find them before the unopened GDK's.
#pragma once

#if defined(PARVEX_HOST_NEMO)
#include <libnemo-extension/nemo-file-info.h>
#include <libnemo-extension/nemo-menu-provider.h>
#elif defined(PARVEX_HOST_CAJA)
#include <libcaja-extension/caja-file-info.h>
#include <libcaja-extension/caja-menu-provider.h>
#else
#error "define PARVEX_HOST_NEMO or PARVEX_HOST_CAJA"
#endif

#include "tests/shellext/fm_host.h"

namespace gtk3host {
// Modifier keys held when an item is activated: GDK_SHIFT_MASK 1, GDK_CONTROL_MASK 4.
inline unsigned g_modifiers = 0;
}  // namespace gtk3host

extern "C" {
GdkDisplay* gdk_display_get_default() { return reinterpret_cast<GdkDisplay*>(&gtk3host::g_modifiers); }
GdkKeymap* gdk_keymap_get_for_display(GdkDisplay* display) { return reinterpret_cast<GdkKeymap*>(display); }
guint gdk_keymap_get_modifier_state(GdkKeymap* keymap) { return *reinterpret_cast<unsigned*>(keymap); }
}

namespace gtk3host {

#if defined(PARVEX_HOST_NEMO)
struct Host {
    using FileInfo = NemoFileInfo;
    using FileInfoInterface = NemoFileInfoInterface;
    using MenuItem = NemoMenuItem;
    using Menu = NemoMenu;
    using Provider = NemoMenuProvider;
    static constexpr const char* kPrefix = "nemo";
    static GType FileInfoType() { return NEMO_TYPE_FILE_INFO; }
    static GType ProviderType() { return NEMO_TYPE_MENU_PROVIDER; }
    static GList* FileItems(Provider* p, GList* files) { return nemo_menu_provider_get_file_items(p, nullptr, files); }
    static GList* MenuItems(Menu* m) { return nemo_menu_get_items(m); }
    static void FreeItems(GList* items) { nemo_menu_item_list_free(items); }
    static void Activate(MenuItem* item) { nemo_menu_item_activate(item); }
};
#else
struct Host {
    using FileInfo = CajaFileInfo;
    using FileInfoInterface = CajaFileInfoIface;
    using MenuItem = CajaMenuItem;
    using Menu = CajaMenu;
    using Provider = CajaMenuProvider;
    static constexpr const char* kPrefix = "caja";
    static GType FileInfoType() { return CAJA_TYPE_FILE_INFO; }
    static GType ProviderType() { return CAJA_TYPE_MENU_PROVIDER; }
    static GList* FileItems(Provider* p, GList* files) { return caja_menu_provider_get_file_items(p, nullptr, files); }
    static GList* MenuItems(Menu* m) { return caja_menu_get_items(m); }
    static void FreeItems(GList* items) { caja_menu_item_list_free(items); }
    static void Activate(MenuItem* item) { caja_menu_item_activate(item); }
};
#endif

using Item = fmhost::Item<Host>;

}  // namespace gtk3host
