// The Nemo or Caja module (PARVEX_FM_MODULE) as its file manager uses it (gtk3_host.h), registered the way the suite
// registers parvex.so: the menu for a selection and an entry activated with the keys GDK 3 reports. What the handler
// itself does with a choice is proven through GNOME Files' module; here, that the host's interface reaches it whole.
#include "tests/shellext/gtk3_host.h"

#include "tests/shellext/host_fixture.h"

using namespace shelltest;
using namespace gtk3host;

namespace {

void* FmModule() { return ::dlopen(PARVEX_FM_MODULE, RTLD_NOW | RTLD_LOCAL); }

// Named after the file manager (Nemo, Caja), so that its tests are found by its name.
class PARVEX_FM_FIXTURE : public HostTest<Host, FmModule> {
protected:
    void SetUp() override {
        HostTest::SetUp();
        g_modifiers = 0;
    }
    // Activates provider > item of the Parvex menu with `keys` held and says what started.
    std::string Choose(const std::vector<Item>& menu, std::size_t provider, std::size_t item, unsigned keys) {
        const std::string started = dir / ("started" + std::to_string(++choices_));
        Programs(started);
        g_modifiers = keys;
        Host::Activate(menu.at(0).children.at(provider).children.at(item).item);
        return Started(started);
    }

    int choices_ = 0;
};

#define FM_TEST(fixture, name) TEST_F(fixture, name)
FM_TEST(PARVEX_FM_FIXTURE, ParvexRegistrationOffersTheMenuAndEachChoiceHandsOffWithTheKeysHeld) {
    Entry("A", "e1", "ホームページ");
    Provider("B");
    std::string a = dir / "a.html", b = dir / "b.txt";
    testsupport::WriteFile(a, "a");
    testsupport::WriteFile(b, "b");
    EXPECT_TRUE(Right({{a, false}}).empty()) << "never registered";

    // Registered once, as regsvr32 registers parvex.so: every file manager's module offers the menu.
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

    EXPECT_EQ(Choose(items, 0, 1, 0), "dravik\n");
    layout::HandOff handOff;
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider, "A");
    EXPECT_EQ(handOff.entry, "e1");
    EXPECT_EQ(handOff.paths, (std::vector<std::string>{a, b}));
    ASSERT_EQ(layout::DeleteHandOff(), winreg::ERROR_SUCCESS);

    // A folder, Shift held at the click: the remote browser; Ctrl: the transfer program that opens it too.
    items = Right({{dir.path(), true}});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(Choose(items, 1, 0, 1), "brovin\n");
    ASSERT_TRUE(layout::ReadHandOff(handOff));
    EXPECT_EQ(handOff.provider, "B");
    ASSERT_EQ(layout::DeleteHandOff(), winreg::ERROR_SUCCESS);
    items = Right({{dir.path(), true}});  // a menu serves one choice
    EXPECT_EQ(Choose(items, 0, 0, 4), "dravik\n");
    EXPECT_EQ(RemoteBrowser(), 1);

    EXPECT_TRUE(Right({{a, false}, {"sftp://example.org/b", false}}).empty()) << "a remote item has no local path";
    ASSERT_EQ(Export<DllUnregisterServerFn>("DllUnregisterServer")(), com::S_OK);
    EXPECT_TRUE(Right({{a, false}}).empty()) << "unregistering parvex.so takes every module's menu away";
}

}  // namespace
