// The host tests' file manager (FM as in fm_host.h) over the module `module()` gives: its menu provider, made once per
// process, asked for the items of a selection as the file manager's right-click asks; and the scenario every file
// manager's module passes.
#pragma once

#include "tests/shellext/fm_host.h"
#include "tests/shellext/module_host.h"

#include <utility>

namespace shelltest {

template <class FM, void* (*module)()>
class HostTest : public SuiteStore {
protected:
    static typename FM::Provider* MenuProvider() {
        static typename FM::Provider* provider = [] {
            void* loaded = module();
            std::string error = loaded ? "" : ::dlerror();
            typename FM::Provider* p = loaded ? fmhost::LoadMenuProvider<FM>(loaded, error) : nullptr;
            EXPECT_NE(p, nullptr) << error;
            return p;
        }();
        return provider;
    }
    void SetUp() override {
        SuiteStore::SetUp();
        ASSERT_NE(MenuProvider(), nullptr);
    }
    void TearDown() override {
        if (items_) g_list_free_full(items_, g_object_unref);
        for (GObject* f : files_) g_object_unref(f);
    }
    // Items the file manager would show for the selection; entries are (path or URI, is a folder).
    std::vector<fmhost::Item<FM>> Right(const std::vector<std::pair<std::string, bool>>& selection) {
        GList* files = nullptr;
        for (const auto& [p, folder] : selection) {
            files_.push_back(fmhost::NewFile<FM>(p, folder));
            files = g_list_append(files, files_.back());
        }
        if (items_) g_list_free_full(items_, g_object_unref);
        items_ = FM::FileItems(MenuProvider(), files);
        g_list_free(files);
        return fmhost::Walk<FM>(items_);
    }

    // Activates provider > item of the Parvex menu with `keys` (GDK_SHIFT_MASK 1, GDK_CONTROL_MASK 4) held in
    // `modifiers`, the host's keyboard state, and says what started.
    std::string Choose(const std::vector<fmhost::Item<FM>>& menu, std::size_t provider, std::size_t item, unsigned keys,
                       unsigned& modifiers) {
        const std::string started = dir / ("started" + std::to_string(++choices_));
        Programs(started);
        modifiers = keys;
        FM::Activate(menu.at(0).children.at(provider).children.at(item).item);
        return Started(started);
    }

    // Registered as regsvr32 registers parvex.so, the module offers the Parvex menu for a local selection, and a
    // choice hands the selection off with the keys held at the click, not when the menu was built (none: the transfer
    // program; Shift: the browser; Ctrl: the transfer program that opens the browser too). No menu for a remote item,
    // for a folder once the folder keys are gone, or after unregistering.
    void MenuAndHandOff(unsigned& modifiers) {
        Entry("A", "e1", "ホームページ");
        Provider("B");
        const std::string a = dir / "a.html", b = dir / "b.txt";
        testsupport::WriteFile(a, "a");
        testsupport::WriteFile(b, "b");
        EXPECT_TRUE(Right({{a, false}}).empty()) << "never registered";
        EXPECT_TRUE(Right({{dir.path(), true}}).empty()) << "never registered";

        ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);
        auto items = Right({{a, false}, {b, false}});
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].label, "Parvex");
        ASSERT_EQ(items[0].children.size(), 2u);
        EXPECT_EQ(items[0].children[0].label, "A");
        ASSERT_EQ(items[0].children[0].children.size(), 2u) << "no separators";
        EXPECT_EQ(items[0].children[0].children[0].label, "拡張子別転送");
        EXPECT_EQ(items[0].children[0].children[1].label, "ホームページ");
        EXPECT_EQ(items[0].children[1].label, "B");

        EXPECT_EQ(Choose(items, 0, 1, 0, modifiers), "dravik\n");
        layout::HandOff handOff;
        ASSERT_TRUE(layout::ReadHandOff(handOff));
        EXPECT_EQ(handOff.provider, "A");
        EXPECT_EQ(handOff.entry, "e1");
        EXPECT_EQ(handOff.paths, (std::vector<std::string>{a, b}));
        EXPECT_EQ(handOff.rootDir, dir.path());
        ASSERT_EQ(layout::DeleteHandOff(), winreg::ERROR_SUCCESS);  // taken by the transfer program

        items = Right({{dir.path(), true}});
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(Choose(items, 1, 0, 1, modifiers), "brovin\n");
        ASSERT_TRUE(layout::ReadHandOff(handOff));
        EXPECT_EQ(handOff.provider, "B");
        ASSERT_EQ(layout::DeleteHandOff(), winreg::ERROR_SUCCESS);
        items = Right({{dir.path(), true}});  // a menu serves one choice
        EXPECT_EQ(Choose(items, 0, 0, 4, modifiers), "dravik\n");
        EXPECT_EQ(RemoteBrowser(), 1);
        ASSERT_TRUE(layout::ReadHandOff(handOff));
        EXPECT_EQ(handOff.entry, "拡張子別転送");

        EXPECT_TRUE(Right({{"sftp://example.org/home/u/a.txt", false}}).empty());
        EXPECT_TRUE(Right({{a, false}, {"sftp://example.org/b", false}}).empty()) << "one remote item is enough";
        // Folders without their handler keys: files still get the menu, folders do not.
        winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, "Directory");
        winreg::RegDeleteTree(winreg::HKEY_CLASSES_ROOT, "Folder");
        EXPECT_EQ(Right({{a, false}}).size(), 1u);
        EXPECT_TRUE(Right({{dir.path(), true}}).empty());
        ASSERT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK);
        EXPECT_TRUE(Right({{a, false}}).empty()) << "unregistering parvex.so takes every module's menu away";
    }

    testsupport::TempDir dir;
    std::string record = dir / "started";

private:
    int choices_ = 0;
    GList* items_ = nullptr;
    std::vector<GObject*> files_;
};

}  // namespace shelltest
