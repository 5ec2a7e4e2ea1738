// The file manager's part of a right-click, as a program of its own: loads
// a menu module from a path (an installed or unpacked parvex.so, or with
// PARVEX_HOST_NEMO / PARVEX_HOST_CAJA defined that file manager's module),
// prints the menu it offers for the selection, and activates one item of it,
// with Shift held when asked. The end-to-end test drives the suite through it.
//   e2e_file_manager MODULE [--shift] [--choose "Parvex>provider>entry"] PATH...
// Exit status: 0 the item was activated (or, without --choose, a menu was
// offered), 1 no such item or no menu, 2 the module or an argument is unusable.
#if defined(PARVEX_HOST_NEMO) || defined(PARVEX_HOST_CAJA)
#include "tests/shellext/gtk3_host.h"
using gtk3host::g_modifiers;
using Host = gtk3host::Host;
#else
#include "tests/shellext/nautilus_host.h"
using nautilushost::g_modifiers;
using Host = nautilushost::Nautilus;
#endif

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

using Item = fmhost::Item<Host>;

namespace {

void Print(const std::vector<Item>& items, int depth) {
    for (const Item& item : items) {
        std::printf("%*s%s\n", depth * 2, "", item.label.c_str());
        Print(item.children, depth + 1);
    }
}

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t gt; (gt = path.find('>', start)) != std::string::npos; start = gt + 1)
        parts.push_back(path.substr(start, gt - start));
    parts.push_back(path.substr(start));
    return parts;
}

const Item* Find(const std::vector<Item>& items, const std::vector<std::string>& labels) {
    const std::vector<Item>* level = &items;
    const Item* found = nullptr;
    for (const std::string& label : labels) {
        found = nullptr;
        for (const Item& item : *level)
            if (item.label == label) found = &item;
        if (!found) return nullptr;
        level = &found->children;
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MODULE [--shift] [--choose \"Parvex>provider>entry\"] PATH...\n", argv[0]);
        return 2;
    }
    std::string choose;
    GList* files = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--shift") == 0) {
            g_modifiers = 1;
        } else if (std::strcmp(argv[i], "--choose") == 0 && i + 1 < argc) {
            choose = argv[++i];
        } else {
            struct stat st {};
            if (::stat(argv[i], &st) != 0) {
                std::fprintf(stderr, "e2e_file_manager: %s: %s\n", argv[i], std::strerror(errno));
                return 2;
            }
            files = g_list_append(files, fmhost::NewFile<Host>(argv[i], S_ISDIR(st.st_mode)));
        }
    }
    void* module = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "e2e_file_manager: %s\n", ::dlerror());
        return 2;
    }
    std::string error;
    Host::Provider* provider = fmhost::LoadMenuProvider<Host>(module, error);
    if (!provider) {
        std::fprintf(stderr, "e2e_file_manager: %s\n", error.c_str());
        return 2;
    }
    GList* menu = Host::FileItems(provider, files);
    std::vector<Item> items = fmhost::Walk<Host>(menu);
    Print(items, 0);
    std::fflush(stdout);
    int status = items.empty() ? 1 : 0;
    if (!choose.empty()) {
        if (const Item* item = Find(items, Split(choose))) {
            Host::Activate(item->item);
        } else {
            std::fprintf(stderr, "e2e_file_manager: no menu item %s\n", choose.c_str());
            status = 1;
        }
    }
    g_list_free_full(menu, g_object_unref);
    g_list_free_full(files, g_object_unref);
    return status;
}
