// A stand-in for a file manager's side of its extension interface (GNOME Files, Nemo, Caja): loads a module by path,
// calls its module entry points, makes its menu provider, asks it for the items of a selection given as file-info
// objects and walks the submenus. It links only the file manager's extension library. Include it in one file per
// program.
//
// FM supplies:
//   using FileInfo, FileInfoInterface, MenuItem, Menu, Provider
//   static constexpr const char* kPrefix       "nautilus", "nemo", "caja"
//   static GType FileInfoType(), ProviderType()
//   static GList* FileItems(Provider*, GList*) the host's get_file_items call
//   static GList* MenuItems(Menu*)
//   static void FreeItems(GList*)
//   static void Activate(MenuItem*)
#pragma once

#include <glib-object.h>
#include <gio/gio.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace fmhost {
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

template <class FM>
GType HostFileType() {
    static const GType type = [] {
        const std::string name = std::string("HostFile_") + FM::kPrefix;
        GType t = g_type_register_static_simple(
            G_TYPE_OBJECT, name.c_str(), sizeof(GObjectClass),
            [](gpointer klass, gpointer) {
                G_OBJECT_CLASS(klass)->finalize = [](GObject* object) {
                    g_free(reinterpret_cast<HostFile*>(object)->uri);
                    G_OBJECT_CLASS(g_type_class_peek(G_TYPE_OBJECT))->finalize(object);
                };
            },
            sizeof(HostFile), nullptr, GTypeFlags(0));
        static const GInterfaceInfo info = {
            [](gpointer iface, gpointer) {
                auto* i = static_cast<typename FM::FileInfoInterface*>(iface);
                i->get_location = [](typename FM::FileInfo* f) {
                    return g_file_new_for_uri(reinterpret_cast<HostFile*>(f)->uri);
                };
                i->is_directory = [](typename FM::FileInfo* f) { return reinterpret_cast<HostFile*>(f)->directory; };
                i->get_uri = [](typename FM::FileInfo* f) { return g_strdup(reinterpret_cast<HostFile*>(f)->uri); };
            },
            nullptr, nullptr};
        g_type_add_interface_static(t, FM::FileInfoType(), &info);
        return t;
    }();
    return type;
}

// A file-info object for a local path or a URI; the caller owns the reference.
template <class FM>
GObject* NewFile(const std::string& pathOrUri, bool directory) {
    auto* f = static_cast<HostFile*>(g_object_new(HostFileType<FM>(), nullptr));
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

// The module's menu provider, made as the file manager makes it: null (with the reason in `error`) when the module
// lacks an entry point or offers no menu provider as its one type.
template <class FM>
typename FM::Provider* LoadMenuProvider(void* module, std::string& error) {
    const std::string prefix = FM::kPrefix;
    auto init = reinterpret_cast<void (*)(GTypeModule*)>(::dlsym(module, (prefix + "_module_initialize").c_str()));
    auto list =
        reinterpret_cast<void (*)(const GType**, int*)>(::dlsym(module, (prefix + "_module_list_types").c_str()));
    if (!init || !list) {
        error = "the module has no " + prefix + "_module_initialize / " + prefix + "_module_list_types";
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
    if (!G_TYPE_CHECK_INSTANCE_TYPE(object, FM::ProviderType())) {
        error = "the module's type is no menu provider";
        return nullptr;
    }
    return reinterpret_cast<typename FM::Provider*>(object);
}

// A menu item with its label and its submenu's items, as the file manager shows them.
template <class FM>
struct Item {
    std::string label;
    typename FM::MenuItem* item;
    std::vector<Item> children;
};

template <class FM>
std::vector<Item<FM>> Walk(GList* items) {
    std::vector<Item<FM>> out;
    for (GList* l = items; l; l = l->next) {
        auto* mi = static_cast<typename FM::MenuItem*>(l->data);
        char* label = nullptr;
        typename FM::Menu* sub = nullptr;
        g_object_get(mi, "label", &label, "menu", &sub, nullptr);
        Item<FM> item{label ? label : "", mi, {}};
        g_free(label);
        if (sub) {
            GList* children = FM::MenuItems(sub);
            item.children = Walk<FM>(children);
            FM::FreeItems(children);
            g_object_unref(sub);
        }
        out.push_back(std::move(item));
    }
    return out;
}

}  // namespace
}  // namespace fmhost
