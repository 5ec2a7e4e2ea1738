// A stand-in for GNOME Files' side of the extension interface: loads a
// module by path, calls its module entry points, makes its menu provider,
// asks it for the items of a selection given as file-info objects and walks
// the submenus. It links only libnautilus-extension; the keyboard state the
// module asks GDK 4 for comes from the stand-ins below, which GTK 4 puts into
// the real file manager's process. Include it in one file per program: the
// stand-ins are definitions, and the program must export them
// (ENABLE_EXPORTS) for the module to find them.
#pragma once

#define nautilus_module_initialize host_unused_nautilus_module_initialize
#define nautilus_module_shutdown host_unused_nautilus_module_shutdown
#define nautilus_module_list_types host_unused_nautilus_module_list_types
#include <nautilus-extension.h>
#undef nautilus_module_initialize
#undef nautilus_module_shutdown
#undef nautilus_module_list_types

#include <dlfcn.h>

#include <string>
#include <vector>

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
namespace {

// ---- a GTypeModule for the module to register its types with ----
struct HostModule {
    GTypeModule parent;
};
struct HostModuleClass {
    GTypeModuleClass parent;
};
G_DEFINE_TYPE(HostModule, host_module, G_TYPE_TYPE_MODULE)
void host_module_class_init(HostModuleClass* klass) {
    G_TYPE_MODULE_CLASS(klass)->load = [](GTypeModule*) -> gboolean { return TRUE; };
    G_TYPE_MODULE_CLASS(klass)->unload = [](GTypeModule*) {};
}
void host_module_init(HostModule*) {}

// ---- file-info objects over paths or URIs ----
struct HostFile {
    GObject parent;
    char* uri;
    gboolean directory;
};
struct HostFileClass {
    GObjectClass parent;
};
void host_file_info_init(NautilusFileInfoInterface* iface);
G_DEFINE_TYPE_WITH_CODE(HostFile, host_file, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO, host_file_info_init))
void host_file_class_init(HostFileClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = [](GObject* object) {
        g_free(reinterpret_cast<HostFile*>(object)->uri);
        G_OBJECT_CLASS(host_file_parent_class)->finalize(object);
    };
}
void host_file_init(HostFile*) {}
void host_file_info_init(NautilusFileInfoInterface* iface) {
    iface->get_location = [](NautilusFileInfo* i) { return g_file_new_for_uri(reinterpret_cast<HostFile*>(i)->uri); };
    iface->is_directory = [](NautilusFileInfo* i) { return reinterpret_cast<HostFile*>(i)->directory; };
    iface->get_uri = [](NautilusFileInfo* i) { return g_strdup(reinterpret_cast<HostFile*>(i)->uri); };
}

// A file-info object for a local path or a URI; the caller owns the reference.
[[maybe_unused]] GObject* NewFile(const std::string& pathOrUri, bool directory) {
    auto* f = static_cast<HostFile*>(g_object_new(host_file_get_type(), nullptr));
    if (pathOrUri.find("://") != std::string::npos) {
        f->uri = g_strdup(pathOrUri.c_str());
    } else {
        GFile* file = g_file_new_for_path(pathOrUri.c_str());
        f->uri = g_file_get_uri(file);
        g_object_unref(file);
    }
    f->directory = directory;
    return G_OBJECT(f);
}

// The module's menu provider, made as GNOME Files makes it: null (with the
// reason in `error`) when the module lacks an entry point or offers no menu
// provider as its one type.
[[maybe_unused]] NautilusMenuProvider* LoadMenuProvider(void* module, std::string& error) {
    auto init = reinterpret_cast<void (*)(GTypeModule*)>(::dlsym(module, "nautilus_module_initialize"));
    auto list = reinterpret_cast<void (*)(const GType**, int*)>(::dlsym(module, "nautilus_module_list_types"));
    if (!init || !list) {
        error = "the module has no nautilus_module_initialize / nautilus_module_list_types";
        return nullptr;
    }
    auto* typeModule = G_TYPE_MODULE(g_object_new(host_module_get_type(), nullptr));
    g_type_module_use(typeModule);
    init(typeModule);
    const GType* types = nullptr;
    int count = 0;
    list(&types, &count);
    if (count != 1) {
        error = "the module lists " + std::to_string(count) + " types, not one";
        return nullptr;
    }
    GObject* object = static_cast<GObject*>(g_object_new(types[0], nullptr));
    if (!NAUTILUS_IS_MENU_PROVIDER(object)) {
        error = "the module's type is no menu provider";
        return nullptr;
    }
    return NAUTILUS_MENU_PROVIDER(object);
}

// A menu item with its label and its submenu's items, as the file manager shows them.
struct Item {
    std::string label;
    NautilusMenuItem* item;
    std::vector<Item> children;
};

[[maybe_unused]] std::vector<Item> Walk(GList* items) {
    std::vector<Item> out;
    for (GList* l = items; l; l = l->next) {
        auto* mi = NAUTILUS_MENU_ITEM(l->data);
        char* label = nullptr;
        NautilusMenu* sub = nullptr;
        g_object_get(mi, "label", &label, "menu", &sub, nullptr);
        Item item{label ? label : "", mi, {}};
        g_free(label);
        if (sub) {
            GList* children = nautilus_menu_get_items(sub);
            item.children = Walk(children);
            nautilus_menu_item_list_free(children);
            g_object_unref(sub);
        }
        out.push_back(std::move(item));
    }
    return out;
}

}  // namespace
}  // namespace nautilushost
