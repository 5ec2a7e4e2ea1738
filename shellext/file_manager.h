// The part of a file-manager extension module that does not depend on which
// file manager loads it: GNOME Files, Nemo and Caja all ask a menu provider
// for the items of a selection and activate one later. Each module file gives
// a small table of its host's functions (the Host parameter below) and its
// entry points; the handler, the menu's shape, the hand-off and the notices
// are the same code for all of them.
//
// Host supplies:
//   using FileInfo, MenuItem, Menu       the host's types
//   static MenuItem* NewItem(name, label, tip)
//   static Menu* NewMenu()
//   static void Append(Menu*, MenuItem*)
//   static void SetSubmenu(MenuItem*, Menu*)
//   static GFile* Location(FileInfo*)    a new reference, or null
//   static bool IsDirectory(FileInfo*)
//
// None of the modules links a toolkit: GNOME Files 43 runs on GTK 4 and
// aborts when GTK 3 is loaded beside it, Nemo and Caja bring their own GTK 3.
#pragma once

#include "shellext/com.h"
#include "shellext/menu.h"

#include <gio/gio.h>

#include <string>
#include <vector>

namespace shellext {

// Shift and Ctrl as the host's GDK (4 or 3) sees them now, found at run time;
// none when no GDK is in the process.
com::UINT ModifierMask();

// Chooses command `offset` of `menu` with the keys held now. When that starts
// nothing, tells the user through the host's application as a desktop notice:
// the file managers show nothing for an extension's failed command.
void ActivateCommand(com::IContextMenu* menu, com::UINT offset);

// The handler for a selection of local paths, with its "Parvex" menu built
// (command ids from kFirstMenuId) into `menu`. Null when the selection holds
// a location without a local path, when the handler is not registered for
// the kinds selected, or when it cannot be made; otherwise a reference the
// caller releases.
com::IContextMenu* MenuForSelection(const std::vector<std::string>& paths, bool anyFile, bool anyFolder,
                                    com::Menu& menu);

inline constexpr com::UINT kFirstMenuId = 1;

// How long a module waits for a store that another program holds: every call
// runs on the file manager's main thread, which may stop only briefly.
inline constexpr int kModuleStoreWaitMs = 1000;

// Registers the module's one type, a GObject implementing `providerInterface`
// with `init` filling its table; returns the type (0 on failure).
GType RegisterMenuProvider(GTypeModule* module, GType providerInterface, GInterfaceInitFunc init);

template <class Host>
class FileManagerMenu {
public:
    // The items the host shows for `files` (a GList of Host::FileInfo): the
    // "Parvex" item with its submenus, or null for no menu.
    static GList* FileItems(GList* files) {
        if (!files) return nullptr;
        std::vector<std::string> paths;
        bool anyFile = false, anyFolder = false;
        for (GList* l = files; l; l = l->next) {
            auto* info = static_cast<typename Host::FileInfo*>(l->data);
            GFile* location = Host::Location(info);
            char* path = location ? g_file_get_path(location) : nullptr;
            if (location) g_object_unref(location);
            if (!path) return nullptr;  // remote locations have no local path to upload from
            paths.emplace_back(path);
            g_free(path);
            (Host::IsDirectory(info) ? anyFolder : anyFile) = true;
        }
        com::Menu menu;
        com::IContextMenu* handler = MenuForSelection(paths, anyFile, anyFolder, menu);
        if (!handler) return nullptr;
        GList* items = nullptr;
        int n = 0;
        for (const auto& item : menu.items)
            if (item.kind != com::MenuItem::Kind::Separator)
                items = g_list_append(items, ToItem(item, "Parvex::" + std::to_string(n++), handler));
        handler->Release();  // the items hold their own references
        return items;
    }

private:
    struct Command {
        com::IContextMenu* menu;
        com::UINT offset;
    };

    static typename Host::Menu* ToMenu(const com::Menu& menu, const std::string& name, com::IContextMenu* handler) {
        typename Host::Menu* out = Host::NewMenu();
        int n = 0;
        for (const auto& item : menu.items)
            // Extension menus of these file managers have no separators.
            if (item.kind != com::MenuItem::Kind::Separator) {
                typename Host::MenuItem* child = ToItem(item, name + "::" + std::to_string(n++), handler);
                Host::Append(out, child);
                g_object_unref(child);
            }
        return out;
    }

    static typename Host::MenuItem* ToItem(const com::MenuItem& item, const std::string& name,
                                           com::IContextMenu* handler) {
        // Nemo and Caja refuse an item without a tooltip; a command's is the
        // handler's help text, which the shell shows for it in its status bar.
        char tip[128] = "";
        if (item.kind == com::MenuItem::Kind::Command)
            handler->GetCommandString(item.id - kFirstMenuId, com::GCS_HELPTEXTA, nullptr, tip, sizeof tip - 1);
        typename Host::MenuItem* out = Host::NewItem(name.c_str(), item.text.c_str(), tip);
        if (item.kind == com::MenuItem::Kind::Popup && item.popup) {
            typename Host::Menu* sub = ToMenu(*item.popup, name, handler);
            Host::SetSubmenu(out, sub);
            g_object_unref(sub);
        } else if (item.kind == com::MenuItem::Kind::Command) {
            handler->AddRef();
            auto* c = new Command{handler, item.id - kFirstMenuId};
            g_signal_connect_data(
                out, "activate", G_CALLBACK(+[](gpointer, gpointer data) {
                    auto* cmd = static_cast<Command*>(data);
                    ActivateCommand(cmd->menu, cmd->offset);
                }),
                c,
                +[](gpointer data, GClosure*) {
                    auto* cmd = static_cast<Command*>(data);
                    cmd->menu->Release();
                    delete cmd;
                },
                GConnectFlags(0));
        }
        return out;
    }
};

}  // namespace shellext
