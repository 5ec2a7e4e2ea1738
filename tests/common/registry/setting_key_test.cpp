// SettingKey as the programs use it: preset a default, read over it, and
// find the default still there whenever the read fails.
#include "common/registry/setting_key.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace winreg;

namespace {

class SettingKeyTest : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
};

TEST_F(SettingKeyTest, StringsUpTo255CharactersReadBackLongerOnesReadAsMissing) {
    SettingKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, "Software\\PARVEX\\Option"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("s255", std::string(255, 'a')), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("s256", std::string(256, 'b')), ERROR_SUCCESS);

    std::string s = "preset";
    EXPECT_EQ(key.ReadString("s255", s), ERROR_SUCCESS);
    EXPECT_EQ(s, std::string(255, 'a'));
    s = "preset";
    EXPECT_EQ(key.ReadString("s256", s), ERROR_MORE_DATA);
    EXPECT_EQ(s, "preset");
    EXPECT_EQ(key.ReadString("missing", s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s, "preset");

    // Japanese text counts in UTF-8 bytes: 85 three-byte characters fit, 86 do not.
    std::string kana;
    for (int i = 0; i < 86; ++i) kana += "転";
    key.WriteString("j86", kana);
    key.WriteString("j85", kana.substr(3));
    EXPECT_EQ(key.ReadString("j85", s), ERROR_SUCCESS);
    EXPECT_EQ(s, kana.substr(3));
    EXPECT_EQ(key.ReadString("j86", s), ERROR_MORE_DATA);
}

TEST_F(SettingKeyTest, DwordReadsIgnoreTheStoredType) {
    SettingKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);
    key.WriteString("abc", "abc");   // 4 bytes with the terminator
    key.WriteString("abcd", "abcd"); // 5 bytes
    key.WriteDword("Port", 21);

    DWORD v = 7;
    EXPECT_EQ(key.ReadDword("abc", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 0x00636261u);
    v = 7;
    EXPECT_EQ(key.ReadDword("abcd", v), ERROR_MORE_DATA);
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(key.ReadDword("PORT", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 21u);

    // A shorter value replaces only its own bytes of the preset.
    BYTE two[2] = {0x34, 0x12};
    RegSetValueEx(HKEY_CURRENT_USER, "two", 0, REG_BINARY, two, 2);
    SettingKey root;
    ASSERT_EQ(root.OpenKey(HKEY_CURRENT_USER, ""), ERROR_SUCCESS);
    v = 0xAABBCCDD;
    EXPECT_EQ(root.ReadDword("two", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 0xAABB1234u);
}

TEST_F(SettingKeyTest, FailedOpenLeavesEveryLaterCallFailingAndPresetsInPlace) {
    SettingKey key;
    EXPECT_EQ(key.OpenKey(HKEY_CURRENT_USER, "Software\\PARVEX\\Option"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());
    DWORD v = 42;
    std::string s = "default";
    EXPECT_NE(key.ReadDword("CodeConvert", v), ERROR_SUCCESS);
    EXPECT_NE(key.ReadString("TextMode", s), ERROR_SUCCESS);
    EXPECT_NE(key.WriteDword("x", 1), ERROR_SUCCESS);
    EXPECT_EQ(v, 42u);
    EXPECT_EQ(s, "default");
    EXPECT_EQ(key.CloseKey(), ERROR_SUCCESS);
    EXPECT_EQ(key.CloseKey(), ERROR_SUCCESS);
}

TEST_F(SettingKeyTest, DestructionAndReopeningCloseTheKey) {
    {
        SettingKey key;
        ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
        // Reopening without closing first must not leave the old handle behind.
        ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, "B"), ERROR_SUCCESS);
        key.WriteDword("inB", 1);
    }
    SettingKey a, b;
    ASSERT_EQ(a.OpenKey(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
    ASSERT_EQ(b.OpenKey(HKEY_CURRENT_USER, "B"), ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_EQ(a.ReadDword("inB", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(b.ReadDword("inB", v), ERROR_SUCCESS);
}

}  // namespace
