// parvex.so as GNOME Files uses it: this host links only
// libnautilus-extension, loads the module, calls its module entry points,
// makes the menu provider, asks it for the items of a selection given as
// file-info objects, walks the submenus and activates an entry. The keyboard
// state comes from the GDK 4 functions below, which stand in for the ones
// GTK 4 puts into the real file manager's process.
#include "tests/shellext/module_host.h"

#define nautilus_module_initialize host_unused_nautilus_module_initialize
#define nautilus_module_shutdown host_unused_nautilus_module_shutdown
#define nautilus_module_list_types host_unused_nautilus_module_list_types
#include <nautilus-extension.h>
#undef nautilus_module_initialize
#undef nautilus_module_shutdown
#undef nautilus_module_list_types

using namespace shelltest;

namespace {
unsigned g_modifiers = 0;  // GDK_SHIFT_MASK 1, GDK_CONTROL_MASK 4
}

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))
HOST_EXPORT void* gdk_display_get_default() { return &g_modifiers; }
HOST_EXPORT void* gdk_display_get_default_seat(void* display) { return display; }
HOST_EXPORT void* gdk_seat_get_keyboard(void* seat) { return seat; }
HOST_EXPORT unsigned gdk_device_get_modifier_state(void* keyboard) { return *static_cast<unsigned*>(keyboard); }

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

GObject* NewFile(const std::string& pathOrUri, bool directory) {
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

// The module's provider, made once per process as GNOME Files does.
NautilusMenuProvider* MenuProvider() {
    static NautilusMenuProvider* provider = [] {
        auto init = Export<void (*)(GTypeModule*)>("nautilus_module_initialize");
        auto list = Export<void (*)(const GType**, int*)>("nautilus_module_list_types");
        EXPECT_NE(init, nullptr);
        EXPECT_NE(list, nullptr);
        auto* module = G_TYPE_MODULE(g_object_new(host_module_get_type(), nullptr));
        g_type_module_use(module);
        init(module);
        const GType* types = nullptr;
        int count = 0;
        list(&types, &count);
        EXPECT_EQ(count, 1);
        GObject* object = static_cast<GObject*>(g_object_new(types[0], nullptr));
        EXPECT_TRUE(NAUTILUS_IS_MENU_PROVIDER(object));
        return NAUTILUS_MENU_PROVIDER(object);
    }();
    return provider;
}

struct Item {
    std::string label;
    NautilusMenuItem* item;
    std::vector<Item> children;
};

std::vector<Item> Walk(GList* items) {
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

class Nautilus : public SuiteStore {
protected:
    void SetUp() override {
        SuiteStore::SetUp();
        MenuProvider();
        g_modifiers = 0;
    }
    void TearDown() override {
        if (items_) g_list_free_full(items_, g_object_unref);
        for (GObject* f : files_) g_object_unref(f);
    }
    // Items GNOME Files would show for the selection; entries are (path or URI, is a folder).
    std::vector<Item> Right(const std::vector<std::pair<std::string, bool>>& selection) {
        GList* files = nullptr;
        for (const auto& [p, folder] : selection) {
            files_.push_back(NewFile(p, folder));
            files = g_list_append(files, files_.back());
        }
        if (items_) g_list_free_full(items_, g_object_unref);
        items_ = nautilus_menu_provider_get_file_items(MenuProvider(), files);
        g_list_free(files);
        return Walk(items_);
    }

    testsupport::TempDir dir;
    std::string record = dir / "started";
    GList* items_ = nullptr;
    std::vector<GObject*> files_;
};

TEST_F(Nautilus, RegisteredHandlerOffersTheParvexMenuAndAClickHandsOffWithTheKeysHeldThen) {
    Entry("A", "e1", "ホームページ");
    Provider("B");
    Programs(record);
    ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    std::string a = dir / "a.html", b = dir / "b.txt";
    testsupport::WriteFile(a, "a");
    testsupport::WriteFile(b, "b");

    auto items = Right({{a, false}, {b, false}});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].label, "Parvex");
    ASSERT_EQ(items[0].children.size(), 2u);
    const Item& provA = items[0].children[0];
    EXPECT_EQ(provA.label, "A");
    ASSERT_EQ(provA.children.size(), 2u) << "no separators in GNOME Files menus";
    EXPECT_EQ(provA.children[0].label, "拡張子別転送");
    EXPECT_EQ(provA.children[1].label, "ホームページ");
    EXPECT_EQ(items[0].children[1].label, "B");

    nautilus_menu_item_activate(provA.children[1].item);
    EXPECT_EQ(Started(record), "dravik\n");
    layout::HandOff handOff;
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider, "A");
    EXPECT_EQ(handOff.entry, "e1");
    EXPECT_EQ(handOff.paths, (std::vector<std::string>{a, b}));
    EXPECT_EQ(handOff.rootDir, dir.path());

    const std::string record2 = dir / "started2";
    Programs(record2);
    auto folder = Right({{dir.path(), true}});
    ASSERT_EQ(folder.size(), 1u);
    g_modifiers = 1;  // Shift held when the item is activated, not when the menu was built
    nautilus_menu_item_activate(folder[0].children[0].children[0].item);
    EXPECT_EQ(Started(record2), "brovin\n");
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.entry, "拡張子別転送");
}

TEST_F(Nautilus, NoMenuWhenUnregisteredForTheKindOrForRemoteFiles) {
    Entry("A", "e1", "x");
    EXPECT_TRUE(Right({{dir.path(), true}}).empty()) << "never registered";
    ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
    EXPECT_EQ(Right({{dir.path(), true}}).size(), 1u);
    EXPECT_TRUE(Right({{"sftp://example.org/home/u/a.txt", false}}).empty());
    EXPECT_TRUE(Right({{dir / "a", false}, {"sftp://example.org/b", false}}).empty()) << "one remote item is enough";

    // Folders without their handler keys: files still get the menu, folders do not.
    winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, "Directory");
    winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, "Folder");
    EXPECT_EQ(Right({{dir / "a", false}}).size(), 1u);
    EXPECT_TRUE(Right({{dir.path(), true}}).empty());

    ASSERT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK);
    EXPECT_TRUE(Right({{dir / "a", false}}).empty()) << "unregistering takes the menu away";
}

}  // namespace
