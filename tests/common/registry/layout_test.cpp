// The shared layout: path building and the hand-off as the programs pass it on.
#include "common/registry/layout.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

using namespace winreg;
using testsupport::KeyExists;
using transfertest::WriteHandOff;

namespace {

class Layout : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
};

TEST_F(Layout, HandOffIsTakenToTheFirstGapAndDeletedDeepestFirst) {
    WriteHandOff("Home", "/pub/www", {"/home/u/site/a.html", "/home/u/site/img"});
    SettingKey entry;
    ASSERT_EQ(entry.OpenKey(HKEY_CURRENT_USER, layout::SelectedEntryKey("Home", "/pub/www")), ERROR_SUCCESS);
    entry.WriteString("Selected3", "/after/the/gap");
    entry.CloseKey();

    layout::HandOff h;
    bool forBrowser = true;
    ASSERT_EQ(layout::TakeHandOff(h, forBrowser), ERROR_SUCCESS);
    EXPECT_FALSE(forBrowser);
    EXPECT_EQ(h.provider, "Home");
    EXPECT_EQ(h.entry, "/pub/www");
    EXPECT_EQ(h.paths, (std::vector<std::string>{"/home/u/site/a.html", "/home/u/site/img"}));
    EXPECT_EQ(h.rootDir, "/home/u/site");
    EXPECT_FALSE(KeyExists(layout::kSelectedKey));
    EXPECT_TRUE(KeyExists(layout::kSoftwareParvex));
    EXPECT_EQ(layout::TakeHandOff(h, forBrowser), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(h.paths.empty());
}

// Only a missing "SelectedN" ends the list: any other failure fails the hand-off, and nothing is deleted. (A store
// that is not one: Dravik.AStoreThatCannotBeUsedIsReportedWithItsPathAndTheFault.)
TEST_F(Layout, AHandOffThatCannotBeReadWholeIsNoHandOff) {
    WriteHandOff("Home", "e", {"/w/a", "/w/b"});
    SettingKey entry;
    ASSERT_EQ(entry.OpenKey(HKEY_CURRENT_USER, layout::SelectedEntryKey("Home", "e")), ERROR_SUCCESS);
    entry.WriteDword("Selected1", 7);
    layout::HandOff h;
    bool forBrowser = false;
    EXPECT_EQ(layout::TakeHandOff(h, forBrowser), layout::kErrorInvalidData);
    EXPECT_TRUE(h.paths.empty());
    EXPECT_TRUE(KeyExists(layout::SelectedEntryKey("Home", "e")));
}

TEST_F(Layout, HandOffDeletionRemovesOnlyTheFirstProviderAndEntry) {
    WriteHandOff("A", "e1", {"/x/1"});
    WriteHandOff("A", "e2", {"/x/2"});
    WriteHandOff("B", "e", {"/x/3"});
    EXPECT_EQ(layout::DeleteHandOff(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(KeyExists(layout::SelectedEntryKey("A", "e1")));
    EXPECT_TRUE(KeyExists(layout::SelectedEntryKey("A", "e2")));
    EXPECT_TRUE(KeyExists(layout::SelectedEntryKey("B", "e")));
}

}  // namespace
