// Consuming the hand-off, starting the browser, and the error texts.
#include "transfer/handoff.h"

#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "transfer/menu_upload.h"
#include "tests/support/store_probe.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>


using namespace transfer;
using testsupport::KeyExists;

namespace {

class HandOff : public ::testing::Test {
protected:
    testsupport::ScopedStore store;

    static void WriteHandOff() { transfertest::WriteHandOff("Home", "/pub/www", {"/home/u/site"}); }
};

TEST_F(HandOff, FinishingTwiceCreatesNothing) {
    WriteHandOff();
    FinishHandOff(0);
    EXPECT_FALSE(KeyExists(layout::kSelectedKey));
    FinishHandOff(0);
    FinishHandOff(7);
    EXPECT_FALSE(KeyExists(layout::kSelectedKey));
    EXPECT_FALSE(KeyExists(layout::RunningKey()));
}

// A browser that starts takes the hand-off over (clearing the request is its own job); one that cannot start never
// will: neither the hand-off nor the request may stay.
TEST_F(HandOff, TheHandOffStaysOnlyForABrowserThatStarts) {
    const std::string mark = store.dir() / "browser-ran", script = store.dir() / "brovin", plain = store.dir() / "sh";
    testsupport::WriteFile(script, "#!/bin/sh\necho ran > '" + mark + "'\n");
    chmod(script.c_str(), 0755);
    testsupport::WriteFile(plain, "#!/bin/sh\n");  // not executable
    for (const std::string& browser : {std::string(), std::string("/no/such/brovin"), plain, std::string("(missing)"),
                                       script}) {
        const bool starts = browser == script;
        WriteHandOff();
        SettingKey running;
        running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
        running.DeleteValue(layout::kInstDirBrovin);
        if (browser != "(missing)") running.WriteString(layout::kInstDirBrovin, browser);
        running.WriteDword(layout::kRemoteBrowser, 1);
        layout::HandOff handOff;
        EXPECT_TRUE(TakeHandOff(handOff)) << browser;
        EXPECT_EQ(handOff.paths, std::vector<std::string>{"/home/u/site"});
        EXPECT_EQ(KeyExists(starts ? layout::SelectedEntryKey("Home", "/pub/www") : layout::kSelectedKey), starts)
            << browser;
        winreg::DWORD flag = 0;
        EXPECT_EQ(running.ReadDword(layout::kRemoteBrowser, flag), starts ? 0 : winreg::ERROR_FILE_NOT_FOUND)
            << browser;
    }
    testsupport::WaitUntil([&] { return !testsupport::ReadFile(mark).empty(); }, 2000);
    EXPECT_EQ(testsupport::ReadFile(mark), "ran\n");
}

}  // namespace
