// parvex.so as GNOME Files uses it (nautilus_host.h): the menu for a
// selection, its submenus, and an entry activated with and without the keys held.
#include "tests/shellext/nautilus_host.h"

#include "tests/platform/registry/store_holder.h"
#include "tests/shellext/host_fixture.h"
#include "tests/support/notification_bus.h"
#include "tests/support/store_probe.h"

#include <chrono>
#include <cstdlib>

using namespace shelltest;
using namespace nautilushost;

namespace {

class Nautilus : public HostTest<nautilushost::Nautilus, Module> {
protected:
    void SetUp() override {
        HostTest::SetUp();
        g_modifiers = 0;
    }
};

TEST_F(Nautilus, RegisteredHandlerOffersTheParvexMenuAndAClickHandsOffWithTheKeysHeldThen) {
    MenuAndHandOff(g_modifiers);
}

// A chosen entry whose program cannot start, or whose hand-off cannot be written, is told through the file manager's
// own application as a desktop notice: GNOME Files itself shows nothing for a failed extension command.
TEST_F(Nautilus, AnEntryThatStartsNothingIsToldAsADesktopNotice) {
    testsupport::NotificationBus bus(testsupport::NotificationBus::Service::Answering);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
    GApplication* files = g_application_new("org.parvex.FilesHost", G_APPLICATION_NON_UNIQUE);
    ASSERT_TRUE(g_application_register(files, nullptr, nullptr));
    Entry("A", "e1", "ホームページ");
    Programs(record, dir / "no-such-dravik");
    ASSERT_EQ(Export<DllRegisterServerFn>("DllRegisterServer")(), com::S_OK);

    auto items = Right({{dir / "a.html", false}});
    ASSERT_EQ(items.size(), 1u);
    nautilus_menu_item_activate(items[0].children[0].children[1].item);
    // The notice goes out from the main loop, which a file manager runs all the time.
    auto loopUntil = [](const std::function<bool()>& done, int ms) {
        return testsupport::WaitUntil(
            [&] {
                while (g_main_context_iteration(nullptr, FALSE)) {
                }
                return done();
            },
            ms);
    };
    auto told = [&] { return bus.Log().find("Parvex: 転送を始められませんでした") != std::string::npos; };
    EXPECT_TRUE(loopUntil(told, 5000)) << bus.Log();
    EXPECT_NE(bus.Log().find("InstDir / InstDirBrovin"), std::string::npos) << bus.Log();
    EXPECT_FALSE(testsupport::KeyExists(layout::kSelectedKey)) << "the hand-off is taken back";

    // A choice that starts its program tells nothing.
    const std::string before = bus.Log();
    Programs(record);
    items = Right({{dir / "a.html", false}});
    nautilus_menu_item_activate(items[0].children[0].children[1].item);
    EXPECT_EQ(Started(record), "dravik\n");
    EXPECT_FALSE(loopUntil([&] { return bus.Log() != before; }, 500)) << bus.Log();

    // Everything the module does runs on the file manager's main thread: a store that another program holds stops it
    // for about a second at most, and the choice is told as not started, whether the store was busy at the click or
    // already while the menu was built.
    auto busyNotices = [&] {
        const std::string log = bus.Log();
        std::size_t n = 0;
        for (std::size_t at = log.find("使用中"); at != std::string::npos; at = log.find("使用中", at + 1)) ++n;
        return n;
    };
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
    const std::string record2 = dir / "started2";
    Programs(record2);
    items = Right({{dir / "a.html", false}});
    {
        testsupport::StoreHolder holder(std::getenv("PARVEX_REGISTRY"));
        ASSERT_TRUE(holder.held());
        auto start = Clock::now();
        nautilus_menu_item_activate(items[0].children[0].children[1].item);
        EXPECT_LT(seconds(start), 2.0) << "the file manager waited for the store";
        EXPECT_TRUE(loopUntil([&] { return busyNotices() == 1; }, 5000)) << bus.Log();

        start = Clock::now();
        items = Right({{dir / "a.html", false}});
        EXPECT_LT(seconds(start), 2.0) << "building the menu waited for the store";
        ASSERT_EQ(items.size(), 1u);
        start = Clock::now();
        nautilus_menu_item_activate(items[0].children[0].children[1].item);
        EXPECT_LT(seconds(start), 2.0);
        EXPECT_TRUE(loopUntil([&] { return busyNotices() == 2; }, 5000)) << bus.Log();
        EXPECT_EQ(Started(record2, 300), "");
    }
    // Free again: the same session goes on as before.
    items = Right({{dir / "a.html", false}});
    nautilus_menu_item_activate(items[0].children[0].children[1].item);
    EXPECT_EQ(Started(record2), "dravik\n");
    g_object_unref(files);
}

}  // namespace
