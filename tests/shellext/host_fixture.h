// The host tests' file manager (FM as in fm_host.h) over the module `module()` gives: its menu provider, made once per
// process, asked for the items of a selection as the file manager's right-click asks.
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

    testsupport::TempDir dir;
    std::string record = dir / "started";

private:
    GList* items_ = nullptr;
    std::vector<GObject*> files_;
};

}  // namespace shelltest
