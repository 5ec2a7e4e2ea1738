// The Parvex action in Thunar's action file: merged into what the user has,
// started from the system's file when the user has none, added only once.
#include "manager/thunar_action.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const std::string kUserActions =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<icon>utilities-terminal</icon>\n"
    "\t<name>端末を開く</name>\n\t<unique-id>1-1</unique-id>\n\t<command>exo-open --launch TerminalEmulator %f"
    "</command>\n\t<patterns>*</patterns>\n\t<directories/>\n</action>\n</actions>\n<!-- kept -->\n";

class ThunarAction : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv home{"XDG_CONFIG_HOME", dir / "home-config"};
    testsupport::ScopedEnv dirs{"XDG_CONFIG_DIRS", "relative:" + (dir / "none") + ":" + (dir / "xdg")};
    std::string User() const { return dir / "home-config/Thunar/uca.xml"; }
    void Put(const std::string& path, const std::string& text) {
        ::mkdir(path.substr(0, path.rfind("/Thunar")).c_str(), 0700);
        ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
        testsupport::WriteFile(path, text);
    }
    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

TEST_F(ThunarAction, MergedIntoTheUsersFileOnceKeepingEverythingElse) {
    Put(User(), kUserActions);
    ::chmod(User().c_str(), 0600);
    ASSERT_EQ(thunar::AddAction(), thunar::AddResult::Added);
    const std::string merged = testsupport::ReadFile(User());
    const std::size_t ours = merged.find("<command>parvex-menu %F</command>");
    ASSERT_NE(ours, std::string::npos) << merged;
    EXPECT_EQ(merged.substr(0, merged.rfind("<action>")), kUserActions.substr(0, kUserActions.rfind("</actions>")))
        << "the user's actions come first, unchanged";
    EXPECT_EQ(merged.substr(merged.rfind("</actions>")), "</actions>\n<!-- kept -->\n");
    EXPECT_GT(ours, merged.find("exo-open"));
    struct stat st {};
    ASSERT_EQ(::stat(User().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the user's permissions stay";

    EXPECT_EQ(thunar::AddAction(), thunar::AddResult::AlreadyThere);
    EXPECT_EQ(testsupport::ReadFile(User()), merged);

    // Something that is no action file is left alone.
    Put(User(), "<actions><action>");
    EXPECT_EQ(thunar::AddAction(), thunar::AddResult::Failed);
    EXPECT_EQ(testsupport::ReadFile(User()), "<actions><action>");
}

TEST_F(ThunarAction, AUserWithoutAFileStartsFromTheSystemsAndWithoutThunarNothingIsWritten) {
    EXPECT_EQ(thunar::AddAction(), thunar::AddResult::NoThunar);
    EXPECT_FALSE(os::Exists(User()));

    const std::string system = dir / "xdg/Thunar/uca.xml";
    Put(system, kUserActions);
    ASSERT_EQ(thunar::AddAction(), thunar::AddResult::Added);
    EXPECT_EQ(testsupport::ReadFile(system), kUserActions) << "the system's file is not touched";
    const std::string user = testsupport::ReadFile(User());
    EXPECT_EQ(Count(user, "<action>"), 2u) << user;
    EXPECT_NE(user.find("exo-open"), std::string::npos) << "Thunar's own actions stay offered";
}

TEST_F(ThunarAction, OnlyTheFirstRunAddsIt) {
    testsupport::ScopedStore store;
    Put(User(), kUserActions);
    {
        SettingKey root;
        root.CreateKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex);
    }
    thunar::AddActionAtFirstRun();
    EXPECT_EQ(testsupport::ReadFile(User()), kUserActions) << "a user who has run the suite before";
    winreg::RegDeleteTree(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex);
    thunar::AddActionAtFirstRun();
    EXPECT_EQ(Count(testsupport::ReadFile(User()), "<command>parvex-menu %F"), 1u);
}

}  // namespace
